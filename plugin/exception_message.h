// The text of the box shown when a filter's settings dialog fails.
#pragma once

#include <cstddef>

// Capacity of the composed text, terminator included.
constexpr std::size_t kExceptionMessageCapacity = 512;

// True for a lead byte of a double-byte character in code page 932.
bool IsCp932LeadByte(unsigned char byte);

// Writes "<fixed>\n\n<what>" into buffer (capacity bytes, always terminated
// when capacity > 0).  When it does not fit, the message is cut at the last
// character boundary of code page 932 that fits, so that no double-byte
// character is split and the result is always a prefix of the full message
// (a fixed message cut short is not followed by the line breaks).  A null
// `what` writes the fixed message alone.
void ComposeExceptionMessage(char* buffer, std::size_t capacity, const char* fixed, const char* what);
