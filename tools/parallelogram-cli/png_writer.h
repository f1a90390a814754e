// An 8-bit RGBA PNG encoder that deflates horizontal bands of the image on
// several threads at once.  Each band is filtered with "up" and compressed
// with run-length matches as a raw deflate stream that ends on a byte boundary (a sync
// flush), so the bands, joined in order under one zlib header and one
// Adler-32 checksum, form the single stream PNG requires.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace pgcli {

struct PngParts {
    // Whole chunks (length, type, data, CRC) to place after the header, such
    // as a colour profile or a resolution; empty for none.
    std::string extraChunks;
    int threads = 1;
    // Uncompressed bytes per band: enough bands to share out evenly, each
    // long enough that starting its compression afresh costs nothing
    // measurable.
    std::size_t bandBytes = 4u << 20;
    // Called with 0..100 as bands finish (from any thread, one at a time).
    std::function<void(int percent)> progress;
};

// Writes the PNG of `rgba` (width x height x 4 bytes) through `write`, which
// returns false on failure (with `error` set by the caller's message).
bool WriteRgbaPng(const std::uint8_t* rgba, std::int32_t width, std::int32_t height, const PngParts& parts,
                  const std::function<bool(const void* data, std::size_t size)>& write, std::string* error);

// The chunks of a PNG file other than those that describe the pixels
// themselves (IHDR, PLTE, tRNS, IDAT, IEND), in order.
std::string AncillaryChunks(const void* png, std::size_t size);

}  // namespace pgcli
