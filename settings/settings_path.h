// Building the settings file's path from the module's own file name.
#pragma once

#include <cstddef>

// Tells whether a byte starts a double-byte character in the code page the
// path is written in; null means a single-byte code page.
using LeadBytePredicate = bool (*)(unsigned char byte);

// `buffer` holds a module file name of `length` bytes (as the platform
// reported it into `capacity` bytes).  Replaces the part after the last
// backslash with fileName, terminator included, and returns true.  Refuses
// (returns false and leaves an empty string when capacity > 0) when the name
// is empty or was cut short by the capacity, holds no backslash, or the new
// path would not fit.  A byte that is the second half of a double-byte
// character is never taken for a backslash.
bool ReplaceFileNameInPath(char* buffer, std::size_t capacity, std::size_t length, const char* fileName,
                           LeadBytePredicate isLeadByte);
