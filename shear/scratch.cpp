#include "shear/scratch.h"

#include <atomic>
#include <cstring>
#include <new>

namespace shear_detail {
namespace {

// A block starts with its usable size; the aligned room follows the header.
constexpr std::size_t kHeader = 64;

std::size_t BlockBytes(const unsigned char* block) {
    std::size_t bytes;
    std::memcpy(&bytes, block, sizeof bytes);
    return bytes;
}

// The block kept from the last pass, if any; freed when the program (or the
// plug-in's module) ends.
struct KeptBlock {
    std::atomic<unsigned char*> block{nullptr};
    ~KeptBlock() { delete[] block.exchange(nullptr); }
};
KeptBlock kept;

}  // namespace

Scratch::Scratch(std::uint64_t bytes) {
    // Room for the header and for moving the start to a 64-byte boundary.
    if (bytes > static_cast<std::uint64_t>(static_cast<std::size_t>(-1) / 2) - 2 * kHeader) return;
    unsigned char* block = kept.block.exchange(nullptr);
    if (block != nullptr && BlockBytes(block) >= bytes) {
        block_ = block;
        return;
    }
    delete[] block;
    block_ = new (std::nothrow) unsigned char[static_cast<std::size_t>(bytes) + 2 * kHeader];
    if (block_ != nullptr) {
        const std::size_t size = static_cast<std::size_t>(bytes);
        std::memcpy(block_, &size, sizeof size);
    }
}

Scratch::~Scratch() {
    if (block_ == nullptr) return;
    if (BlockBytes(block_) > kKeptScratchBytes) {
        delete[] block_;
        return;
    }
    delete[] kept.block.exchange(block_);
}

unsigned char* Scratch::Aligned() const {
    unsigned char* room = block_ + kHeader;
    const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(room);
    return room + ((64 - address % 64) % 64);
}

}  // namespace shear_detail
