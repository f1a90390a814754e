#include "reference/literal_shear.h"

namespace literal {
namespace {

// ---- pixels and blend -------------------------------------------------------

PixelBGRA Blend(PixelBGRA first, double t, PixelBGRA second) {
    const double u = 1.0 - t;
    PixelBGRA out;
    double v;
    v = first.blue * t + second.blue * u;
    out.blue = static_cast<std::uint8_t>(static_cast<int>(v));
    v = first.green * t + second.green * u;
    out.green = static_cast<std::uint8_t>(static_cast<int>(v));
    v = first.red * t + second.red * u;
    out.red = static_cast<std::uint8_t>(static_cast<int>(v));
    v = first.alpha * t + second.alpha * u;
    out.alpha = static_cast<std::uint8_t>(static_cast<int>(v));
    return out;
}

// ---- amplitude and offset profiles ------------------------------------------

double Amplitude(std::int32_t extent, std::int32_t dimension) {
    const std::int32_t m =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(extent) * static_cast<std::uint32_t>(dimension));
    return static_cast<double>(m) * 0.01;
}

// profile 0: both ends move, 1: the first line moves most, 2: the last line.
double Offset(int profile, std::int32_t a, double A, std::int32_t n) {
    switch (profile) {
        case 0: {
            const double aA = static_cast<double>(a) * A;
            const double twice = aA * 2.0;
            const double share = twice / static_cast<double>(n);
            return share - A;
        }
        case 1: {
            const std::int32_t remaining = n - a;
            const double rA = static_cast<double>(remaining) * A;
            const double share = rA / static_cast<double>(n);
            return -share;
        }
        default: {
            const double aA = static_cast<double>(a) * A;
            const double share = aA / static_cast<double>(n);
            return -share;
        }
    }
}

// ---- classification ------------------------------------------------------------

enum Region { kOutsideBefore, kPartialBefore, kInterior, kPartialAfter, kOutsideAfter };

Region Classify(double p, std::int32_t n) {
    const double nd = static_cast<double>(n);
    if (p < 0.0) {
        if (p <= -1.0) return kOutsideBefore;
        return kPartialBefore;
    }
    if (p <= nd - 1.0) return kInterior;
    if (p < nd) return kPartialAfter;
    return kOutsideAfter;
}

// ---- one line of the source ------------------------------------------------------

// The sampled line (row y or column x) and the output pixel's own position.
struct Line {
    const PixelBGRA* source;
    std::int32_t w;
    std::int32_t x;
    std::int32_t y;
    bool isRow;
    std::int32_t n;  // pixels on the line

    PixelBGRA S(std::int32_t k) const {
        if (isRow) return source[static_cast<std::int64_t>(y) * w + k];
        return source[static_cast<std::int64_t>(k) * w + x];
    }
    PixelBGRA First() const { return S(0); }
    PixelBGRA Last() const { return S(n - 1); }
    PixelBGRA Own() const { return source[static_cast<std::int64_t>(y) * w + x]; }
};

PixelBGRA SampleInterior(const Line& line, double q) {
    const std::int32_t i = static_cast<std::int32_t>(q);
    const double t = static_cast<double>(i + 1) - q;
    if (i + 1 >= line.n) {
        // q is the last position exactly: t is 1 and the neighbour past the
        // end weighs nothing, so it is not read.
        return line.S(i);
    }
    return Blend(line.S(i), t, line.S(i + 1));
}

PixelBGRA Sample(const Line& line, Region region, std::int32_t mode, double p, PixelBGRA fill) {
    const double nd = static_cast<double>(line.n);
    if (region == kInterior) return SampleInterior(line, p);
    switch (region) {
        case kOutsideBefore:
            switch (mode) {
                case 0:
                    return line.First();
                case 1:
                    return line.Own();
                case 2:
                    return SampleInterior(line, p + nd);
                case 3:
                    return SampleInterior(line, -p - 1.0);
                default:
                    return fill;
            }
        case kPartialBefore:
            switch (mode) {
                case 0:
                    return line.First();
                case 1:
                    return Blend(line.Own(), -p, line.First());
                case 2:
                    return Blend(line.Last(), -p, line.First());
                case 3:
                    return line.First();
                default:
                    return Blend(fill, -p, line.First());
            }
        case kPartialAfter:
            switch (mode) {
                case 0:
                    return line.Last();
                case 1:
                    return Blend(line.Last(), nd - p, line.Own());
                case 2:
                    return Blend(line.Last(), nd - p, line.First());
                case 3:
                    return line.Last();
                default:
                    return Blend(line.Last(), nd - p, fill);
            }
        default:  // kOutsideAfter
            switch (mode) {
                case 0:
                    return line.Last();
                case 1:
                    return line.Own();
                case 2:
                    return SampleInterior(line, p - nd);
                case 3: {
                    const std::int32_t twice = 2 * line.n;
                    return SampleInterior(line, static_cast<double>(twice) - p - 1.0);
                }
                default:
                    return fill;
            }
    }
}

PixelBGRA Pixel(const Line& line, double p, const UndefinedAreaPolicy& policy) {
    const Region region = Classify(p, line.n);
    PixelBGRA pixel = Sample(line, region, policy.mode, p, policy.fill);
    if ((region == kOutsideBefore || region == kOutsideAfter) && policy.transparent != 0) {
        pixel.alpha = 0;
    }
    return pixel;
}

void Report(const ProgressSink& sink, std::int32_t line, std::int32_t count) {
    if (sink.callback == nullptr) return;
    // The product is formed in 64 bits so that very long passes do not wrap.
    const std::int64_t done = static_cast<std::int64_t>(line) * 10000 / count;
    sink.callback(static_cast<std::int32_t>(done), 10000, sink.userData);
}

}  // namespace

void ShearRows(const PixelBGRA* source, PixelBGRA* destination, const ProcessRect& rect, std::int32_t w, std::int32_t h,
               const ProgressSink& sink, const ParallelogramSettings& settings) {
    (void)h;
    const double A = Amplitude(rect.right - rect.left, settings.dimension);
    if (rect.top >= rect.bottom) return;
    const std::int32_t n = rect.bottom - rect.top;
    for (std::int32_t y = rect.top; y < rect.bottom; ++y) {
        const double offset = Offset(settings.shape, y - rect.top, A, n);
        for (std::int32_t x = rect.left; x < rect.right; ++x) {
            const double p = static_cast<double>(x) + offset;
            const Line line{source, w, x, y, true, w};
            destination[static_cast<std::int64_t>(y) * w + x] = Pixel(line, p, settings.policy);
        }
        Report(sink, y - rect.top, n);
    }
}

void ShearColumns(const PixelBGRA* source, PixelBGRA* destination, const ProcessRect& rect, std::int32_t w,
                  std::int32_t h, const ProgressSink& sink, const ParallelogramSettings& settings) {
    const double A = Amplitude(rect.bottom - rect.top, settings.dimension);
    if (rect.left >= rect.right) return;
    const std::int32_t n = rect.right - rect.left;
    for (std::int32_t x = rect.left; x < rect.right; ++x) {
        const double offset = Offset(settings.shape - 3, x - rect.left, A, n);
        for (std::int32_t y = rect.top; y < rect.bottom; ++y) {
            const double p = static_cast<double>(y) + offset;
            const Line line{source, w, x, y, false, h};
            destination[static_cast<std::int64_t>(y) * w + x] = Pixel(line, p, settings.policy);
        }
        Report(sink, x - rect.left, n);
    }
}

}  // namespace literal
