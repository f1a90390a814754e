#include "plugin/exception_message.h"

#include <cstring>

bool IsCp932LeadByte(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

namespace {

// Appends the text's whole characters, as many as fit; a double-byte
// character that would cross the end is left out.  Returns false when the
// text did not fit entirely, after which nothing more may be appended: the
// result must stay a prefix of the full message.
bool AppendWholeCharacters(char* buffer, std::size_t room, std::size_t& used, const char* text) {
    std::size_t i = 0;
    while (text[i] != '\0') {
        std::size_t size = 1;
        if (IsCp932LeadByte(static_cast<unsigned char>(text[i])) && text[i + 1] != '\0') size = 2;
        if (used + size > room) return false;
        std::memcpy(buffer + used, text + i, size);
        used += size;
        i += size;
    }
    return true;
}

}  // namespace

void ComposeExceptionMessage(char* buffer, std::size_t capacity, const char* fixed, const char* what) {
    if (capacity == 0) return;
    const std::size_t room = capacity - 1;
    std::size_t used = 0;
    if (AppendWholeCharacters(buffer, room, used, fixed != nullptr ? fixed : "") && what != nullptr &&
        AppendWholeCharacters(buffer, room, used, "\n\n")) {
        AppendWholeCharacters(buffer, room, used, what);
    }
    buffer[used] = '\0';
}
