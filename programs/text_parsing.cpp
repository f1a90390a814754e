#include "programs/text_parsing.h"

#include <cstdint>

namespace programs {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

bool ParseInteger(const std::string& text, std::int64_t low, std::int64_t high, std::int64_t* value) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return false;
    std::int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > (std::int64_t{1} << 53)) return false;  // far beyond any range the programs accept
    }
    const std::int64_t result = negative ? -magnitude : magnitude;
    if (result < low || result > high) return false;
    *value = result;
    return true;
}

bool ParseColour(const std::string& text, PixelBGRA* colour) {
    if ((text.size() != 7 && text.size() != 9) || text[0] != '#') return false;
    std::uint8_t bytes[4] = {0, 0, 0, 255};  // red, green, blue, alpha
    for (std::size_t k = 0; k * 2 + 1 < text.size(); ++k) {
        const int high = HexDigit(text[1 + k * 2]);
        const int low = HexDigit(text[2 + k * 2]);
        if (high < 0 || low < 0) return false;
        bytes[k] = static_cast<std::uint8_t>(high * 16 + low);
    }
    *colour = PixelBGRA{bytes[2], bytes[1], bytes[0], bytes[3]};
    return true;
}

bool ParseRect(const std::string& text, ProcessRect* rect) {
    std::int64_t values[4];
    std::size_t start = 0;
    for (int k = 0; k < 4; ++k) {
        const std::size_t comma = text.find(',', start);
        const bool last = k == 3;
        if (last != (comma == std::string::npos)) return false;
        const std::string part = text.substr(start, last ? std::string::npos : comma - start);
        if (!ParseInteger(part, INT32_MIN, INT32_MAX, &values[k])) return false;
        start = comma + 1;
    }
    if (values[0] > values[2] || values[1] > values[3]) return false;
    *rect = ProcessRect{static_cast<std::int32_t>(values[0]), static_cast<std::int32_t>(values[1]),
                        static_cast<std::int32_t>(values[2]), static_cast<std::int32_t>(values[3])};
    return true;
}

bool RectInsideImage(const ProcessRect& rect, std::int64_t width, std::int64_t height) {
    return rect.left >= 0 && rect.top >= 0 && rect.left <= rect.right && rect.top <= rect.bottom &&
           rect.right <= width && rect.bottom <= height;
}

std::string RectText(const ProcessRect& rect) {
    return std::to_string(rect.left) + "," + std::to_string(rect.top) + "," + std::to_string(rect.right) + "," +
           std::to_string(rect.bottom);
}

}  // namespace programs
