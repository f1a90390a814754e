// The bounded copy into the host's text buffers: exactly `length` bytes are
// written (none for 0 or below), the text's bytes first and zero bytes after
// it; the buffer is allocated at exactly `length` bytes, so a byte written
// past it stops the run.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz_input.h"
#include "plugin/text_copy.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::int32_t length = input.Flag() ? input.Int32() : input.InRange(-4, 300);
    const bool nullText = input.Byte() == 0xFF;
    const std::string text = UpToZero(input.Rest());

    // A length of 0 or below gets one guard byte that must stay as it is.
    const std::size_t bytes = length > 0 ? static_cast<std::size_t>(length) : 1;
    if (bytes > (1u << 16)) return 0;  // a host text buffer is not that large
    std::unique_ptr<char[]> buffer(new char[bytes]);
    std::memset(buffer.get(), '#', bytes);

    CopyBoundedText(buffer.get(), nullText ? nullptr : text.c_str(), length);

    if (length <= 0) {
        FUZZ_CHECK(buffer[0] == '#');
        return 0;
    }
    const std::string copied = nullText ? std::string() : text;
    for (std::size_t i = 0; i < bytes; ++i) {
        FUZZ_CHECK(buffer[i] == (i < copied.size() ? copied[i] : '\0'));
    }
    return 0;
}
