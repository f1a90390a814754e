#include "settings/settings_path.h"

#include <cstring>

bool ReplaceFileNameInPath(char* buffer, std::size_t capacity, std::size_t length, const char* fileName,
                           LeadBytePredicate isLeadByte) {
    if (buffer == nullptr || capacity == 0) return false;
    auto refuse = [&] {
        buffer[0] = '\0';
        return false;
    };
    // A name that fills the whole capacity may have been cut short.
    if (length == 0 || length >= capacity || fileName == nullptr) return refuse();

    // Walk the name character by character so that a trail byte equal to a
    // backslash is not mistaken for a separator; remember the last real one.
    std::size_t separator = length;  // none yet
    for (std::size_t i = 0; i < length;) {
        const unsigned char byte = static_cast<unsigned char>(buffer[i]);
        if (byte == '\\') separator = i;
        i += (isLeadByte != nullptr && isLeadByte(byte) && i + 1 < length) ? 2 : 1;
    }
    if (separator == length) return refuse();

    const std::size_t nameLength = std::strlen(fileName);
    if (separator + 1 + nameLength + 1 > capacity) return refuse();
    std::memcpy(buffer + separator + 1, fileName, nameLength + 1);
    return true;
}
