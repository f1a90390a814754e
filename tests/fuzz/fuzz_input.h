// What every fuzzer shares: reading values and pixels from the fuzzer's
// bytes, and a check that stops the run with a message.
//
// Values are taken from the front of the input in a plain, documented way
// (little-endian, modulo the range), so that a seed can be written by hand
// with printf and a crash input read back without tools.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "shear/pixel.h"

// Stops the run when `condition` is false; libFuzzer then keeps the input.
#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (false)

class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::size_t Remaining() const { return size_ - used_; }

    // The next byte; 0 once the input is used up.
    std::uint8_t Byte() { return used_ < size_ ? data_[used_++] : 0; }

    bool Flag() { return (Byte() & 1) != 0; }

    // Four bytes, little-endian.
    std::int32_t Int32() {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(Byte()) << (8 * i);
        return static_cast<std::int32_t>(value);
    }

    // lo + (v mod (hi - lo + 1)), v little-endian from as many bytes as the
    // range needs: one byte up to 256 values, two up to 65536, else four.
    std::int32_t InRange(std::int32_t lo, std::int32_t hi) {
        const std::uint64_t span = static_cast<std::uint64_t>(static_cast<std::int64_t>(hi) - lo) + 1;
        const int bytes = span <= 0x100 ? 1 : span <= 0x10000 ? 2 : 4;
        std::uint64_t value = 0;
        for (int i = 0; i < bytes; ++i) value |= static_cast<std::uint64_t>(Byte()) << (8 * i);
        return static_cast<std::int32_t>(static_cast<std::int64_t>(lo) + static_cast<std::int64_t>(value % span));
    }

    // A length byte taken modulo maxLength + 1 (so never above 255), then
    // that many bytes, fewer when the input runs out.
    std::string Text(std::size_t maxLength) {
        const std::size_t length = Byte() % (maxLength + 1);
        return Bytes(length);
    }

    // Everything that is left.
    std::string Rest() { return Bytes(Remaining()); }

private:
    std::string Bytes(std::size_t count) {
        if (count > Remaining()) count = Remaining();
        std::string out(reinterpret_cast<const char*>(data_ + used_), count);
        used_ += count;
        return out;
    }

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t used_ = 0;
};

// The bytes up to the first zero byte: what a C string made of them holds.
inline std::string UpToZero(const std::string& bytes) { return bytes.substr(0, bytes.find('\0')); }

// Fills `pixels` from the input, four bytes (blue, green, red, alpha) a
// pixel; once the input runs out, with a fixed scramble of each index.
inline void ReadPixels(FuzzInput& input, std::vector<PixelBGRA>& pixels) {
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        if (input.Remaining() >= 4) {
            pixels[i] = PixelBGRA{input.Byte(), input.Byte(), input.Byte(), input.Byte()};
        } else {
            const std::uint32_t v = static_cast<std::uint32_t>(i) * 2654435761u;
            pixels[i] = PixelBGRA{static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
                                  static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
        }
    }
}
