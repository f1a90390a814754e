// The text of the box shown when a settings dialog throws, at every capacity
// the input picks: the output is always terminated inside the capacity (the
// buffer is allocated at exactly that size), it is a prefix of the full
// message "<fixed>\n\n<what>", it never ends inside a double-byte character,
// and it is the longest such prefix that fits.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "plugin/exception_message.h"

namespace {

// The fixed message the plug-in shows, in code page 932 (55 bytes).
const unsigned char kFixedMessage[] = {
    0x90, 0xdd, 0x92, 0xe8, 0x83, 0x5f, 0x83, 0x43, 0x83, 0x41, 0x83, 0x8d, 0x83, 0x4f, 0x82, 0xc5, 0x97, 0xe1, 0x8a,
    0x4f, 0x82, 0xaa, 0x94, 0xad, 0x90, 0xb6, 0x82, 0xb5, 0x82, 0xdc, 0x82, 0xb5, 0x82, 0xbd, 0x81, 0x42, '\n', 0x8f,
    0x88, 0x97, 0x9d, 0x82, 0xf0, 0x92, 0x86, 0x92, 0x66, 0x82, 0xb5, 0x82, 0xdc, 0x82, 0xb7, 0x81, 0x42, 0x00};

bool StartsDoubleByte(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

// Appends the text to `message` and the offsets where each of its characters
// ends to `ends`; a lead byte with nothing after it in its text stands alone.
void AppendCharacters(const std::string& text, std::string& message, std::vector<std::size_t>& ends) {
    const std::size_t base = message.size();
    std::size_t i = 0;
    while (i < text.size()) {
        i += StartsDoubleByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
        ends.push_back(base + i);
    }
    message += text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::size_t capacity = static_cast<std::size_t>(input.InRange(0, 600));
    const std::uint8_t choice = input.Byte();
    const bool realFixed = (choice & 1) != 0;
    const bool nullFixed = !realFixed && (choice & 2) != 0;
    const bool nullWhat = (choice & 4) != 0;
    const std::string fixedText =
        realFixed ? std::string(reinterpret_cast<const char*>(kFixedMessage)) : UpToZero(input.Text(80));
    const std::string what = UpToZero(input.Rest());

    // The full message and every place where it may be cut.
    std::string message;
    std::vector<std::size_t> ends{0};
    if (!nullFixed) AppendCharacters(fixedText, message, ends);
    if (!nullWhat) {
        AppendCharacters("\n\n", message, ends);
        AppendCharacters(what, message, ends);
    }

    const std::size_t bytes = capacity > 0 ? capacity : 1;
    std::unique_ptr<char[]> buffer(new char[bytes]);
    std::memset(buffer.get(), '#', bytes);
    ComposeExceptionMessage(buffer.get(), capacity, nullFixed ? nullptr : fixedText.c_str(),
                            nullWhat ? nullptr : what.c_str());

    if (capacity == 0) {
        FUZZ_CHECK(buffer[0] == '#');
        return 0;
    }
    std::size_t expectedLength = 0;
    for (const std::size_t end : ends) {
        if (end <= capacity - 1) expectedLength = end;
    }
    const void* terminator = std::memchr(buffer.get(), '\0', capacity);
    FUZZ_CHECK(terminator != nullptr);
    const std::size_t length = static_cast<std::size_t>(static_cast<const char*>(terminator) - buffer.get());
    FUZZ_CHECK(length == expectedLength);
    FUZZ_CHECK(message.compare(0, length, buffer.get(), length) == 0);
    return 0;
}
