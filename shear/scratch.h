// The scratch memory of one pass call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

#include "shear/pixel.h"

namespace shear_detail {

// One block of memory, 64-byte aligned, or none when the allocation fails
// (the pass then takes the plain per-pixel route).
class Scratch {
public:
    explicit Scratch(std::uint64_t bytes) {
        if (bytes + 64 <= static_cast<std::uint64_t>(static_cast<std::size_t>(-1) / 2)) {
            raw_ = new (std::nothrow) unsigned char[static_cast<std::size_t>(bytes) + 64];
        }
    }
    ~Scratch() { delete[] raw_; }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    bool Ok() const { return raw_ != nullptr; }
    // The block, starting at a 64-byte boundary.
    unsigned char* Aligned() const {
        const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(raw_);
        return raw_ + ((64 - address % 64) % 64);
    }

private:
    unsigned char* raw_ = nullptr;
};

// Aligned room for `pixels` pixels, rounded up to whole 64-byte blocks.
inline std::uint64_t PixelBytes(std::uint64_t pixels) { return (pixels * sizeof(PixelBGRA) + 63) / 64 * 64; }

}  // namespace shear_detail
