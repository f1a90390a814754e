#include <gtest/gtest.h>

#include "case_names.h"

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>

#include "ui/dimension_text.h"

namespace {

struct TextCase {
    const char* text;
    bool accepted;
    std::int32_t value;
};

class DimensionTextTable : public testing::TestWithParam<TextCase> {};

TEST_P(DimensionTextTable, AcceptsOnlyCanonicalTextsInRange) {
    const TextCase& c = GetParam();
    std::int32_t value = 12345;
    EXPECT_EQ(ParseDimensionText(c.text, &value), c.accepted) << '"' << c.text << '"';
    EXPECT_EQ(value, c.accepted ? c.value : 12345) << "a refused text leaves the value alone";
}

INSTANTIATE_TEST_SUITE_P(Texts, DimensionTextTable,
                         testing::Values(TextCase{"0", true, 0}, TextCase{"7", true, 7}, TextCase{"-35", true, -35},
                                         TextCase{"100", true, 100}, TextCase{"-100", true, -100},
                                         TextCase{"", false, 0}, TextCase{"-", false, 0}, TextCase{"00", false, 0},
                                         TextCase{"05", false, 0}, TextCase{"-0", false, 0}, TextCase{"-05", false, 0},
                                         TextCase{"101", false, 0}, TextCase{"-101", false, 0},
                                         TextCase{"1000", false, 0}, TextCase{"0000000001", false, 0},
                                         TextCase{"4294967296", false, 0}, TextCase{"99999999999999", false, 0},
                                         TextCase{" 5", false, 0}, TextCase{"5 ", false, 0}, TextCase{"+5", false, 0},
                                         TextCase{"--5", false, 0}, TextCase{"5-", false, 0}, TextCase{"12a", false, 0},
                                         TextCase{"\xef\xbc\x95", false, 0} /* full-width 5 */),
                         [](const testing::TestParamInfo<TextCase>& info) {
                             return "Text_" + TextName(info.param.text);
                         });

TEST(DimensionText, NullIsRefused) {
    std::int32_t value = 1;
    EXPECT_FALSE(ParseDimensionText(nullptr, &value));
}

TEST(DimensionText, AcceptsExactlyTheCanonicalTextOfEveryValueInRange) {
    for (int v = -100; v <= 100; ++v) {
        char text[8];
        std::snprintf(text, sizeof text, "%d", v);
        std::int32_t value = 9999;
        ASSERT_TRUE(ParseDimensionText(text, &value)) << text;
        EXPECT_EQ(value, v);
    }
}

// Random texts over an alphabet that makes near-misses likely: whatever the
// parser accepts must print back as itself and lie in range, and the only
// accepted texts are the canonical ones.
TEST(DimensionText, RandomTextsAreAcceptedOnlyWhenCanonical) {
    std::mt19937 random(20240611u);
    const std::string alphabet = "0123456789-+ a\x81";
    int accepted = 0;
    for (int round = 0; round < 200000; ++round) {
        std::string text;
        const int length = static_cast<int>(random() % 15);  // the edit is read with 14 characters
        for (int i = 0; i < length; ++i) {
            // Mostly digits, so that in-range values turn up often.
            const std::size_t pick = random() % 4 == 0 ? random() % alphabet.size() : random() % 10;
            text += alphabet[pick];
        }
        std::int32_t value = 7777;
        const bool ok = ParseDimensionText(text.c_str(), &value);
        long long parsed = 0;
        char canonical[32] = "";
        int consumed = 0;
        const bool looksNumeric = std::sscanf(text.c_str(), "%lld%n", &parsed, &consumed) == 1 &&
                                  consumed == static_cast<int>(text.size()) && text.size() <= 18;
        if (looksNumeric) std::snprintf(canonical, sizeof canonical, "%lld", parsed);
        const bool expected = looksNumeric && text == canonical && parsed >= -100 && parsed <= 100;
        ASSERT_EQ(ok, expected) << '"' << text << '"';
        if (ok) {
            ++accepted;
            EXPECT_EQ(value, parsed);
        } else {
            EXPECT_EQ(value, 7777);
        }
    }
    EXPECT_GT(accepted, 100) << "the generator should reach the accepting side too";
}

}  // namespace
