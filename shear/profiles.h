// Shear amplitude and the three offset profiles that give each line its shift.
#pragma once

#include <cstdint>

// Which lines shift and which profile they follow.  0..2 shift rows sideways,
// 3..5 shift columns vertically.
enum ShapeKind : std::int32_t {
    TopAndBottom = 0,
    Top = 1,
    Bottom = 2,
    LeftAndRight = 3,
    Left = 4,
    Right = 5,
};

inline bool IsRowShape(std::int32_t shape) { return shape >= TopAndBottom && shape <= Bottom; }

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

// Indexed by shape for the row shapes and by shape - 3 for the column shapes.
extern const OffsetProfile OffsetProfiles[3];
