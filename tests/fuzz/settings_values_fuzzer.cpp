// The settings values as read from the file, turned into the filter's
// parameters: a shape or mode outside 0..5 becomes 0, the rest is kept as
// read, the fill colour is never touched, and validation fails exactly for a
// dimension outside -100..100.
#include <cstdint>

#include "fuzz_input.h"
#include "settings/settings_values.h"

namespace {

std::int32_t ZeroUnlessZeroToFive(std::int32_t value) { return value >= 0 && value <= 5 ? value : 0; }

// Mostly values near the valid ranges, where the decisions are; now and then
// any 32-bit value.
std::int32_t ReadValue(FuzzInput& input) { return input.Flag() ? input.Int32() : input.InRange(-130, 130); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    RawSettingsValues raw;
    raw.shape = ReadValue(input);
    raw.dimension = ReadValue(input);
    raw.undefarea = ReadValue(input);
    raw.transparent = ReadValue(input);
    raw.preview = ReadValue(input);
    const bool validate = input.Flag();
    const PixelBGRA fill{input.Byte(), input.Byte(), input.Byte(), input.Byte()};

    ParallelogramSettings settings{};
    settings.policy.fill = fill;
    const bool result = ApplySettingsValues(raw, settings, validate);

    FUZZ_CHECK(settings.shape == ZeroUnlessZeroToFive(raw.shape));
    FUZZ_CHECK(settings.dimension == raw.dimension);
    FUZZ_CHECK(settings.policy.mode == ZeroUnlessZeroToFive(raw.undefarea));
    FUZZ_CHECK(settings.policy.transparent == raw.transparent);
    FUZZ_CHECK(settings.preview == raw.preview);
    FUZZ_CHECK(settings.policy.fill == fill);
    const bool dimensionValid = raw.dimension >= -100 && raw.dimension <= 100;
    FUZZ_CHECK(result == (!validate || dimensionValid));
    return 0;
}
