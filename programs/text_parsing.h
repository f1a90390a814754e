// Parsers for the values the programs take on their command lines.  Each
// accepts exactly the documented form and nothing around it (no spaces, no
// trailing text), and leaves its output untouched on failure.
#pragma once

#include <cstdint>
#include <string>

#include "shear/pixel.h"
#include "shear/passes.h"

namespace programs {

// Decimal integer: an optional sign and digits only (no spaces, no
// exponent, no base prefix), within [low, high].
bool ParseInteger(const std::string& text, std::int64_t low, std::int64_t high, std::int64_t* value);

// "#RRGGBBAA" or "#RRGGBB" (alpha FF), hexadecimal digits in either case.
bool ParseColour(const std::string& text, PixelBGRA* colour);

// "LEFT,TOP,RIGHT,BOTTOM", four 32-bit integers, right and bottom exclusive.
// A rectangle with left > right or top > bottom is refused; an empty one
// (left == right or top == bottom) is accepted.  Whether it lies inside an
// image is for the caller to check once the image's size is known.
bool ParseRect(const std::string& text, ProcessRect* rect);

// True when `rect` lies inside a width x height image.
bool RectInsideImage(const ProcessRect& rect, std::int64_t width, std::int64_t height);

// "L,T,R,B", as the rectangle is written on the command line.
std::string RectText(const ProcessRect& rect);

}  // namespace programs
