#include "shear/passes.h"

namespace {

void ReportLine(const ProgressSink& sink, std::int32_t line, std::int32_t count) {
    if (sink.callback != nullptr) {
        // 64-bit product: the 32-bit one would overflow past 214748 lines.
        const auto done = static_cast<std::int32_t>(static_cast<std::int64_t>(line) * kProgressTotal / count);
        sink.callback(done, kProgressTotal, sink.userData);
    }
}

}  // namespace

void ShearRows(const PixelBGRA* source, PixelBGRA* destination, const ProcessRect& rect,
               std::int32_t w, std::int32_t h, const ProgressSink& sink,
               const ParallelogramSettings& settings) {
    const double amplitude = ShearAmplitude(rect.right - rect.left, settings.dimension);
    if (rect.top >= rect.bottom) return;
    const std::int32_t count = rect.bottom - rect.top;
    const OffsetProfile profile = OffsetProfiles[settings.shape];
    const UndefinedAreaPolicy& policy = settings.policy;

    for (std::int32_t y = rect.top; y < rect.bottom; ++y) {
        const double offset = profile(y - rect.top, amplitude, count);
        PixelBGRA* row = destination + static_cast<std::intptr_t>(y) * w;
        for (std::int32_t x = rect.left; x < rect.right; ++x) {
            const double p = x + offset;
            const SampleRegion region = ClassifyPosition(p, w);
            PixelBGRA pixel;
            if (region == Interior) {
                pixel = SampleRowInterior(source, x, y, p, w, h, policy);
            } else {
                pixel = RowSamplers[region][policy.mode](source, x, y, p, w, h, policy);
                if (policy.transparent != 0 && IsOutsideRegion(region)) pixel = WithoutAlpha(pixel);
            }
            row[x] = pixel;
        }
        ReportLine(sink, y - rect.top, count);
    }
}

void ShearColumns(const PixelBGRA* source, PixelBGRA* destination, const ProcessRect& rect,
                  std::int32_t w, std::int32_t h, const ProgressSink& sink,
                  const ParallelogramSettings& settings) {
    const double amplitude = ShearAmplitude(rect.bottom - rect.top, settings.dimension);
    if (rect.left >= rect.right) return;
    const std::int32_t count = rect.right - rect.left;
    const OffsetProfile profile = OffsetProfiles[settings.shape - LeftAndRight];
    const UndefinedAreaPolicy& policy = settings.policy;

    for (std::int32_t x = rect.left; x < rect.right; ++x) {
        const double offset = profile(x - rect.left, amplitude, count);
        for (std::int32_t y = rect.top; y < rect.bottom; ++y) {
            const double p = y + offset;
            const SampleRegion region = ClassifyPosition(p, h);
            PixelBGRA pixel;
            if (region == Interior) {
                pixel = SampleColumnInterior(source, x, y, p, w, h, policy);
            } else {
                pixel = ColumnSamplers[region][policy.mode](source, x, y, p, w, h, policy);
                if (policy.transparent != 0 && IsOutsideRegion(region)) pixel = WithoutAlpha(pixel);
            }
            destination[static_cast<std::intptr_t>(y) * w + x] = pixel;
        }
        ReportLine(sink, x - rect.left, count);
    }
}
