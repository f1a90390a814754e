// The engine's passes against the plain reference, bit for bit, over many
// generated cases: every shape, mode and sign of dimension, transparent on and
// off, random pixels and fill, rectangles anywhere in the image (empty and
// full ones included).  The whole destination is compared, so a write outside
// the rectangle shows up too, and so does every progress report.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "reference/literal_shear.h"
#include "shear/line_kernel.h"
#include "shear/line_kernel_table.h"
#include "shear/passes.h"
#include "shear/vector_level.h"

namespace {

struct Case {
    std::int32_t w = 1, h = 1;
    ProcessRect rect{0, 0, 1, 1};
    ParallelogramSettings settings{};
    std::uint32_t pixelSeed = 0;
};

std::string Describe(const Case& c) {
    std::ostringstream s;
    s << "w=" << c.w << " h=" << c.h << " rect=(" << c.rect.left << ',' << c.rect.top << ',' << c.rect.right << ','
      << c.rect.bottom << ") shape=" << c.settings.shape << " dimension=" << c.settings.dimension
      << " mode=" << c.settings.policy.mode << " transparent=" << c.settings.policy.transparent << " fill=0x"
      << std::hex
      << (c.settings.policy.fill.alpha << 24 | c.settings.policy.fill.red << 16 | c.settings.policy.fill.green << 8 |
          c.settings.policy.fill.blue)
      << std::dec << " pixelSeed=" << c.pixelSeed;
    return s.str();
}

struct ProgressCall {
    std::int32_t done, total;
    ProgressUserData userData;
    bool operator==(const ProgressCall& o) const {
        return done == o.done && total == o.total && userData == o.userData;
    }
};

// userData carries the address of the log; each log also records its own
// address, so a wrong userData shows up as a mismatch.
std::int32_t PG_STDCALL RecordProgress(std::int32_t done, std::int32_t total, ProgressUserData userData) {
    reinterpret_cast<std::vector<ProgressCall>*>(userData)->push_back({done, total, userData});
    return 1;
}

std::uint32_t PackPixel(PixelBGRA p) {
    return static_cast<std::uint32_t>(p.alpha) << 24 | p.red << 16 | p.green << 8 | p.blue;
}

PixelBGRA RandomPixel(std::mt19937& rng) {
    const std::uint32_t v = rng();
    return PixelBGRA{static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                     static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
}

// A pattern the passes never produce on their own by chance at every position.
PixelBGRA Sentinel(std::size_t index) {
    return PixelBGRA{0xA5, static_cast<std::uint8_t>(index), static_cast<std::uint8_t>(index >> 8), 0x5A};
}

using Pass = void (*)(const PixelBGRA*, PixelBGRA*, const ProcessRect&, std::int32_t, std::int32_t, const ProgressSink&,
                      const ParallelogramSettings&);

struct Run {
    std::vector<PixelBGRA> destination;
    std::vector<ProgressCall> progress;
};

Run RunPass(Pass pass, const std::vector<PixelBGRA>& source, const Case& c, bool withCallback) {
    Run run;
    run.destination.resize(source.size());
    for (std::size_t i = 0; i < source.size(); ++i) run.destination[i] = Sentinel(i);
    ProgressSink sink{reinterpret_cast<ProgressUserData>(&run.progress), withCallback ? RecordProgress : nullptr};
    pass(source.data(), run.destination.data(), c.rect, c.w, c.h, sink, c.settings);
    return run;
}

bool Compare(const Case& c, bool rows, bool withCallback, const Run& expected, const Run& actual, const char* level);

const VectorLevel kLevels[] = {VectorLevel::Baseline, VectorLevel::Avx2, VectorLevel::Avx512};

const char* LevelName(VectorLevel level) {
    switch (level) {
        case VectorLevel::Baseline:
            return "SSE2";
        case VectorLevel::Avx2:
            return "AVX2";
        case VectorLevel::Avx512:
            return "AVX-512";
    }
    return "?";
}

// Compares the engine with the reference on one case; returns false (after
// reporting the case) on the first difference.
bool Check(const Case& c) {
    std::mt19937 rng(c.pixelSeed);
    std::vector<PixelBGRA> source(static_cast<std::size_t>(c.w) * c.h);
    for (PixelBGRA& p : source) p = RandomPixel(rng);

    const bool rows = IsRowShape(c.settings.shape);
    const Pass engine = rows ? ShearRows : ShearColumns;
    const Pass reference = rows ? literal::ShearRows : literal::ShearColumns;
    const bool withCallback = (c.pixelSeed & 7) != 0;  // now and then a null callback

    const Run expected = RunPass(reference, source, c, withCallback);
    // The engine at every vector level this machine has, from SSE2 (the
    // 32-bit build's baseline) up.
    bool same = true;
    for (const VectorLevel level : kLevels) {
        if (level > DetectedVectorLevel()) break;
        LimitVectorLevel(level);
        same = Compare(c, rows, withCallback, expected, RunPass(engine, source, c, withCallback), LevelName(level));
        if (!same) break;
    }
    LimitVectorLevel(VectorLevel::Avx512);
    return same;
}

bool Compare(const Case& c, bool rows, bool withCallback, const Run& expected, const Run& actual, const char* level) {
    const std::size_t pixels = expected.destination.size();

    for (std::size_t i = 0; i < pixels; ++i) {
        const std::int32_t x = static_cast<std::int32_t>(i % c.w);
        const std::int32_t y = static_cast<std::int32_t>(i / c.w);
        const bool inside = x >= c.rect.left && x < c.rect.right && y >= c.rect.top && y < c.rect.bottom;
        if (!inside && expected.destination[i] != Sentinel(i)) {
            ADD_FAILURE() << "reference wrote outside the rectangle at (" << x << ',' << y << ")\n  " << Describe(c);
            return false;
        }
        if (actual.destination[i] != expected.destination[i]) {
            ADD_FAILURE() << "pixel (" << x << ',' << y << ") is 0x" << std::hex << PackPixel(actual.destination[i])
                          << ", expected 0x" << PackPixel(expected.destination[i]) << std::dec << " (" << level
                          << ")\n  " << Describe(c);
            return false;
        }
    }
    // Each log holds its own address as userData; rebase the engine's to the
    // reference's so the sequences compare entry by entry.
    std::vector<ProgressCall> got = actual.progress;
    for (ProgressCall& call : got) {
        if (call.userData != reinterpret_cast<ProgressUserData>(&actual.progress)) {
            ADD_FAILURE() << "progress with a foreign userData\n  " << Describe(c);
            return false;
        }
        call.userData = reinterpret_cast<ProgressUserData>(&expected.progress);
    }
    if (got != expected.progress) {
        ADD_FAILURE() << "progress: " << got.size() << " calls, expected " << expected.progress.size() << "\n  "
                      << Describe(c);
        return false;
    }
    const std::int32_t lines = rows ? c.rect.bottom - c.rect.top : c.rect.right - c.rect.left;
    const std::size_t expectedCalls = withCallback && lines > 0 ? static_cast<std::size_t>(lines) : 0;
    if (expected.progress.size() != expectedCalls) {
        ADD_FAILURE() << "reference made " << expected.progress.size() << " progress calls\n  " << Describe(c);
        return false;
    }
    return true;
}

// ---- random cases -----------------------------------------------------------

std::int32_t Uniform(std::mt19937& rng, std::int32_t lo, std::int32_t hi) {
    return std::uniform_int_distribution<std::int32_t>(lo, hi)(rng);
}

std::int32_t RandomDimension(std::mt19937& rng) {
    static const std::int32_t extremes[] = {-100, -1, 1, 100};
    if (Uniform(rng, 0, 2) == 0) return extremes[Uniform(rng, 0, 3)];
    const std::int32_t d = Uniform(rng, -100, 99);
    return d >= 0 ? d + 1 : d;  // never 0: the filter does not run a pass then
}

void RandomSpan(std::mt19937& rng, std::int32_t size, std::int32_t& from, std::int32_t& to) {
    switch (Uniform(rng, 0, 5)) {
        case 0:
            from = 0, to = size;
            return;  // the full extent
        case 1:
            from = to = Uniform(rng, 0, size);
            return;  // empty
        default:
            from = Uniform(rng, 0, size);
            to = Uniform(rng, from, size);
    }
}

Case RandomCase(std::mt19937& rng, bool rows, std::int32_t maxSize) {
    Case c;
    c.w = Uniform(rng, 1, maxSize);
    c.h = Uniform(rng, 1, maxSize);
    RandomSpan(rng, c.w, c.rect.left, c.rect.right);
    RandomSpan(rng, c.h, c.rect.top, c.rect.bottom);
    c.settings.shape = Uniform(rng, 0, 2) + (rows ? 0 : 3);
    c.settings.dimension = RandomDimension(rng);
    c.settings.policy.mode = Uniform(rng, 0, kUndefinedAreaModeCount - 1);
    c.settings.policy.transparent = Uniform(rng, 0, 1) ? Uniform(rng, 1, 3) : 0;
    c.settings.policy.fill = RandomPixel(rng);
    if (c.settings.policy.transparent != 0) c.settings.policy.fill.alpha = 0;
    c.pixelSeed = rng();
    return c;
}

struct Batch {
    const char* name;
    bool rows;
    std::uint32_t seed;
    int count;
    std::int32_t maxSize;
};

void PrintTo(const Batch& batch, std::ostream* os) { *os << batch.name; }

class ShearDifferentialTest : public testing::TestWithParam<Batch> {};

TEST_P(ShearDifferentialTest, MatchesTheLiteralReferenceBitForBit) {
    const Batch& batch = GetParam();
    std::mt19937 rng(batch.seed);
    for (int i = 0; i < batch.count; ++i) {
        if (!Check(RandomCase(rng, batch.rows, batch.maxSize))) return;  // one report is enough
    }
}

INSTANTIATE_TEST_SUITE_P(
    Random, ShearDifferentialTest,
    testing::Values(Batch{"RowsSmall", true, 1, 4000, 40}, Batch{"ColumnsSmall", false, 2, 4000, 40},
                    Batch{"RowsMedium", true, 3, 300, 120}, Batch{"ColumnsMedium", false, 4, 300, 120},
                    Batch{"RowsLarge", true, 5, 20, 400}, Batch{"ColumnsLarge", false, 6, 20, 400}),
    [](const testing::TestParamInfo<Batch>& info) { return info.param.name; });

// ---- every combination on a few fixed shapes of image --------------------------

// Lines of one pixel, images one pixel wide or tall, and a small odd-sized one,
// each with every shape, mode, transparency and extreme dimension.
TEST(ShearDifferentialGrid, EveryShapeModeAndExtremeDimension) {
    const std::int32_t sizes[][2] = {{1, 1}, {1, 9}, {9, 1}, {2, 2}, {7, 5}, {16, 16}};
    const std::int32_t dimensions[] = {-100, -99, -50, -1, 1, 33, 50, 100};
    std::uint32_t seed = 100;
    for (const auto& size : sizes) {
        for (std::int32_t shape = 0; shape < 6; ++shape) {
            for (std::int32_t mode = 0; mode < kUndefinedAreaModeCount; ++mode) {
                for (std::int32_t transparent = 0; transparent < 2; ++transparent) {
                    for (std::int32_t dimension : dimensions) {
                        Case c;
                        c.w = size[0], c.h = size[1];
                        c.rect = ProcessRect{0, 0, c.w, c.h};
                        c.settings.shape = shape;
                        c.settings.dimension = dimension;
                        c.settings.policy = UndefinedAreaPolicy{mode, PixelBGRA{10, 200, 30, 0xFF}, transparent};
                        if (transparent) c.settings.policy.fill.alpha = 0;
                        c.pixelSeed = ++seed | 1;  // always with a callback
                        if (!Check(c)) return;
                    }
                }
            }
        }
    }
}

// ---- the line kernel on its own ------------------------------------------------

// The positions a mapped run samples, written out as the samplers write them.
double SampledPosition(shear_detail::PositionMap map, std::int32_t n, double p) {
    switch (map) {
        case shear_detail::PositionMap::Identity:
            return p;
        case shear_detail::PositionMap::AddLength:
            return p + static_cast<double>(n);
        case shear_detail::PositionMap::SubtractLength:
            return p - static_cast<double>(n);
        case shear_detail::PositionMap::MirrorBefore:
            return -p - 1.0;
        case shear_detail::PositionMap::MirrorAfter:
            return (static_cast<double>(2 * n) - p) - 1.0;
    }
    return p;
}

// Offsets whose fractional part is 0, a half, or within a rounding error of
// a whole number (where neighbouring pixels need not sample neighbouring
// source pixels), and some in between.
const double kKernelOffsets[] = {0.0,    0.5,         -0.5,        1.0 / 3,      -2.0 / 3,           1e-15,
                                 -1e-15, 3.0 - 1e-13, 3.0 + 1e-13, -7.0 + 4e-16, 12.999999999999998, 0.9999999999999999,
                                 100.25, -63.75};
const std::int32_t kKernelLengths[] = {1, 2, 3, 5, 7, 8, 9, 15, 16, 17, 31, 33, 64, 100, 1000, 1500};

struct NamedKernels {
    const char* name;
    const shear_detail::LineKernels* kernels;
};

// The scalar kernels (those of a build without x86 vectors) and the kernels
// of every vector level this machine has.
std::vector<NamedKernels> KernelsToCheck() {
    std::vector<NamedKernels> all{{"scalar", &shear_detail::kScalarLineKernels}};
    for (const VectorLevel level : kLevels) {
        if (level > DetectedVectorLevel()) break;
        all.push_back({LevelName(level), &shear_detail::LineKernelsFor(level)});
    }
    return all;
}

// Every map, over every output pixel whose position it can sample, with the
// scalar kernels and at every vector level, against BlendPixels on the
// original pixels.  Lines of one to
// a few pixels leave groups partly or wholly to the scalar tail.
TEST(ShearLineKernel, BlendSpanMatchesTheBlendAtEveryLevelAndOffset) {
    using shear_detail::PositionMap;
    const PositionMap maps[] = {PositionMap::Identity, PositionMap::AddLength, PositionMap::SubtractLength,
                                PositionMap::MirrorBefore, PositionMap::MirrorAfter};
    const std::vector<NamedKernels> allKernels = KernelsToCheck();
    std::mt19937 rng(77);
    for (const std::int32_t n : kKernelLengths) {
        std::vector<PixelBGRA> line(static_cast<std::size_t>(n));
        for (PixelBGRA& p : line) p = RandomPixel(rng);
        std::vector<double> block(static_cast<std::size_t>(shear_detail::WideScratchBytes() / sizeof(double)) + 8);
        double* aligned = block.data();
        while (reinterpret_cast<std::uintptr_t>(aligned) % 64 != 0) ++aligned;
        for (const PositionMap map : maps) {
            for (const double offset : kKernelOffsets) {
                // The output pixels whose mapped position lies within the line.
                std::int32_t from = 0, to = 0;
                bool inside = false;
                for (std::int32_t c = -4 * n - 200; c <= 4 * n + 200; ++c) {
                    const double q = SampledPosition(map, n, static_cast<double>(c) + offset);
                    const bool ok = q >= 0.0 && q <= static_cast<double>(n - 1);
                    if (ok && !inside) from = c, inside = true;
                    if (!ok && inside) break;
                    if (ok) to = c + 1;
                }
                if (!inside) continue;
                std::vector<PixelBGRA> expected;
                for (std::int32_t c = from; c < to; ++c) {
                    const double q = SampledPosition(map, n, static_cast<double>(c) + offset);
                    const std::int32_t i = static_cast<std::int32_t>(q);
                    const double t = static_cast<double>(i + 1) - q;
                    expected.push_back(BlendPixels(line[i], t, i + 1 < n ? line[i + 1] : line[i]));
                }
                for (const NamedKernels& kernels : allKernels) {
                    std::vector<PixelBGRA> got(expected.size());
                    shear_detail::BlendSpan(*kernels.kernels, map, line.data(), n, offset, from, to, 0xFFFFFFFFu,
                                            got.data(), aligned);
                    for (std::size_t k = 0; k < got.size(); ++k) {
                        ASSERT_EQ(PackPixel(got[k]), PackPixel(expected[k]))
                            << kernels.name << " n=" << n << " map=" << static_cast<int>(map) << " offset=" << offset
                            << " c=" << from + static_cast<std::int32_t>(k);
                    }
                }
            }
        }
    }
}

// Rectangles a few pixels across and lines of one to nine pixels, in images
// wide and tall enough for the strips and the vector groups, with every mode
// and many dimensions (so many fractional parts of the offsets).
TEST(ShearDifferentialGrid, NarrowRectanglesAndShortLines) {
    std::mt19937 rng(9);
    std::uint32_t seed = 5000;
    const std::int32_t sizes[][2] = {{1, 40}, {40, 1}, {3, 70}, {70, 3}, {9, 9}, {8, 130}, {130, 8}, {150, 150}};
    for (const auto& size : sizes) {
        for (std::int32_t shape = 0; shape < 6; ++shape) {
            for (std::int32_t mode = 0; mode < kUndefinedAreaModeCount; ++mode) {
                for (int k = 0; k < 6; ++k) {
                    Case c;
                    c.w = size[0], c.h = size[1];
                    // A span of 1..9 pixels along the shift somewhere in the image, the full extent across it.
                    const bool rows = IsRowShape(shape);
                    const std::int32_t along = rows ? c.w : c.h;
                    const std::int32_t span = std::min(along, Uniform(rng, 1, 9));
                    const std::int32_t start = Uniform(rng, 0, along - span);
                    c.rect = rows ? ProcessRect{start, 0, start + span, c.h} : ProcessRect{0, start, c.w, start + span};
                    if (k % 2 == 1) c.rect = ProcessRect{0, 0, c.w, c.h};
                    c.settings.shape = shape;
                    c.settings.dimension = RandomDimension(rng);
                    c.settings.policy = UndefinedAreaPolicy{mode, RandomPixel(rng), k % 3 == 0};
                    if (c.settings.policy.transparent) c.settings.policy.fill.alpha = 0;
                    c.pixelSeed = ++seed | 1;
                    if (!Check(c)) return;
                }
            }
        }
    }
}

// The column pass works on bands of sixteen columns, four bands side by side
// and a chunk of rows at a time: rectangles whose width and left edge fall on
// and off those boundaries, images whose row pitch is and is not whole
// 64-byte lines, and heights from one row up, with every mode.
TEST(ShearDifferentialGrid, ColumnBandEdges) {
    const std::int32_t widths[] = {16, 33, 64, 80, 130};
    const std::int32_t heights[] = {1, 2, 3, 9, 70};
    const std::int32_t dimensions[] = {-100, -37, 1, 64, 100};
    std::mt19937 rng(11);
    std::uint32_t seed = 9000;
    for (const std::int32_t w : widths) {
        for (const std::int32_t h : heights) {
            for (int placement = 0; placement < 3; ++placement) {
                for (std::int32_t mode = 0; mode < kUndefinedAreaModeCount; ++mode) {
                    Case c;
                    c.w = w, c.h = h;
                    c.rect = ProcessRect{0, 0, w, h};
                    if (placement == 1) c.rect = ProcessRect{Uniform(rng, 1, 5), 0, w - Uniform(rng, 0, 2), h};
                    if (placement == 2) {
                        c.rect.left = Uniform(rng, 0, w - 1);
                        c.rect.right = Uniform(rng, c.rect.left + 1, w);
                        c.rect.top = Uniform(rng, 0, h - 1);
                        c.rect.bottom = Uniform(rng, c.rect.top + 1, h);
                    }
                    c.settings.shape = ValueOf(ShapeKind::LeftAndRight) + Uniform(rng, 0, 2);
                    c.settings.dimension = dimensions[Uniform(rng, 0, 4)];
                    c.settings.policy = UndefinedAreaPolicy{mode, RandomPixel(rng), Uniform(rng, 0, 1)};
                    if (c.settings.policy.transparent) c.settings.policy.fill.alpha = 0;
                    c.pixelSeed = ++seed | 1;
                    if (!Check(c)) return;
                }
            }
        }
    }
}

}  // namespace
