// The scratch memory of one pass call.
#pragma once

#include <cstddef>
#include <cstdint>

#include "shear/pixel.h"

namespace shear_detail {

// One block of memory, 64-byte aligned, or none when the allocation fails
// (the pass then takes the plain per-pixel route).
//
// The block a pass releases is kept for the next pass to take, when it is
// not larger than kKeptScratchBytes: each page of fresh memory costs a fault
// on first touch, and some heaps (Wine's, for one) give large blocks back to
// the system as soon as they are freed, so that every pass would fault its
// whole block in again.  One block is kept at a time; passes on other
// threads meanwhile allocate their own.
class Scratch {
public:
    explicit Scratch(std::uint64_t bytes);
    ~Scratch();
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    bool Ok() const { return block_ != nullptr; }
    // The block, starting at a 64-byte boundary.
    unsigned char* Aligned() const;

private:
    unsigned char* block_ = nullptr;
};

// The largest block kept from one pass to the next.
constexpr std::uint64_t kKeptScratchBytes = std::uint64_t{16} << 20;

// Aligned room for `pixels` pixels, rounded up to whole 64-byte blocks.
inline std::uint64_t PixelBytes(std::uint64_t pixels) { return (pixels * sizeof(PixelBGRA) + 63) / 64 * 64; }

}  // namespace shear_detail
