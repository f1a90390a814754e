// The text of the box shown when a filter's settings dialog fails.
#pragma once

#include <cstddef>

// Capacity of the composed text, terminator included.
constexpr std::size_t kExceptionMessageCapacity = 512;

// True for a lead byte of a double-byte character in code page 932.
bool IsCp932LeadByte(unsigned char byte);

// Writes "<fixed>\n\n<what>" into buffer (capacity bytes, always terminated
// when capacity > 0).  When it does not fit, `what` is cut at a character
// boundary of code page 932 so that no double-byte character is split.  A
// null `what` writes the fixed message alone.
void ComposeExceptionMessage(char* buffer, std::size_t capacity, const char* fixed,
                             const char* what);
