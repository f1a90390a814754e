// Bounds of the selected pixels of a host selection mask.
#pragma once

#include <cstdint>

#include "shear/passes.h"

constexpr std::uint8_t kOutsideSelection = 0xFF;

// Scans the width x height mask (row stride width bytes) and sets rect to the
// bounds of every byte other than 0xFF, right and bottom exclusive.  The
// bounds start as (width, height, 0, 0) before the scan, so a mask without
// any selected byte gives (width, height, 1, 1); so does a width or height of
// 0 or below, which scans nothing.
void ScanSelectionBounds(const std::uint8_t* mask, std::int32_t width, std::int32_t height, ProcessRect& rect);
