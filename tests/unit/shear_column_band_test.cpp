// The column pass's band kernels on their own: every level against the blend
// written out, over bands whose lanes blend upwards, downwards (mirrored) or
// both, copy their own pixel or hold a constant, at positions whose
// fractional part is 0, a half or within a rounding error of a whole number,
// down to the last row of the image (where the row below is never read).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "shear/column_band.h"
#include "shear/column_band_common.h"
#include "shear/pixel.h"
#include "shear/vector_level.h"

namespace {

using shear_detail::BandRowsFunction;
using shear_detail::ColumnBand;
using shear_detail::kBandColumns;
using shear_detail::LaneBits;

std::uint32_t Bits(PixelBGRA pixel) {
    std::uint32_t bits;
    std::memcpy(&bits, &pixel, sizeof bits);
    return bits;
}

struct NamedKernel {
    std::string name;
    BandRowsFunction rows;
};

// The portable kernel and the kernel of every vector level this machine has.
std::vector<NamedKernel> KernelsToCheck(std::int32_t h) {
    std::vector<NamedKernel> all{{"scalar", shear_detail::BandRowsScalar}};
    const VectorLevel levels[] = {VectorLevel::Baseline, VectorLevel::Avx2, VectorLevel::Avx512};
    const char* names[] = {"SSE2", "AVX2", "AVX-512"};
    for (int k = 0; k < 3; ++k) {
        if (levels[k] > DetectedVectorLevel()) break;
        all.push_back({names[k], shear_detail::BandRowsFor(levels[k], h)});
    }
#if PG_X86_VECTORS
    if (DetectedVectorLevel() >= VectorLevel::Avx512 && h <= shear_detail::kBandRowLimit) {
        all.push_back({"AVX-512 as in 32-bit builds", shear_detail::BandRowsAvx512Uncarried});
    }
#endif
    return all;
}

// How a band's lanes move along their rows.
enum class Lanes { Upwards, Downwards, Mixed, WithCopiesAndConstants };

// Fractional parts of the offsets, some within a rounding error of a whole
// number, where the rows of neighbouring output rows need not step by one.
const double kFractions[] = {0.0, 0.5, 0.25, 1.0 / 3, 1e-15, 1.0 - 1e-15, 1e-13, 0.9999999999999999};

struct BandCase {
    std::int32_t h, y0, y1;
    Lanes lanes;
    std::uint32_t seed;
};

// A band whose blended lanes sample inside 0 .. h - 1 for every row of
// [y0, y1), with the shifts and mirrors of the interior, Repeat and Fold.
ColumnBand MakeBand(const BandCase& c, std::mt19937& rng) {
    ColumnBand band{};
    const double n = c.h;
    for (int k = 0; k < kBandColumns; ++k) {
        const LaneBits bit = LaneBits{1} << k;
        band.keep[k] = rng() % 3 == 0 ? 0x00FFFFFFu : 0xFFFFFFFFu;
        band.constant[k] = rng();
        int kind = static_cast<int>(rng() % 4);  // 0 blended up, 1 blended down, 2 original, 3 constant
        if (c.lanes == Lanes::Upwards) kind = 0;
        if (c.lanes == Lanes::Downwards) kind = 1;
        if (c.lanes == Lanes::Mixed) kind = static_cast<int>(rng() % 2);
        if (kind == 2) band.original |= bit;
        if (kind >= 2) continue;
        band.blended |= bit;
        const bool mirrored = kind == 1;
        const double shifts[] = {0.0, n, -n, 2 * n};
        const double shift = mirrored ? (rng() % 2 ? 0.0 : 2 * n) : shifts[rng() % 3];
        // Whole offsets for which q stays in 0 .. h - 1, then a fraction that
        // keeps it there.
        const double rows = c.y1 - 1 - c.y0;
        const double lo = mirrored ? shift - n - c.y0 : -shift - c.y0;
        const double hi = mirrored ? shift - 1 - c.y0 - rows : n - 1 - shift - c.y0 - rows;
        const double whole = lo + static_cast<double>(rng() % static_cast<std::uint32_t>(hi - lo + 1));
        const double fraction = kFractions[rng() % (sizeof kFractions / sizeof kFractions[0])];
        double offset = whole;
        if (mirrored ? whole - fraction >= lo : whole + fraction <= hi)
            offset = mirrored ? whole - fraction : whole + fraction;
        band.offset[k] = offset;
        band.shift[k] = shift;
        if (mirrored) band.mirrored |= bit;
    }
    return band;
}

// Lane k's pixel in row y as the samplers compute it, from the whole column.
std::uint32_t Expected(const ColumnBand& band, int k, const std::vector<PixelBGRA>& columns, std::int32_t h,
                       std::int32_t y) {
    const auto at = [&](std::int32_t row) { return columns[static_cast<std::size_t>(row) * kBandColumns + k]; };
    std::uint32_t bits = band.constant[k];
    if ((band.blended >> k & 1) != 0) {
        const double p = static_cast<double>(y) + band.offset[k];
        const double q = (band.mirrored >> k & 1) != 0 ? (band.shift[k] - p) - 1.0 : p + band.shift[k];
        const std::int32_t i = static_cast<std::int32_t>(q);
        const double t = static_cast<double>(i + 1) - q;
        bits = Bits(i == h - 1 ? at(i) : BlendPixels(at(i), t, at(i + 1)));
        if (i == h - 1) {
            EXPECT_EQ(t, 1.0);
        }
    } else if ((band.original >> k & 1) != 0) {
        bits = Bits(at(y));
    }
    return bits & band.keep[k];
}

// Runs every kernel over rows [c.y0, c.y1) of a band with random pixels and
// compares each pixel with the samplers' own.
void ExpectEveryKernelGivesTheSamplersPixels(const BandCase& c, const ColumnBand& lanes, std::mt19937& rng) {
    std::vector<PixelBGRA> columns(static_cast<std::size_t>(c.h) * kBandColumns);
    for (PixelBGRA& p : columns) {
        const std::uint32_t v = rng();
        std::memcpy(&p, &v, sizeof p);
    }
    // The copy holds just the rows read, so that a read outside them shows
    // up (under the sanitizers, or as a wrong pixel).
    std::int32_t first = c.h, end = 0;
    for (int k = 0; k < kBandColumns; ++k) {
        for (std::int32_t y = c.y0; y < c.y1; ++y) {
            std::int32_t row = -1, below = -1;
            if ((lanes.blended >> k & 1) != 0) {
                const double p = static_cast<double>(y) + lanes.offset[k];
                const double q = (lanes.mirrored >> k & 1) != 0 ? (lanes.shift[k] - p) - 1.0 : p + lanes.shift[k];
                row = static_cast<std::int32_t>(q);
                below = row + 1 < c.h ? row + 1 : row;
            } else if ((lanes.original >> k & 1) != 0) {
                row = below = y;
            }
            if (row < 0) continue;
            first = std::min(first, row);
            end = std::max(end, below + 1);
        }
    }
    if (first >= end) first = end = 0;
    ColumnBand band = lanes;
    band.firstRow = first;
    band.endRow = end;
    std::vector<PixelBGRA> copy(columns.begin() + static_cast<std::ptrdiff_t>(first) * kBandColumns,
                                columns.begin() + static_cast<std::ptrdiff_t>(end) * kBandColumns);

    for (const NamedKernel& kernel : KernelsToCheck(c.h)) {
        // Output rows of whole 64-byte lines, as the pass writes them.
        std::vector<PixelBGRA> block(static_cast<std::size_t>(c.y1 - c.y0) * kBandColumns + 16);
        PixelBGRA* out = block.data();
        while (reinterpret_cast<std::uintptr_t>(out) % 64 != 0) ++out;
        kernel.rows(band, copy.data(), c.h, c.y0, c.y1, out, kBandColumns);
        for (std::int32_t y = c.y0; y < c.y1; ++y) {
            for (int k = 0; k < kBandColumns; ++k) {
                const std::uint32_t got = Bits(out[static_cast<std::size_t>(y - c.y0) * kBandColumns + k]);
                ASSERT_EQ(got, Expected(band, k, columns, c.h, y))
                    << kernel.name << " lane " << k << " row " << y << " h=" << c.h << " rows [" << c.y0 << ", " << c.y1
                    << ") offset=" << band.offset[k] << " shift=" << band.shift[k]
                    << " mirrored=" << (band.mirrored >> k & 1);
            }
        }
    }
}

class ColumnBandKernelTest : public testing::TestWithParam<Lanes> {};

TEST_P(ColumnBandKernelTest, EveryLevelGivesTheSamplersPixels) {
    std::mt19937 rng(static_cast<std::uint32_t>(GetParam()) + 40);
    for (int trial = 0; trial < 300; ++trial) {
        BandCase c;
        c.h = 1 + static_cast<std::int32_t>(rng() % 60);
        c.y0 = static_cast<std::int32_t>(rng() % c.h);
        c.y1 = c.y0 + 1 + static_cast<std::int32_t>(rng() % (c.h - c.y0));
        c.lanes = GetParam();
        const ColumnBand lanes = MakeBand(c, rng);
        ExpectEveryKernelGivesTheSamplersPixels(c, lanes, rng);
    }
}

INSTANTIATE_TEST_SUITE_P(Lanes, ColumnBandKernelTest,
                         testing::Values(Lanes::Upwards, Lanes::Downwards, Lanes::Mixed, Lanes::WithCopiesAndConstants),
                         [](const testing::TestParamInfo<Lanes>& info) {
                             switch (info.param) {
                                 case Lanes::Upwards:
                                     return std::string("Upwards");
                                 case Lanes::Downwards:
                                     return std::string("DownwardsMirrored");
                                 case Lanes::Mixed:
                                     return std::string("UpwardsAndDownwards");
                                 case Lanes::WithCopiesAndConstants:
                                     return std::string("WithCopiesAndConstants");
                             }
                             return std::string("?");
                         });

// Long stretches of tall bands whose offsets climb or fall from column to
// column, as the pass makes them: the kernels take most of these rows with
// the weights of a block's first row, and must give the same pixels, also
// where a position crosses a power of two, reaches the image's last row, or
// lies within a rounding error of a whole number.
struct SlopedCase {
    std::int32_t h, y0, y1;
    double slope;  // offset step from one column to the next
    bool mirrored;
};

// Offsets base + slope * k (+ a fraction) for which every lane samples
// inside 0 .. h - 1 on every row, at `where` (0 .. 1) of the range allowed.
ColumnBand MakeSlopedBand(const SlopedCase& c, double shift, double fraction, double where) {
    ColumnBand band{};
    const double n = c.h;
    const double rows = c.y1 - 1 - c.y0;
    const double lo = c.mirrored ? shift - n - c.y0 : -shift - c.y0;
    const double hi = c.mirrored ? shift - 1 - c.y0 - rows : n - 1 - shift - c.y0 - rows;
    const double spread = 15 * (c.slope < 0 ? -c.slope : c.slope) + 1;
    const double base = std::floor(lo + 1 + (hi - lo - spread - 1) * where);
    for (int k = 0; k < kBandColumns; ++k) {
        const double step = c.slope < 0 ? (15 - k) * -c.slope : k * c.slope;
        double offset = base + std::floor(step) + fraction;
        if (offset > hi) offset = hi;
        if (offset < lo) offset = lo;
        band.offset[k] = offset;
        band.shift[k] = shift;
        band.keep[k] = 0xFFFFFFFFu;
    }
    band.blended = 0xFFFF;
    band.mirrored = c.mirrored ? 0xFFFF : 0;
    return band;
}

TEST(ColumnBandSteadyTest, LongStretchesGiveTheSamplersPixels) {
    const SlopedCase cases[] = {
        {4100, 1900, 2300, 0.6, false},                                 // the interior around 2048
        {4100, 0, 700, 2.0, false},                                     // from the top, across 256 and 512
        {4100, 3300, 4100, 0.3, false},                                 // down to the last row
        {2100, 900, 1200, -1.3, false}, {4100, 1000, 1700, 0.6, true},  // mirrored, as Fold's outside runs
        {3000, 0, 3000, 0.01, true},    {600, 0, 600, 0.25, false},
    };
    const double fractions[] = {0.0, 0.5, 0.1, 1.0 / 3, 1e-15, 1.0 - 1e-15, 0.9999999999999999};
    const double places[] = {0.0, 0.37, 1.0};
    std::mt19937 rng(7);
    for (const SlopedCase& c : cases) {
        const double n = c.h;
        const std::vector<double> shifts =
            c.mirrored ? std::vector<double>{0.0, 2 * n} : std::vector<double>{0.0, n, -n};
        for (double shift : shifts) {
            for (double fraction : fractions) {
                for (double where : places) {
                    const ColumnBand lanes = MakeSlopedBand(c, shift, fraction, where);
                    SCOPED_TRACE(testing::Message()
                                 << "h=" << c.h << " rows [" << c.y0 << ", " << c.y1 << ") slope=" << c.slope
                                 << " shift=" << shift << " fraction=" << fraction << " at " << where);
                    const BandCase band{c.h, c.y0, c.y1, c.mirrored ? Lanes::Downwards : Lanes::Upwards, 0};
                    ExpectEveryKernelGivesTheSamplersPixels(band, lanes, rng);
                }
            }
        }
    }
}

// The rule that lets a kernel keep a block's weights: whenever it accepts
// rows [from, to], every row between has the first row's weight t and a row
// i that steps by exactly one.
TEST(ColumnBandSteadyTest, AcceptedRowsKeepTheirWeights) {
    std::mt19937 rng(11);
    const double fractions[] = {0.0, 0.5, 0.1, 0.3, 1.0 / 3, 1e-15, 1.0 - 1e-15, 1e-13, 0.9999999999999999};
    int accepted = 0, refused = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        const std::int32_t h = 2 + static_cast<std::int32_t>(rng() % 5000);
        const bool mirrored = rng() % 2 == 0;
        const double n = h;
        const double shift = mirrored ? (rng() % 2 ? 0.0 : 2 * n) : std::vector<double>{0.0, n, -n}[rng() % 3];
        ColumnBand band{};
        for (int k = 0; k < kBandColumns; ++k) {
            band.offset[k] = static_cast<double>(static_cast<std::int32_t>(rng() % (2 * h)) - h) +
                             fractions[rng() % (sizeof fractions / sizeof fractions[0])];
            band.shift[k] = shift;
        }
        band.blended = 0xFFFF;
        band.mirrored = mirrored ? 0xFFFF : 0;
        const int direction = mirrored ? -1 : 1;
        const std::int32_t from = static_cast<std::int32_t>(rng() % static_cast<std::uint32_t>(h));
        const std::int32_t to = std::min(h - 1, from + static_cast<std::int32_t>(rng() % 300));
        shear_detail::SteadyLanes lanes;
        if (!shear_detail::KeepsWeights(band, direction, from, to, lanes)) {
            ++refused;
            continue;
        }
        ++accepted;
        for (int k = 0; k < kBandColumns; ++k) {
            for (std::int32_t y = from; y <= to; ++y) {
                const double p = static_cast<double>(y) + band.offset[k];
                const double q = mirrored ? (band.shift[k] - p) - 1.0 : p + band.shift[k];
                const std::int32_t i = static_cast<std::int32_t>(q);
                const double t = static_cast<double>(i + 1) - q;
                ASSERT_EQ(i, lanes.i[k] + direction * (y - from)) << "lane " << k << " row " << y;
                ASSERT_EQ(t, lanes.t[k]) << "lane " << k << " row " << y << " offset=" << band.offset[k];
                ASSERT_EQ(1.0 - t, lanes.u[k]);
            }
        }
    }
    // Both answers come up, so neither half of the check is idle.
    EXPECT_GT(accepted, 100);
    EXPECT_GT(refused, 100);
}

