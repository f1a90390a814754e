// The command-line tool's image loading: any bytes, as a damaged or hostile
// file would be, give either an image whose pixel buffer matches its size and
// stays within the pixel limit, or a one-line error; never a crash, a read
// outside the input or a hang on a huge claimed size.
#include <cstdint>
#include <string>

#include "fuzz_input.h"
#include "tools/parallelogram-cli/image_io.h"

namespace {

// Small enough that a header claiming a large image is refused before its
// pixels are decoded, as the tool's own limit does for real files.
constexpr std::int64_t kMaxPixels = 1 << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    pgcli::Image image;
    std::string error;
    if (pgcli::LoadImageBytes(data, size, kMaxPixels, &image, &error)) {
        FUZZ_CHECK(error.empty());
        FUZZ_CHECK(image.width > 0 && image.height > 0);
        FUZZ_CHECK(static_cast<std::int64_t>(image.width) * image.height <= kMaxPixels);
        FUZZ_CHECK(image.pixels.size() == static_cast<std::size_t>(image.width) * image.height);
    } else {
        FUZZ_CHECK(!error.empty());
        FUZZ_CHECK(error.find('\n') == std::string::npos);
    }
    return 0;
}
