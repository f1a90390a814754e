// The dimension edit's parser against a statement of its rule of its own: a
// text is a dimension exactly when it is the usual decimal spelling of a
// whole number from -100 to 100 (as std::to_string writes it).
#include <cstdint>
#include <string>

#include "fuzz_input.h"
#include "ui/dimension_text.h"

namespace {

// The value whose decimal spelling is `text`, if there is one in range.
bool SpelledDimension(const std::string& text, std::int32_t* value) {
    for (std::int32_t v = kDimensionMin; v <= kDimensionMax; ++v) {
        if (text == std::to_string(v)) {
            *value = v;
            return true;
        }
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::string text = UpToZero(input.Rest());

    constexpr std::int32_t kUntouched = 12345;
    std::int32_t parsed = kUntouched;
    std::int32_t expected = 0;
    const bool accepted = ParseDimensionText(text.c_str(), &parsed);
    const bool valid = SpelledDimension(text, &expected);

    FUZZ_CHECK(accepted == valid);
    // A refused text leaves the caller's value alone.
    FUZZ_CHECK(parsed == (valid ? expected : kUntouched));
    return 0;
}
