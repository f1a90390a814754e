// The host's rectangle through clipping and the row or column pass, at every
// vector level this machine has, against the literal reference on the same
// clipped rectangle: the same pixels, nothing written outside the rectangle,
// and the same progress reports.  Images and rectangles are small and often
// degenerate (empty, inverted, partly or wholly outside the image); the
// buffers are allocated at exactly width x height pixels.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "filters/parallelogram_run.h"
#include "fuzz_input.h"
#include "reference/literal_shear.h"
#include "shear/vector_level.h"

namespace {

struct Report {
    std::int32_t done;
    std::int32_t total;
    ProgressUserData userData;
    bool operator==(const Report& other) const {
        return done == other.done && total == other.total && userData == other.userData;
    }
};

// The reports of the pass that runs now; userData is a token of its own, so
// that it shows whether the pass hands it back unchanged.
std::vector<Report> reports;
constexpr ProgressUserData kUserData = 0x5EED1234u;

std::int32_t Record(std::int32_t done, std::int32_t total, ProgressUserData userData) {
    reports.push_back(Report{done, total, userData});
    return 1;
}

// A coordinate near the image (byte b gives b mod (extent + 7) - 3), or with
// the byte 0xFF any 32-bit value.
std::int32_t ReadCoordinate(FuzzInput& input, std::int32_t extent) {
    const std::uint8_t b = input.Byte();
    if (b == 0xFF) return input.Int32();
    return static_cast<std::int32_t>(b % (extent + 7)) - 3;
}

PixelBGRA Guard(std::size_t i) {
    return PixelBGRA{0xA5, static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i >> 8), 0x5A};
}

bool InsideRect(const ProcessRect& r, std::int32_t x, std::int32_t y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

struct Outcome {
    bool ran = false;
    std::vector<PixelBGRA> destination;
    std::vector<Report> reports;
};

using Pass = void (*)(const PixelBGRA*, PixelBGRA*, const ProcessRect&, std::int32_t, std::int32_t, const ProgressSink&,
                      const ParallelogramSettings&);

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::int32_t width = input.InRange(-1, 80);
    const std::int32_t height = input.InRange(-1, 80);
    ProcessRect hostRect;
    hostRect.left = ReadCoordinate(input, width);
    hostRect.top = ReadCoordinate(input, height);
    hostRect.right = ReadCoordinate(input, width);
    hostRect.bottom = ReadCoordinate(input, height);
    ParallelogramSettings settings{};
    settings.shape = input.InRange(-1, 6);
    settings.dimension = input.InRange(-100, 100);
    settings.policy.mode = input.InRange(-1, 6);
    settings.policy.transparent = input.Byte();
    settings.policy.fill = PixelBGRA{input.Byte(), input.Byte(), input.Byte(), input.Byte()};
    const bool withCallback = input.Flag();

    const std::size_t count =
        width > 0 && height > 0 ? static_cast<std::size_t>(width) * static_cast<std::size_t>(height) : 0;
    std::vector<PixelBGRA> source(std::max<std::size_t>(count, 1));
    ReadPixels(input, source);

    const auto run = [&](auto&& body) {
        Outcome outcome;
        outcome.destination.resize(source.size());
        for (std::size_t i = 0; i < source.size(); ++i) outcome.destination[i] = Guard(i);
        reports.clear();
        const ProgressSink sink{kUserData, withCallback ? Record : nullptr};
        outcome.ran = body(outcome.destination.data(), sink);
        outcome.reports = reports;
        return outcome;
    };

    // What must happen: the rectangle clamped into the image, the literal
    // pass over it; nothing at all for a bad shape, mode or image size.
    const bool valid = settings.shape >= 0 && settings.shape <= 5 && settings.policy.mode >= 0 &&
                       settings.policy.mode <= 5 && width >= 1 && height >= 1;
    const ProcessRect clipped{
        std::clamp(hostRect.left, 0, std::max(width, 0)), std::clamp(hostRect.top, 0, std::max(height, 0)),
        std::clamp(hostRect.right, 0, std::max(width, 0)), std::clamp(hostRect.bottom, 0, std::max(height, 0))};
    if (width >= 1 && height >= 1) {
        ProcessRect clippedByEngine{};
        FUZZ_CHECK(ClipRectToImage(&hostRect, width, height, clippedByEngine));
        FUZZ_CHECK(clippedByEngine.left == clipped.left && clippedByEngine.top == clipped.top &&
                   clippedByEngine.right == clipped.right && clippedByEngine.bottom == clipped.bottom);
    }
    const Outcome expected = run([&](PixelBGRA* destination, const ProgressSink& sink) {
        if (!valid) return false;
        const Pass literalPass = IsRowShape(settings.shape) ? literal::ShearRows : literal::ShearColumns;
        literalPass(source.data(), destination, clipped, width, height, sink, settings);
        return true;
    });

    for (const VectorLevel level : {VectorLevel::Baseline, VectorLevel::Avx2, VectorLevel::Avx512}) {
        if (level > DetectedVectorLevel()) break;
        LimitVectorLevel(level);
        const Outcome actual = run([&](PixelBGRA* destination, const ProgressSink& sink) {
            return RunShearPass(source.data(), destination, &hostRect, width, height, sink, settings);
        });
        FUZZ_CHECK(actual.ran == expected.ran);
        FUZZ_CHECK(actual.reports == expected.reports);
        for (std::size_t i = 0; i < count; ++i) {
            const std::int32_t x = static_cast<std::int32_t>(i % static_cast<std::size_t>(width));
            const std::int32_t y = static_cast<std::int32_t>(i / static_cast<std::size_t>(width));
            if (!valid || !InsideRect(clipped, x, y)) FUZZ_CHECK(actual.destination[i] == Guard(i));
            FUZZ_CHECK(actual.destination[i] == expected.destination[i]);
        }
    }
    LimitVectorLevel(VectorLevel::Avx512);
    return 0;
}
