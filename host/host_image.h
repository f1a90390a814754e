// Reading and writing the host's images.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "shear/pixel.h"

struct HostImage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<PixelBGRA> pixels;  // rows top to bottom, stride width
};

// Any format stb_image reads, as 32-bit pixels.
bool LoadImageFile(const std::string& path, HostImage& image, std::string& error);

// A selection mask: the grey value of each pixel becomes the mask byte; the
// image must have the given size.
bool LoadMaskFile(const std::string& path, std::int32_t width, std::int32_t height, std::vector<std::uint8_t>& mask,
                  std::string& error);

// An 8-bit RGBA PNG.
bool WritePngFile(const std::string& path, const HostImage& image, std::string& error);
