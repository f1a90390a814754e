#include "shear/profiles.h"

double ShearAmplitude(std::int32_t extent, std::int32_t dimension) {
    // Wrap-around 32-bit product, as the host-side arithmetic does; with
    // |dimension| <= 100 it never wraps for any image that fits in memory.
    const auto product =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(extent) * static_cast<std::uint32_t>(dimension));
    return static_cast<double>(product) * 0.01;
}

double ProfileBoth(std::int32_t index, double amplitude, std::int32_t count) {
    return ((index * amplitude) * 2.0) / count - amplitude;
}

double ProfileFirst(std::int32_t index, double amplitude, std::int32_t count) {
    return -(((count - index) * amplitude) / count);
}

double ProfileLast(std::int32_t index, double amplitude, std::int32_t count) { return -((index * amplitude) / count); }

const OffsetProfile OffsetProfiles[3] = {ProfileBoth, ProfileFirst, ProfileLast};
