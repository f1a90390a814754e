#include "host/host_image.h"

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include "stb_image.h"
#include "stb_image_write.h"

#include <cstring>

#include "programs/rgba_pixels.h"
#include <memory>

namespace {

using StbPixels = std::unique_ptr<stbi_uc, void (*)(void*)>;

std::string Reason() {
    const char* reason = stbi_failure_reason();
    return reason != nullptr ? reason : "unknown reason";
}

}  // namespace

bool LoadImageFile(const std::string& path, HostImage& image, std::string& error) {
    int width = 0, height = 0, channels = 0;
    StbPixels rgba(stbi_load(path.c_str(), &width, &height, &channels, 4), stbi_image_free);
    if (!rgba) {
        error = "cannot read the image '" + path + "': " + Reason();
        return false;
    }
    image.width = width;
    image.height = height;
    image.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    programs::PixelsFromRgba(rgba.get(), image.pixels.size(), image.pixels.data());
    return true;
}

bool LoadMaskFile(const std::string& path, std::int32_t width, std::int32_t height, std::vector<std::uint8_t>& mask,
                  std::string& error) {
    int maskWidth = 0, maskHeight = 0, channels = 0;
    StbPixels grey(stbi_load(path.c_str(), &maskWidth, &maskHeight, &channels, 1), stbi_image_free);
    if (!grey) {
        error = "cannot read the mask '" + path + "': " + Reason();
        return false;
    }
    if (maskWidth != width || maskHeight != height) {
        error = "the mask '" + path + "' is " + std::to_string(maskWidth) + "x" + std::to_string(maskHeight) +
                ", the image " + std::to_string(width) + "x" + std::to_string(height);
        return false;
    }
    mask.assign(grey.get(), grey.get() + static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    return true;
}

bool WritePngFile(const std::string& path, const HostImage& image, std::string& error) {
    std::vector<stbi_uc> rgba(image.pixels.size() * 4);
    programs::RgbaFromPixels(image.pixels.data(), image.pixels.size(), rgba.data());
    if (stbi_write_png(path.c_str(), image.width, image.height, 4, rgba.data(), image.width * 4) == 0) {
        error = "cannot write '" + path + "'";
        return false;
    }
    return true;
}
