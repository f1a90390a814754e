// The bounded copy the host expects for its text buffers.
#pragma once

#include <cstdint>

// Copies text into buffer: up to `length` bytes; a shorter text is followed
// by zero bytes up to `length`, a text of `length` bytes or more fills the
// buffer exactly and leaves it unterminated.  A length of 0 or below writes
// nothing.  A null text counts as empty.
void CopyBoundedText(char* buffer, const char* text, std::int32_t length);
