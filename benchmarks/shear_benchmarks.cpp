// Throughput of ShearRows and ShearColumns on a 4096 x 4096 image for a
// representative set of settings, of the plain reference for the two target
// settings, and of a memcpy of the same number of bytes.  After the run a
// short summary gives, for each target case, the speed-up over the reference
// and the time relative to memcpy (medians when --benchmark_repetitions is
// given).  items_per_second is in pixels, so its "M/s" reads as megapixels
// per second.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "programs/median.h"
#include "reference/literal_shear.h"
#include "shear/passes.h"
#include "shear/vector_level.h"
#include "ui/preview_math.h"
#include "ui/preview_render.h"

namespace {

constexpr std::int32_t kSide = 4096;
constexpr std::size_t kPixels = static_cast<std::size_t>(kSide) * kSide;

struct Images {
    std::vector<PixelBGRA> source, destination;
    Images() : source(kPixels), destination(kPixels) {
        std::mt19937 rng(42);
        for (PixelBGRA& p : source) {
            const std::uint32_t v = rng();
            std::memcpy(&p, &v, sizeof p);
        }
    }
};

Images& SharedImages() {
    static Images images;
    return images;
}

std::int32_t PG_STDCALL IgnoreProgress(std::int32_t, std::int32_t, ProgressUserData) { return 1; }

using Pass = void (*)(const PixelBGRA*, PixelBGRA*, const ProcessRect&, std::int32_t, std::int32_t, const ProgressSink&,
                      const ParallelogramSettings&);

struct Setting {
    const char* name;
    std::int32_t dimension;
    UndefinedAreaMode mode;
    std::int32_t transparent;
};

// The two target settings come first.
const Setting kInteriorDominated{"Interior_d30_Repeat", 30, UndefinedAreaMode::Repeat, 0};
const Setting kEdgeHeavy{"EdgeHeavy_d100_Fold_transparent", 100, UndefinedAreaMode::Fold, 1};
const Setting kOthers[] = {
    {"d50_EdgePixel", 50, UndefinedAreaMode::EdgePixel, 0},
    {"d50_OriginalPixel", 50, UndefinedAreaMode::OriginalPixel, 0},
    {"d-70_DrawingColour_transparent", -70, UndefinedAreaMode::DrawingColour, 1},
    {"d5_Fold", 5, UndefinedAreaMode::Fold, 0},
};

void RunShear(benchmark::State& state, Pass pass, ShapeKind shape, Setting setting, VectorLevel cap) {
    LimitVectorLevel(cap);
    Images& images = SharedImages();
    ParallelogramSettings settings{};
    settings.shape = ValueOf(shape);
    settings.dimension = setting.dimension;
    settings.policy = UndefinedAreaPolicy{ValueOf(setting.mode), PixelBGRA{10, 20, 30, 0}, setting.transparent};
    const ProcessRect rect{0, 0, kSide, kSide};
    const ProgressSink sink{0, IgnoreProgress};
    for (auto _ : state) {
        pass(images.source.data(), images.destination.data(), rect, kSide, kSide, sink, settings);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kPixels));
    LimitVectorLevel(VectorLevel::Avx512);
}

void RunMemcpy(benchmark::State& state) {
    Images& images = SharedImages();
    for (auto _ : state) {
        std::memcpy(images.destination.data(), images.source.data(), kPixels * sizeof(PixelBGRA));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kPixels));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kPixels * sizeof(PixelBGRA)));
}

// The preview pane's pixels, blended over the checkerboard as the pane
// itself does.
class PaneBuffer : public PixelSink {
public:
    PaneBuffer(std::int32_t width, std::int32_t height)
        : width_(width), height_(height), pixels_(static_cast<std::size_t>(width) * height) {}
    void PutPixel(std::int32_t x, std::int32_t y, const PixelBGRA& pixel, std::uint8_t alpha) override {
        StoreOverChecker(pixels_.data(), width_, height_, x, y, pixel, alpha);
    }

private:
    std::int32_t width_, height_;
    std::vector<PixelBGRA> pixels_;
};

// One full render of the settings dialog's preview pane (183 x 146 pixels)
// in the middle of the image, the whole image selected, with the first
// target setting.
constexpr PreviewSize kPane{183, 146};
const char* const kPreviewRows = "Preview/Rows_pane_183x146";
const char* const kPreviewColumns = "Preview/Columns_pane_183x146";

void RunPreview(benchmark::State& state, ShapeKind shape) {
    Images& images = SharedImages();
    PaneBuffer pane(kPane.width, kPane.height);
    const PreviewImage image{images.source.data(), kSide, kSide};
    const PreviewWindow window{PreviewPoint{0, 0}, PreviewPoint{(kSide - kPane.width) / 2, (kSide - kPane.height) / 2},
                               kPane};
    PreviewShear shear{};
    shear.bounds = ProcessRect{0, 0, kSide, kSide};
    shear.shape = ValueOf(shape);
    shear.dimension = kInteriorDominated.dimension;
    shear.policy = UndefinedAreaPolicy{ValueOf(kInteriorDominated.mode), PixelBGRA{10, 20, 30, 0}, 0};
    for (auto _ : state) {
        if (IsRowShape(shape)) {
            RenderRowShear(pane, image, window, shear);
        } else {
            RenderColumnShear(pane, image, window, shear);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kPane.width) * kPane.height);
}

