#include "shear/samplers.h"

namespace {

// The two axes differ only in how the k-th pixel of the sampled line is found
// and in the line's length; everything else is written once below.
struct RowAxis {
    static std::int32_t Length(std::int32_t w, std::int32_t) { return w; }
    static const PixelBGRA& At(const PixelBGRA* source, std::int32_t, std::int32_t y, std::int32_t w, std::int32_t k) {
        return source[static_cast<std::intptr_t>(y) * w + k];
    }
};

struct ColumnAxis {
    static std::int32_t Length(std::int32_t, std::int32_t h) { return h; }
    static const PixelBGRA& At(const PixelBGRA* source, std::int32_t x, std::int32_t, std::int32_t w, std::int32_t k) {
        return source[static_cast<std::intptr_t>(k) * w + x];
    }
};

#define SAMPLER_ARGS                                                                                   \
    const PixelBGRA *source, std::int32_t x, std::int32_t y, double p, std::int32_t w, std::int32_t h, \
        const UndefinedAreaPolicy &policy

template <class Axis>
PixelBGRA Interior_(SAMPLER_ARGS) {
    (void)policy;
    const std::int32_t i = static_cast<std::int32_t>(p);
    const double t = static_cast<double>(i + 1) - p;
    const PixelBGRA& left = Axis::At(source, x, y, w, i);
    // At the line's last pixel t is 1 and the missing neighbour weighs
    // nothing; blending the pixel with itself at weight 0 gives it exactly.
    const PixelBGRA& right = i + 1 < Axis::Length(w, h) ? Axis::At(source, x, y, w, i + 1) : left;
    return BlendPixels(left, t, right);
}

template <class Axis>
const PixelBGRA& First(const PixelBGRA* source, std::int32_t x, std::int32_t y, std::int32_t w) {
    return Axis::At(source, x, y, w, 0);
}

template <class Axis>
const PixelBGRA& Last(const PixelBGRA* source, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
    return Axis::At(source, x, y, w, Axis::Length(w, h) - 1);
}

inline const PixelBGRA& Own(const PixelBGRA* source, std::int32_t x, std::int32_t y, std::int32_t w) {
    return source[static_cast<std::intptr_t>(y) * w + x];
}

inline double LengthOf(std::int32_t n) { return static_cast<double>(n); }

// ---- EdgePixel ----
template <class Axis>
PixelBGRA EdgeBefore(SAMPLER_ARGS) {
    (void)p, (void)h, (void)policy;
    return First<Axis>(source, x, y, w);
}
template <class Axis>
PixelBGRA EdgeAfter(SAMPLER_ARGS) {
    (void)p, (void)policy;
    return Last<Axis>(source, x, y, w, h);
}

// ---- OriginalPixel ----
template <class Axis>
PixelBGRA OriginalOutside(SAMPLER_ARGS) {
    (void)p, (void)h, (void)policy;
    return Own(source, x, y, w);
}
template <class Axis>
PixelBGRA OriginalPartialBefore(SAMPLER_ARGS) {
    (void)h, (void)policy;
    return BlendPixels(Own(source, x, y, w), -p, First<Axis>(source, x, y, w));
}
template <class Axis>
PixelBGRA OriginalPartialAfter(SAMPLER_ARGS) {
    (void)policy;
    const double weight = LengthOf(Axis::Length(w, h)) - p;
    return BlendPixels(Last<Axis>(source, x, y, w, h), weight, Own(source, x, y, w));
}

// ---- Repeat ----
template <class Axis>
PixelBGRA RepeatOutsideBefore(SAMPLER_ARGS) {
    return Interior_<Axis>(source, x, y, p + LengthOf(Axis::Length(w, h)), w, h, policy);
}
template <class Axis>
PixelBGRA RepeatOutsideAfter(SAMPLER_ARGS) {
    return Interior_<Axis>(source, x, y, p - LengthOf(Axis::Length(w, h)), w, h, policy);
}
template <class Axis>
PixelBGRA RepeatPartialBefore(SAMPLER_ARGS) {
    (void)policy;
    return BlendPixels(Last<Axis>(source, x, y, w, h), -p, First<Axis>(source, x, y, w));
}
template <class Axis>
PixelBGRA RepeatPartialAfter(SAMPLER_ARGS) {
    (void)policy;
    const double weight = LengthOf(Axis::Length(w, h)) - p;
    return BlendPixels(Last<Axis>(source, x, y, w, h), weight, First<Axis>(source, x, y, w));
}

// ---- Fold (mirror axes at -0.5 and n - 0.5) ----
template <class Axis>
PixelBGRA FoldOutsideBefore(SAMPLER_ARGS) {
    return Interior_<Axis>(source, x, y, -p - 1.0, w, h, policy);
}
template <class Axis>
PixelBGRA FoldOutsideAfter(SAMPLER_ARGS) {
    const double twice = static_cast<double>(2 * Axis::Length(w, h));
    return Interior_<Axis>(source, x, y, twice - p - 1.0, w, h, policy);
}
// In the partial regions the fold's substitute is the end pixel itself, which
// is returned as it is: blending a pixel with itself may lose a unit.
template <class Axis>
PixelBGRA FoldPartialBefore(SAMPLER_ARGS) {
    return EdgeBefore<Axis>(source, x, y, p, w, h, policy);
}
template <class Axis>
PixelBGRA FoldPartialAfter(SAMPLER_ARGS) {
    return EdgeAfter<Axis>(source, x, y, p, w, h, policy);
}

// ---- DrawingColour and BackgroundColour ----
PixelBGRA FillOutside(SAMPLER_ARGS) {
    (void)source, (void)x, (void)y, (void)p, (void)w, (void)h;
    return policy.fill;
}
template <class Axis>
PixelBGRA FillPartialBefore(SAMPLER_ARGS) {
    (void)h;
    return BlendPixels(policy.fill, -p, First<Axis>(source, x, y, w));
}
template <class Axis>
PixelBGRA FillPartialAfter(SAMPLER_ARGS) {
    const double weight = LengthOf(Axis::Length(w, h)) - p;
    return BlendPixels(Last<Axis>(source, x, y, w, h), weight, policy.fill);
}

#undef SAMPLER_ARGS

// Rows in SampleRegion order: OutsideBefore, OutsideAfter, PartialBefore,
// PartialAfter; columns in UndefinedAreaMode order.
#define SAMPLER_TABLE(Axis)                                                                   \
    {                                                                                         \
        {EdgeBefore<Axis>,        OriginalOutside<Axis>, RepeatOutsideBefore<Axis>,           \
         FoldOutsideBefore<Axis>, FillOutside,           FillOutside},                        \
            {EdgeAfter<Axis>,        OriginalOutside<Axis>, RepeatOutsideAfter<Axis>,         \
             FoldOutsideAfter<Axis>, FillOutside,           FillOutside},                     \
            {EdgeBefore<Axis>,        OriginalPartialBefore<Axis>, RepeatPartialBefore<Axis>, \
             FoldPartialBefore<Axis>, FillPartialBefore<Axis>,     FillPartialBefore<Axis>},  \
            {EdgeAfter<Axis>,        OriginalPartialAfter<Axis>, RepeatPartialAfter<Axis>,    \
             FoldPartialAfter<Axis>, FillPartialAfter<Axis>,     FillPartialAfter<Axis>},     \
    }

}  // namespace

PixelBGRA SampleRowInterior(const PixelBGRA* source, std::int32_t x, std::int32_t y, double p, std::int32_t w,
                            std::int32_t h, const UndefinedAreaPolicy& policy) {
    return Interior_<RowAxis>(source, x, y, p, w, h, policy);
}

PixelBGRA SampleColumnInterior(const PixelBGRA* source, std::int32_t x, std::int32_t y, double p, std::int32_t w,
                               std::int32_t h, const UndefinedAreaPolicy& policy) {
    return Interior_<ColumnAxis>(source, x, y, p, w, h, policy);
}

const PixelSampler RowSamplers[kEdgeRegionCount][kUndefinedAreaModeCount] = SAMPLER_TABLE(RowAxis);
const PixelSampler ColumnSamplers[kEdgeRegionCount][kUndefinedAreaModeCount] = SAMPLER_TABLE(ColumnAxis);
