// Reading and writing image files for the command-line tool, through
// libvips.  Reading happens in two steps so that everything that can be
// checked is checked before any pixel is decoded: OpenImage reads only the
// header (format, size, orientation, metadata); DecodeImage then decodes the
// pixels as 8-bit sRGB with alpha in the engine's layout.  Damaged or
// truncated data fails the decode instead of yielding altered pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "shear/pixel.h"

typedef struct _VipsImage VipsImage;

namespace pgcli {

// Starts libvips once per process (later calls do nothing).  False when the
// library cannot start; `error` then says why.
bool StartImageLibrary(std::string* error);

// How many threads libvips and the PNG writer may use per image (default:
// one per processor).
void LimitLibraryThreads(int threads);

// A w x h image in the engine's pixel layout.
struct Image {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<PixelBGRA> pixels;
};

// Progress of a decode or an encode, 0..100.
using PercentCallback = std::function<void(int percent)>;

// An image file whose header has been read.  It owns libvips' view of the
// file; the pixels are decoded only by DecodeImage.
class OpenedImage {
public:
    OpenedImage() = default;
    ~OpenedImage();
    OpenedImage(OpenedImage&& other) noexcept;
    OpenedImage& operator=(OpenedImage&& other) noexcept;
    OpenedImage(const OpenedImage&) = delete;
    OpenedImage& operator=(const OpenedImage&) = delete;

    // Size once the file's orientation tag is applied.
    std::int64_t width() const { return width_; }
    std::int64_t height() const { return height_; }
    // The pipeline from the file to 8-bit sRGB RGBA, carrying the metadata
    // (ICC profile, EXIF, XMP, resolution) that the output keeps.
    VipsImage* prepared() const { return prepared_; }

    // Takes over `prepared` (one reference) and, for an image read from
    // memory, the bytes it reads from.
    void Reset(VipsImage* prepared, std::int64_t width, std::int64_t height, std::vector<std::uint8_t> bytes);

private:
    VipsImage* prepared_ = nullptr;
    std::int64_t width_ = 0;
    std::int64_t height_ = 0;
    std::vector<std::uint8_t> bytes_;  // the file's bytes when it was read from memory
};

// Reads the header of the file at `path` ("-" reads standard input, whole).
// A PNG is also checked from end to end here: a chunk with a wrong CRC or a
// stream cut short is refused before any pixel is decoded.
bool OpenImage(const std::string& path, OpenedImage* opened, std::string* error);

// The same for an image held in memory (copied).  `name` is how messages
// call it.
bool OpenImageBytes(const void* data, std::size_t size, const std::string& name, OpenedImage* opened,
                    std::string* error);

// Decodes the pixels.  Fails on damaged or truncated data.
bool DecodeImage(const OpenedImage& opened, const std::string& name, const PercentCallback& progress, Image* image,
                 std::string* error);

// Everything a fuzzer or another caller needs in one step: the bytes of an
// image file to pixels, refusing images of more than `maxPixels` pixels
// before decoding them.
bool LoadImageBytes(const void* data, std::size_t size, std::int64_t maxPixels, Image* image, std::string* error);

// Whether images can be written in the format that `suffix` (".png",
// ".jpg", ...) names.
bool CanWriteFormat(const std::string& suffix);

// Encodes `image` in the format `suffix` names and writes it to the file
// descriptor `fd` (not closed), with the metadata of `metadataFrom` (may be
// null).  PNG is 8-bit RGBA, compressed on every processor (see
// LimitLibraryThreads); formats without alpha drop it.  The image is taken
// by value because its pixels are turned into RGBA in place.
bool EncodeImage(Image image, const OpenedImage* metadataFrom, const std::string& suffix, int fd,
                 const PercentCallback& progress, std::string* error);

}  // namespace pgcli
