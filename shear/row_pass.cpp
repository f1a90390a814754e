// The row pass: each row of the rectangle is one line of the image.
#include <cstddef>

#include "shear/line_kernel.h"
#include "shear/passes.h"
#include "shear/scratch.h"
#include "shear/shear_line.h"
#include "shear/streaming.h"
#include "shear/vector_level.h"

using namespace shear_detail;

void ShearRows(const PixelBGRA* source, PixelBGRA* destination, const ProcessRect& rect, std::int32_t w, std::int32_t h,
               const ProgressSink& sink, const ParallelogramSettings& settings) {
    if (!IsValidShape(settings.shape)) return;
    const double amplitude = ShearAmplitude(rect.right - rect.left, settings.dimension);
    if (rect.top >= rect.bottom) return;
    const std::int32_t count = rect.bottom - rect.top;
    if (rect.left >= rect.right) {
        // Rows without pixels: nothing to write, but each row is still a line done.
        for (std::int32_t line = 0; line < count; ++line) ReportLine(sink, line, count);
        return;
    }
    const OffsetProfile profile = ProfileOf(static_cast<ShapeKind>(settings.shape));
    const UndefinedAreaPolicy policy = SanePolicy(settings.policy);
    const LineKernels& kernels = LineKernelsFor(ActiveVectorLevel());
    const Scratch scratch(WideScratchBytes());
    double* wide = nullptr;
    if (scratch.Ok()) {
        wide = reinterpret_cast<double*>(scratch.Aligned());
    }

    for (std::int32_t y = rect.top; y < rect.bottom; ++y) {
        const double offset = profile(y - rect.top, amplitude, count);
        const PixelBGRA* in = source + static_cast<std::ptrdiff_t>(y) * w;
        PixelBGRA* out = destination + static_cast<std::ptrdiff_t>(y) * w;
        auto sample = [&](SampleRegion region, std::int32_t c, double p) {
            return region == Interior ? SampleRowInterior(source, c, y, p, w, h, policy)
                                      : RowSamplers[region][policy.mode](source, c, y, p, w, h, policy);
        };
        if (wide != nullptr) {
            ShearLine(Line{in, w, out + rect.left, rect.left, rect.right, offset}, policy, kernels, wide, sample);
        } else {
            PlainLine(w, offset, rect.left, rect.right, policy.transparent, out, 1, sample);
        }
        ReportLine(sink, y - rect.top, count);
    }
    FinishStreaming();
}