// The whole-number blend that the kernels use for weights on the 2^-44 grid
// gives the rounded double blend's pixels for every pair of channel values.
TEST(ColumnBandWholeWeightTest, BlendsLikeTheDoubles) {
    std::vector<double> weights{0.0, 1.0, 0x1p-44, 1.0 - 0x1p-44, 0.5, 0.25, std::floor(0x1p44 / 3) * 0x1p-44};
    // The weights of positions from 256 up, as the kernels meet them.
    std::mt19937 rng(5);
    for (int k = 0; k < 60; ++k) {
        const double q = 256.0 * (1 << (k % 5)) + static_cast<double>(rng() % 256) +
                         static_cast<double>(rng()) / 4294967296.0 + static_cast<double>(rng()) * 0x1p-64;
        const std::int32_t i = static_cast<std::int32_t>(q);
        weights.push_back(static_cast<double>(i + 1) - q);
    }
    for (double t : weights) {
        shear_detail::WholeWeight weight;
        ASSERT_TRUE(shear_detail::WholeWeightOf(t, weight)) << t;
        const double u = 1.0 - t;
        for (std::int32_t a = 0; a < 256; ++a) {
            for (std::int32_t b = 0; b < 256; ++b) {
                const auto expected = static_cast<std::int32_t>(a * t + b * u);
                ASSERT_EQ(shear_detail::BlendWholeChannel(a, b, weight), expected)
                    << "a=" << a << " b=" << b << " t=" << t;
            }
        }
    }
}

TEST(ColumnBandWholeWeightTest, RefusesWeightsOffTheGrid) {
    const double refused[] = {1.0 / 3, 0.1, 1e-15, 0x1p-45, 1.0 - 0x1p-46, -0x1p-44, 1.0 + 0x1p-44, 2.0, std::nan("")};
    for (double t : refused) {
        shear_detail::WholeWeight weight;
        EXPECT_FALSE(shear_detail::WholeWeightOf(t, weight)) << t;
    }
}

}  // namespace
