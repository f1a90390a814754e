// The settings file's path built from the module's file name, at every
// capacity from 0 to a little beyond the name: never a byte written past the
// capacity (the buffer is allocated at exactly that size), a second byte of a
// double-byte character never taken for a backslash, "knfilters.ini" put
// right after the last real backslash when it fits, and an empty string
// otherwise.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz_input.h"
#include "plugin/exception_message.h"
#include "settings/settings_path.h"

namespace {

const char kFileName[] = "knfilters.ini";

bool StartsDoubleByte(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

// Position of the last backslash that is a character of its own among the
// first `length` bytes, or std::string::npos.
std::size_t LastSeparator(const std::string& name, std::size_t length, bool doubleByte) {
    std::size_t last = std::string::npos;
    std::size_t i = 0;
    while (i < length) {
        const unsigned char byte = static_cast<unsigned char>(name[i]);
        if (byte == '\\') last = i;
        i += doubleByte && StartsDoubleByte(byte) && i + 1 < length ? 2 : 1;
    }
    return last;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const bool doubleByte = input.Flag();
    // How the platform fills a buffer too small for the name: the first
    // `capacity` bytes unterminated, or `capacity - 1` bytes and a zero.
    const bool terminatesCutName = input.Flag();
    const std::string name = UpToZero(input.Rest()).substr(0, 300);

    for (std::size_t capacity = 0; capacity <= name.size() + sizeof kFileName + 2; ++capacity) {
        std::unique_ptr<char[]> buffer(new char[capacity]);
        std::size_t length = name.size();
        if (length < capacity) {
            std::memcpy(buffer.get(), name.c_str(), length + 1);
        } else {
            length = capacity;
            std::memcpy(buffer.get(), name.data(), capacity);
            if (terminatesCutName && capacity > 0) buffer[capacity - 1] = '\0';
        }

        const bool ok =
            ReplaceFileNameInPath(buffer.get(), capacity, length, kFileName, doubleByte ? IsCp932LeadByte : nullptr);

        const std::size_t separator = LastSeparator(name, length, doubleByte);
        const bool whole = length > 0 && length < capacity;
        const bool fits = separator != std::string::npos && separator + 1 + sizeof kFileName <= capacity;
        FUZZ_CHECK(ok == (whole && fits));
        if (ok) {
            const std::string expected = name.substr(0, separator + 1) + kFileName;
            FUZZ_CHECK(std::memcmp(buffer.get(), expected.c_str(), expected.size() + 1) == 0);
        } else if (capacity > 0) {
            FUZZ_CHECK(buffer[0] == '\0');
        }
    }
    return 0;
}
