#include "shear/shear_line.h"

#include <algorithm>
#include <cstring>

#include "shear/streaming.h"

namespace shear_detail {
namespace {

std::uint32_t ToBits(const PixelBGRA& pixel) {
    std::uint32_t bits;
    std::memcpy(&bits, &pixel, sizeof bits);
    return bits;
}

PixelBGRA FromBits(std::uint32_t bits) {
    PixelBGRA pixel;
    std::memcpy(&pixel, &bits, sizeof pixel);
    return pixel;
}

void FillRun(PixelBGRA* out, std::int32_t count, std::uint32_t bits) {
    const PixelBGRA pixel = FromBits(bits);
    std::fill(out, out + count, pixel);
}

}  // namespace

bool OutsideMap(UndefinedAreaMode mode, bool before, PositionMap& map) {
    if (mode == UndefinedAreaMode::Repeat) {
        map = before ? PositionMap::AddLength : PositionMap::SubtractLength;
        return true;
    }
    if (mode == UndefinedAreaMode::Fold) {
        map = before ? PositionMap::MirrorBefore : PositionMap::MirrorAfter;
        return true;
    }
    return false;
}

void ConstantOutsideRun(const Line& line, const UndefinedAreaPolicy& policy, bool before, std::int32_t from,
                        std::int32_t to, std::uint32_t keep) {
    PixelBGRA* out = line.out + (from - line.from);
    switch (static_cast<UndefinedAreaMode>(policy.mode)) {
        case UndefinedAreaMode::EdgePixel:
            FillRun(out, to - from, ToBits(line.in[before ? 0 : line.n - 1]) & keep);
            return;
        case UndefinedAreaMode::OriginalPixel:
            for (std::int32_t c = from; c < to; ++c) out[c - from] = FromBits(ToBits(line.in[c]) & keep);
            return;
        default:  // DrawingColour, BackgroundColour
            FillRun(out, to - from, ToBits(policy.fill) & keep);
            return;
    }
}

UndefinedAreaPolicy SanePolicy(const UndefinedAreaPolicy& policy) {
    UndefinedAreaPolicy sane = policy;
    if (!IsValidUndefinedAreaMode(sane.mode)) sane.mode = ValueOf(UndefinedAreaMode::EdgePixel);
    return sane;
}

void ReportLine(const ProgressSink& sink, std::int32_t line, std::int32_t count) {
    if (sink.callback != nullptr) {
        FinishStreaming();
        // 64-bit product: the 32-bit one would overflow past 214748 lines.
        const auto done = static_cast<std::int32_t>(static_cast<std::int64_t>(line) * kProgressTotal / count);
        sink.callback(done, kProgressTotal, sink.userData);
    }
}

}  // namespace shear_detail
