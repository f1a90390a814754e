// Shear amplitude and the three offset profiles that give each line its shift.
#pragma once

#include <cstdint>

// Which lines shift and which profile they follow.  The first three shift
// rows sideways, the last three shift columns vertically.  The settings
// keep a shape as its 32-bit value.
enum class ShapeKind : std::int32_t {
    TopAndBottom,
    Top,
    Bottom,
    LeftAndRight,
    Left,
    Right,
};
constexpr std::int32_t kShapeKindCount = 6;
static_assert(static_cast<std::int32_t>(ShapeKind::Right) + 1 == kShapeKindCount, "the count covers every shape");

constexpr std::int32_t ValueOf(ShapeKind shape) { return static_cast<std::int32_t>(shape); }

// Whether a stored value names a shape.
constexpr bool IsValidShape(std::int32_t value) { return value >= 0 && value < kShapeKindCount; }

// Whether the shape shifts rows (else it shifts columns).
constexpr bool IsRowShape(ShapeKind shape) {
    return shape == ShapeKind::TopAndBottom || shape == ShapeKind::Top || shape == ShapeKind::Bottom;
}
// The same for a stored value; false for a value that names no shape.
constexpr bool IsRowShape(std::int32_t value) {
    return IsValidShape(value) && IsRowShape(static_cast<ShapeKind>(value));
}

// (extent * dimension) as a 32-bit integer product, times the double nearest
// 0.01 (a multiplication, not a division by 100: they differ in the last bit).
double ShearAmplitude(std::int32_t extent, std::int32_t dimension);

// Offset of line `index` (0 <= index < count) for amplitude `amplitude`.
// The offset is added to a pixel's coordinate along its line to find the
// source position it samples.
using OffsetProfile = double (*)(std::int32_t index, double amplitude, std::int32_t count);

double ProfileBoth(std::int32_t index, double amplitude, std::int32_t count);
double ProfileFirst(std::int32_t index, double amplitude, std::int32_t count);
double ProfileLast(std::int32_t index, double amplitude, std::int32_t count);

// Both edges, the first edge, or the last edge moving: indexed by the
// position of a shape among the row shapes or among the column shapes.
extern const OffsetProfile OffsetProfiles[3];

// The profile the lines of `shape` follow.
inline OffsetProfile ProfileOf(ShapeKind shape) {
    const std::int32_t value = ValueOf(shape);
    return OffsetProfiles[IsRowShape(shape) ? value : value - ValueOf(ShapeKind::LeftAndRight)];
}