void Register(const std::string& name, Pass pass, ShapeKind shape, const Setting& setting,
              VectorLevel cap = VectorLevel::Avx512) {
    benchmark::RegisterBenchmark(name.c_str(), RunShear, pass, shape, setting, cap)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}

void RegisterAll() {
    benchmark::RegisterBenchmark("Memcpy_4096x4096", RunMemcpy)->Unit(benchmark::kMillisecond)->UseRealTime();
    constexpr ShapeKind kRows = ShapeKind::TopAndBottom;
    constexpr ShapeKind kColumns = ShapeKind::LeftAndRight;
    for (const Setting* s : {&kInteriorDominated, &kEdgeHeavy}) {
        Register(std::string("Rows/") + s->name, ShearRows, kRows, *s);
        Register(std::string("Rows/") + s->name + "/literal", literal::ShearRows, kRows, *s);
        Register(std::string("Rows/") + s->name + "/avx2", ShearRows, kRows, *s, VectorLevel::Avx2);
        Register(std::string("Rows/") + s->name + "/sse2", ShearRows, kRows, *s, VectorLevel::Baseline);
        Register(std::string("Columns/") + s->name, ShearColumns, kColumns, *s);
        Register(std::string("Columns/") + s->name + "/literal", literal::ShearColumns, kColumns, *s);
        Register(std::string("Columns/") + s->name + "/avx2", ShearColumns, kColumns, *s, VectorLevel::Avx2);
        Register(std::string("Columns/") + s->name + "/sse2", ShearColumns, kColumns, *s, VectorLevel::Baseline);
    }
    for (const Setting& s : kOthers) {
        Register(std::string("Rows/") + s.name, ShearRows, ShapeKind::Top, s);
        Register(std::string("Columns/") + s.name, ShearColumns, ShapeKind::Right, s);
    }
    benchmark::RegisterBenchmark(kPreviewRows, RunPreview, kRows)->Unit(benchmark::kMicrosecond)->UseRealTime();
    benchmark::RegisterBenchmark(kPreviewColumns, RunPreview, kColumns)->Unit(benchmark::kMicrosecond)->UseRealTime();
}

// Prints the usual table and keeps every measured time per benchmark, so that
// the summary can take medians over repetitions.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations == 0) continue;
            seconds_[run.run_name.function_name].push_back(run.cpu_accumulated_time /
                                                           static_cast<double>(run.iterations));
        }
    }

    void PrintSummary() const {
        const double copy = Median("Memcpy_4096x4096");
        // CPU time: other work on a shared machine inflates wall-clock time
        // but not the time this process actually ran.
        std::printf(
            "\nSummary (median CPU time per 4096x4096 pass; the widest vectors the machine\n"
            "has, /avx2 capped at AVX2, /sse2 pinned to the baseline of the 32-bit build):\n");
        std::printf("%-46s %10s %12s %12s\n", "case", "ms", "vs literal", "vs memcpy");
        if (copy > 0) std::printf("%-46s %10.2f %12s %11.2fx\n", "Memcpy_4096x4096", copy * 1e3, "", 1.0);
        for (const char* axis : {"Rows/", "Columns/"}) {
            for (const Setting* s : {&kInteriorDominated, &kEdgeHeavy}) {
                for (const char* variant : {"", "/avx2", "/sse2"}) PrintRow(std::string(axis) + s->name, variant, copy);
            }
        }
        std::printf("\n%-46s %10s\n", "columns / rows, same settings and level", "ratio");
        for (const Setting* s : {&kInteriorDominated, &kEdgeHeavy}) {
            for (const char* variant : {"", "/avx2", "/sse2"}) {
                const double rows = Median(std::string("Rows/") + s->name + variant);
                const double columns = Median(std::string("Columns/") + s->name + variant);
                if (rows > 0 && columns > 0) {
                    std::printf("%-46s %9.2fx\n", (std::string(s->name) + variant).c_str(), columns / rows);
                }
            }
        }
        std::printf("\n%-46s %10s\n", "preview: one render of the 183x146 pane", "ms");
        for (const char* name : {kPreviewRows, kPreviewColumns}) {
            const double seconds = Median(name);
            if (seconds > 0) std::printf("%-46s %10.3f\n", name, seconds * 1e3);
        }
    }

private:
    void PrintRow(const std::string& base, const char* variant, double copy) const {
        const std::string name = base + variant;
        const double fast = Median(name);
        const double slow = Median(base + "/literal");
        if (fast <= 0) return;
        char speedUp[32] = "-", relative[32] = "-";
        if (slow > 0) std::snprintf(speedUp, sizeof speedUp, "%.1fx faster", slow / fast);
        if (copy > 0) std::snprintf(relative, sizeof relative, "%.2fx", fast / copy);
        std::printf("%-46s %10.2f %12s %12s\n", name.c_str(), fast * 1e3, speedUp, relative);
    }

    double Median(const std::string& name) const {
        const auto found = seconds_.find(name);
        if (found == seconds_.end() || found->second.empty()) return 0;
        return programs::Median(found->second);
    }

    std::map<std::string, std::vector<double>> seconds_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RegisterAll();
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintSummary();
    benchmark::Shutdown();
    return 0;
}
