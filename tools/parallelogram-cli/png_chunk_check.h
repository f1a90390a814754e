// Checks the chunk structure of a PNG stream: every chunk's CRC, and that
// the stream reaches its IEND chunk.  The PNG decoder only warns about a
// damaged ancillary chunk and may finish producing rows before it reads the
// last chunks, so without this check such damage could pass unnoticed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace pgcli {

// Whether `data` starts with the 8-byte PNG signature.
bool StartsWithPngSignature(const void* data, std::size_t size);

// Fed the stream in pieces of any size, from its first byte (the signature)
// on.  Bytes after IEND are ignored.
class PngChunkCheck {
public:
    void Feed(const void* data, std::size_t size);
    // Once every byte has been fed: empty when the chunks are sound, else
    // what is wrong ("IDAT: CRC error", ...).
    std::string Problem() const;

private:
    enum class Stage { Signature, Header, Body, Checksum, Done };

    Stage stage_ = Stage::Signature;
    std::uint8_t field_[8] = {};  // the signature, a chunk header or a CRC being gathered
    std::size_t filled_ = 0;
    std::uint32_t remaining_ = 0;  // bytes of the chunk's data still to come
    char type_[4] = {};
    std::uint32_t crc_ = 0;
    std::string problem_;
};

// The problem PngChunkCheck finds in a whole PNG held in memory.
std::string PngChunkProblem(const void* data, std::size_t size);

}  // namespace pgcli
