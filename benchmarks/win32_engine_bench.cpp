// Speed of the shear passes in a Windows build (the 32-bit one, or the 64-bit
// one where the kernel runs no 32-bit programs): ShearRows and ShearColumns
// on a 4096 x 4096 image at every vector level this machine has, the plain
// reference, and a memcpy of the same size.  Timed with
// QueryPerformanceCounter; each figure is the median of --repeat runs.  Every
// level's pixels are also compared with the reference's: the Windows
// kernels run nowhere else at every level, so a difference fails the bench.
//
//   win32_engine_bench.exe [--size N] [--repeat K] [--literal-repeat K]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "programs/median.h"
#include "reference/literal_shear.h"
#include "shear/passes.h"
#include "shear/vector_level.h"

namespace {

std::int32_t PG_STDCALL IgnoreProgress(std::int32_t, std::int32_t, ProgressUserData) { return 1; }

using Pass = void (*)(const PixelBGRA*, PixelBGRA*, const ProcessRect&, std::int32_t, std::int32_t, const ProgressSink&,
                      const ParallelogramSettings&);

struct Case {
    const char* name;
    Pass engine;
    Pass literal;
    ShapeKind shape;
    std::int32_t dimension;
    UndefinedAreaMode mode;
    std::int32_t transparent;
};

const Case kCases[] = {
    {"rows d30 Repeat", ShearRows, literal::ShearRows, ShapeKind::TopAndBottom, 30, UndefinedAreaMode::Repeat, 0},
    {"rows d100 Fold transparent", ShearRows, literal::ShearRows, ShapeKind::TopAndBottom, 100, UndefinedAreaMode::Fold,
     1},
    {"columns d30 Repeat", ShearColumns, literal::ShearColumns, ShapeKind::LeftAndRight, 30, UndefinedAreaMode::Repeat,
     0},
    {"columns d100 Fold transparent", ShearColumns, literal::ShearColumns, ShapeKind::LeftAndRight, 100,
     UndefinedAreaMode::Fold, 1},
};

const char* LevelName(VectorLevel level) {
    switch (level) {
        case VectorLevel::Avx512:
            return "AVX-512";
        case VectorLevel::Avx2:
            return "AVX2";
        default:
            return "SSE2";
    }
}

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER frequency) {
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Median time of `repeat` calls of `run`, after one untimed warm-up call.
template <typename Run>
double MedianSeconds(int repeat, Run run) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    run();
    std::vector<double> times;
    for (int i = 0; i < repeat; ++i) {
        LARGE_INTEGER from, to;
        QueryPerformanceCounter(&from);
        run();
        QueryPerformanceCounter(&to);
        times.push_back(Seconds(from, to, frequency));
    }
    return programs::Median(times);
}

int PositiveArgument(const char* text, const char* option) {
    const int value = std::atoi(text);
    if (value <= 0) {
        std::fprintf(stderr, "win32_engine_bench: %s needs a positive number\n", option);
        std::exit(2);
    }
    return value;
}

}  // namespace

int main(int argc, char** argv) {
    int side = 4096, repeat = 9, literalRepeat = 3;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 < argc && arg == "--size") {
            side = PositiveArgument(argv[++i], "--size");
        } else if (i + 1 < argc && arg == "--repeat") {
            repeat = PositiveArgument(argv[++i], "--repeat");
        } else if (i + 1 < argc && arg == "--literal-repeat") {
            literalRepeat = PositiveArgument(argv[++i], "--literal-repeat");
        } else {
            std::fprintf(stderr, "usage: win32_engine_bench [--size N] [--repeat K] [--literal-repeat K]\n");
            return 2;
        }
    }

    const std::size_t pixels = static_cast<std::size_t>(side) * static_cast<std::size_t>(side);
    std::vector<PixelBGRA> source(pixels), destination(pixels);
    std::mt19937 rng(42);
    for (PixelBGRA& p : source) {
        const std::uint32_t v = rng();
        std::memcpy(&p, &v, sizeof p);
    }

    const double copy =
        MedianSeconds(repeat, [&] { std::memcpy(destination.data(), source.data(), pixels * sizeof(PixelBGRA)); });

    const VectorLevel detected = DetectedVectorLevel();
    std::printf(
        "\nThe engine in the %d-bit Windows build, %dx%d, median of %d runs (reference: %d);\n"
        "this machine has %s\n",
        static_cast<int>(sizeof(void*) * 8), side, side, repeat, literalRepeat, LevelName(detected));
    std::printf("%-31s %-8s %10s %14s %10s\n", "case", "level", "ms", "vs literal", "vs memcpy");
    std::printf("%-31s %-8s %10.2f %14s %9.2fx\n", "memcpy", "", copy * 1e3, "", 1.0);

    std::vector<PixelBGRA> expected(pixels);
    int mismatches = 0;
    const ProcessRect rect{0, 0, side, side};
    const ProgressSink sink{0, IgnoreProgress};
    for (const Case& c : kCases) {
        ParallelogramSettings settings{};
        settings.shape = ValueOf(c.shape);
        settings.dimension = c.dimension;
        settings.policy = UndefinedAreaPolicy{ValueOf(c.mode), PixelBGRA{10, 20, 30, 0}, c.transparent};
        const auto timed = [&](Pass pass, int runs) {
            return MedianSeconds(runs,
                                 [&] { pass(source.data(), destination.data(), rect, side, side, sink, settings); });
        };
        const double slow = timed(c.literal, literalRepeat);
        std::printf("%-31s %-8s %10.2f %14s %9.2fx\n", c.name, "literal", slow * 1e3, "1.0x", slow / copy);
        expected = destination;
        for (VectorLevel level : {VectorLevel::Avx512, VectorLevel::Avx2, VectorLevel::Baseline}) {
            if (level > detected) continue;
            LimitVectorLevel(level);
            const double fast = timed(c.engine, repeat);
            char speedUp[32];
            std::snprintf(speedUp, sizeof speedUp, "%.1fx faster", slow / fast);
            const bool same = std::memcmp(destination.data(), expected.data(), pixels * sizeof(PixelBGRA)) == 0;
            std::printf("%-31s %-8s %10.2f %14s %9.2fx%s\n", c.name, LevelName(level), fast * 1e3, speedUp, fast / copy,
                        same ? "" : "  DIFFERS FROM THE REFERENCE");
            if (!same) ++mismatches;
        }
        LimitVectorLevel(VectorLevel::Avx512);
    }
    if (mismatches != 0) {
        std::printf("win32_engine_bench: %d case(s) gave other pixels than the reference\n", mismatches);
        return 1;
    }
    return 0;
}
