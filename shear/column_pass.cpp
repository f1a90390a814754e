// The column pass: strips of columns are transposed into contiguous lines,
// run through the same line code, and transposed back, so that memory is
// walked row by row.
#include <algorithm>
#include <cstddef>

#include "shear/line_kernel.h"
#include "shear/passes.h"
#include "shear/scratch.h"
#include "shear/shear_line.h"
#include "shear/transpose.h"
#include "shear/vector_level.h"

using namespace shear_detail;

namespace {

// The column pass works on strips of this many columns: each source row
// contributes two whole cache lines to the strip, and a strip's transposed
// columns and produced columns (512 KB each for 4096 rows) stay in the
// second-level cache, which 64 columns overflowed.
constexpr std::int32_t kStripColumns = 32;

}  // namespace

// Progress and the column strips: a strip's columns are all computed before
// any of them is reported, and then reported one by one in order.  So every
// column is complete when its report is made, as in a column-by-column loop;
// what a callback may additionally see is the later columns of the same strip
// already written.  The sequence of reports itself is exactly one per column,
// in order, with the same values.
void ShearColumns(const PixelBGRA* source, PixelBGRA* destination, const ProcessRect& rect,
                  std::int32_t w, std::int32_t h, const ProgressSink& sink,
                  const ParallelogramSettings& settings) {
    if (!IsValidShape(settings.shape)) return;
    const double amplitude = ShearAmplitude(rect.bottom - rect.top, settings.dimension);
    if (rect.left >= rect.right) return;
    const std::int32_t count = rect.right - rect.left;
    if (rect.top >= rect.bottom) {
        // Columns without pixels: nothing to write, but each column is still a line done.
        for (std::int32_t line = 0; line < count; ++line) ReportLine(sink, line, count);
        return;
    }
    const std::int32_t rows = rect.bottom - rect.top;
    const OffsetProfile profile = ProfileOf(static_cast<ShapeKind>(settings.shape));
    const UndefinedAreaPolicy policy = SanePolicy(settings.policy);
    const LineKernels& kernels = LineKernelsFor(ActiveVectorLevel());

    // One block: the widened line, the strip's source columns as lines of h
    // pixels, and its produced columns as lines of `rows` pixels.
    const std::uint64_t wideBytes = (WideScratchBytes() + 63) / 64 * 64;
    const std::uint64_t columnBytes = PixelBytes(static_cast<std::uint64_t>(kStripColumns) * h);
    const Scratch scratch(wideBytes + columnBytes + PixelBytes(static_cast<std::uint64_t>(kStripColumns) * rows));
    double* wide = nullptr;
    PixelBGRA* columns = nullptr;
    PixelBGRA* produced = nullptr;
    if (scratch.Ok()) {
        wide = reinterpret_cast<double*>(scratch.Aligned());
        columns = reinterpret_cast<PixelBGRA*>(scratch.Aligned() + wideBytes);
        produced = reinterpret_cast<PixelBGRA*>(scratch.Aligned() + wideBytes + columnBytes);
    }

    // The strips after the first start on a 64-byte boundary of the first
    // produced row (of every row, when the row pitch is whole 64-byte
    // blocks), so that the transpose back writes whole cache lines.
    const std::uintptr_t firstAddress =
        reinterpret_cast<std::uintptr_t>(destination + static_cast<std::ptrdiff_t>(rect.top) * w + rect.left);
    std::int32_t firstStrip = kStripColumns;
    if (firstAddress % sizeof(PixelBGRA) == 0 && firstAddress % 64 != 0) {
        firstStrip = kStripColumns - 16 + static_cast<std::int32_t>((64 - firstAddress % 64) / sizeof(PixelBGRA));
    }
    for (std::int32_t stripLeft = rect.left, strip = 0; stripLeft < rect.right; stripLeft += strip) {
        strip = std::min(stripLeft == rect.left ? firstStrip : kStripColumns, rect.right - stripLeft);
        if (wide != nullptr && rows > 0) {
            Transpose(source + stripLeft, w, h, strip, columns, h, true);
        }
        for (std::int32_t k = 0; k < strip; ++k) {
            const std::int32_t x = stripLeft + k;
            const double offset = profile(x - rect.left, amplitude, count);
            auto sample = [&](SampleRegion region, std::int32_t c, double p) {
                return region == Interior ? SampleColumnInterior(source, x, c, p, w, h, policy)
                                          : ColumnSamplers[region][policy.mode](source, x, c, p, w, h, policy);
            };
            if (wide != nullptr) {
                const Line line{columns + static_cast<std::ptrdiff_t>(k) * h, h,
                                produced + static_cast<std::ptrdiff_t>(k) * rows, rect.top, rect.bottom, offset};
                ShearLine(line, policy, kernels, wide, sample);
            } else {
                PlainLine(h, offset, rect.top, rect.bottom, policy.transparent, destination + x, w, sample);
            }
        }
        if (wide != nullptr && rows > 0) {
            Transpose(produced, rows, strip, rows,
                      destination + static_cast<std::ptrdiff_t>(rect.top) * w + stripLeft, w, false);
        }
        for (std::int32_t k = 0; k < strip; ++k) ReportLine(sink, stripLeft + k - rect.left, count);
    }
    FinishStreaming();
}
