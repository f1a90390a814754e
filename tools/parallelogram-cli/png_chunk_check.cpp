#include "tools/parallelogram-cli/png_chunk_check.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace pgcli {

namespace {

const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

std::uint32_t BigEndian(const std::uint8_t* bytes) {
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) |
           std::uint32_t{bytes[3]};
}

// zlib's crc32 takes at most UINT_MAX bytes at a time.
std::uint32_t Crc(std::uint32_t crc, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const std::size_t piece = std::min<std::size_t>(size, 1u << 30);
        crc = static_cast<std::uint32_t>(::crc32(crc, data, static_cast<uInt>(piece)));
        data += piece;
        size -= piece;
    }
    return crc;
}

// A chunk's type as text for messages: damage may have left bytes there
// that are not letters.
std::string TypeName(const char* type) {
    std::string name(type, 4);
    for (char& c : name) {
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) c = '?';
    }
    return name;
}

}  // namespace

bool StartsWithPngSignature(const void* data, std::size_t size) {
    return size >= sizeof kSignature && std::memcmp(data, kSignature, sizeof kSignature) == 0;
}

void PngChunkCheck::Feed(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    while (size > 0 && problem_.empty() && stage_ != Stage::Done) {
        if (stage_ == Stage::Body) {
            const std::size_t piece = std::min<std::size_t>(size, remaining_);
            crc_ = Crc(crc_, bytes, piece);
            remaining_ -= static_cast<std::uint32_t>(piece);
            bytes += piece;
            size -= piece;
            if (remaining_ == 0) stage_ = Stage::Checksum;
            continue;
        }
        const std::size_t wanted = stage_ == Stage::Checksum ? 4 : 8;
        const std::size_t piece = std::min(size, wanted - filled_);
        std::memcpy(field_ + filled_, bytes, piece);
        filled_ += piece;
        bytes += piece;
        size -= piece;
        if (filled_ < wanted) continue;
        filled_ = 0;
        switch (stage_) {
            case Stage::Signature:
                if (std::memcmp(field_, kSignature, sizeof kSignature) != 0) problem_ = "not a PNG signature";
                stage_ = Stage::Header;
                break;
            case Stage::Header:
                remaining_ = BigEndian(field_);
                std::memcpy(type_, field_ + 4, 4);
                if (remaining_ > 0x7FFFFFFFu) {
                    problem_ = TypeName(type_) + ": chunk length out of range";
                    break;
                }
                crc_ = Crc(static_cast<std::uint32_t>(::crc32(0, Z_NULL, 0)), field_ + 4, 4);
                stage_ = remaining_ > 0 ? Stage::Body : Stage::Checksum;
                break;
            case Stage::Checksum:
                if (BigEndian(field_) != crc_) {
                    problem_ = TypeName(type_) + ": CRC error";
                    break;
                }
                stage_ = std::memcmp(type_, "IEND", 4) == 0 ? Stage::Done : Stage::Header;
                break;
            case Stage::Body:
            case Stage::Done:
                break;
        }
    }
}

std::string PngChunkCheck::Problem() const {
    if (!problem_.empty()) return problem_;
    switch (stage_) {
        case Stage::Done:
            return std::string();
        case Stage::Signature:
            return "not a PNG signature";
        case Stage::Header:
            if (filled_ == 0) return "ends before the IEND chunk";
            return "ends inside a chunk header";
        case Stage::Body:
        case Stage::Checksum:
            break;
    }
    return "ends inside the " + TypeName(type_) + " chunk";
}

std::string PngChunkProblem(const void* data, std::size_t size) {
    PngChunkCheck check;
    check.Feed(data, size);
    return check.Problem();
}

}  // namespace pgcli
