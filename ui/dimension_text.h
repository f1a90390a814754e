// The one gate for the dimension edit's text: which texts are a dimension.
#pragma once

#include <cstdint>

constexpr std::int32_t kDimensionMin = -100;
constexpr std::int32_t kDimensionMax = 100;

// True when `text` is the canonical decimal text of a value in -100..100:
// an optional "-", then ASCII digits only, no leading zero (so "0" is the
// only text that starts with 0, and "-0" is refused).  The value is judged
// on all its digits, however many there are.  On success stores the value.
bool ParseDimensionText(const char* text, std::int32_t* value);
