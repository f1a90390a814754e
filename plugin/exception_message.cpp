#include "plugin/exception_message.h"

#include <cstring>

bool IsCp932LeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

namespace {

// Appends at most `room` bytes of text without splitting a double-byte
// character; returns the number of bytes appended.
std::size_t AppendWholeCharacters(char* out, std::size_t room, const char* text) {
    std::size_t used = 0;
    while (text[used] != '\0') {
        std::size_t size = 1;
        if (IsCp932LeadByte(static_cast<unsigned char>(text[used])) && text[used + 1] != '\0') size = 2;
        if (used + size > room) break;
        std::memcpy(out + used, text + used, size);
        used += size;
    }
    return used;
}

}  // namespace

void ComposeExceptionMessage(char* buffer, std::size_t capacity, const char* fixed,
                             const char* what) {
    if (capacity == 0) return;
    std::size_t room = capacity - 1;
    std::size_t used = AppendWholeCharacters(buffer, room, fixed != nullptr ? fixed : "");
    if (what != nullptr) {
        used += AppendWholeCharacters(buffer + used, room - used, "\n\n");
        used += AppendWholeCharacters(buffer + used, room - used, what);
    }
    buffer[used] = '\0';
}
