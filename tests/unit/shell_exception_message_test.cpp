// The text of the box shown when a settings dialog throws.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "plugin/exception_message.h"

namespace {

// Any fixed message will do (the plug-in's own is checked through the DLL
// under Wine); this one ends in a double-byte character of code page 932.
const std::string kFixed = "fixed message\nsecond line \x82\xa0";
// What is left of the 511 bytes for the exception's text.
const std::size_t kRoom = kExceptionMessageCapacity - 1 - kFixed.size() - 2;

std::string Compose(const char* what) {
    char buffer[kExceptionMessageCapacity];
    std::memset(buffer, '#', sizeof buffer);
    ComposeExceptionMessage(buffer, sizeof buffer, kFixed.c_str(), what);
    return std::string(buffer);
}

TEST(ComposeExceptionMessage, JoinsFixedMessageAndTextWithTwoLineBreaks) {
    EXPECT_EQ(Compose("abc"), kFixed + "\n\nabc");
}

TEST(ComposeExceptionMessage, NullTextGivesFixedMessageAlone) { EXPECT_EQ(Compose(nullptr), kFixed); }

struct CutCase {
    const char* name;
    std::string what;
    std::size_t keptBytes;  // of `what`
};

class ComposeCutTest : public ::testing::TestWithParam<CutCase> {};

TEST_P(ComposeCutTest, KeepsWholeCharactersWithinCapacity) {
    const CutCase& c = GetParam();
    const std::string text = Compose(c.what.c_str());
    EXPECT_LE(text.size(), kExceptionMessageCapacity - 1);
    EXPECT_EQ(text, kFixed + "\n\n" + c.what.substr(0, c.keptBytes));
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, ComposeCutTest,
    ::testing::Values(CutCase{"FillsTheRoomExactly", std::string(kRoom, 'a'), kRoom},
                      CutCase{"Longer", std::string(900, 'b'), kRoom},
                      // A double-byte character whose second byte is the last that fits.
                      CutCase{"DoubleByteEndsAtLimit", std::string(kRoom - 2, 'c') + "\x83\x5c" + "d", kRoom},
                      // A double-byte character that would cross the limit is left out whole.
                      CutCase{"DoubleByteAcrossLimit", std::string(kRoom - 1, 'e') + "\x83\x5c" + "f", kRoom - 1},
                      CutCase{"AllDoubleByte",
                              [] {
                                  std::string s;
                                  for (int i = 0; i < 300; ++i) s += "\x82\xa0";
                                  return s;
                              }(),
                              kRoom - kRoom % 2}),
    [](const ::testing::TestParamInfo<CutCase>& info) { return info.param.name; });

// Capacities too small for the fixed message or the line breaks: the result
// is the longest prefix of the full message that fits without splitting a
// double-byte character, so a cut-off fixed message is never followed by a
// line break.
struct SmallCapacityCase {
    const char* name;
    std::size_t capacity;
    std::string fixed;
    const char* what;
    std::string expected;
};

const std::string kLeadAt41 = std::string(41, 'a') + "\x82\xa0" + "bc";

class ComposeSmallCapacityTest : public ::testing::TestWithParam<SmallCapacityCase> {};

TEST_P(ComposeSmallCapacityTest, GivesPrefixOfFullMessage) {
    const SmallCapacityCase& c = GetParam();
    std::string buffer(c.capacity + 4, '#');
    ComposeExceptionMessage(&buffer[0], c.capacity, c.fixed.c_str(), c.what);
    EXPECT_EQ(buffer.substr(c.capacity), "####");
    EXPECT_EQ(std::string(buffer.c_str()), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Capacities, ComposeSmallCapacityTest,
    ::testing::Values(SmallCapacityCase{"SingleByteFixedCut", 4, "abcdef", "x", "abc"},
                      // Two double-byte characters and a byte: not even the first fits.
                      SmallCapacityCase{"FirstCharacterTooWide", 2, "\x96\x96\x96\x96\x01", "", ""},
                      // Room for 42 bytes of a 45-byte fixed text whose byte 41 starts a
                      // double-byte character: the text stops before it and the line
                      // breaks must not follow.
                      SmallCapacityCase{"FixedCutBeforeDoubleByte", 43, kLeadAt41, "\xce", kLeadAt41.substr(0, 41)},
                      SmallCapacityCase{"OneLineBreakFits", 47, kLeadAt41, "abc", kLeadAt41 + "\n"},
                      SmallCapacityCase{"NoTextAfterLineBreaks", 48, kLeadAt41, "abc", kLeadAt41 + "\n\n"},
                      SmallCapacityCase{"CapacityOneIsEmpty", 1, "abc", "x", ""}),
    [](const ::testing::TestParamInfo<SmallCapacityCase>& info) { return info.param.name; });

TEST(IsCp932LeadByte, RecognisesTheTwoLeadRanges) {
    for (int b : {0x81, 0x9f, 0xe0, 0xfc}) EXPECT_TRUE(IsCp932LeadByte(static_cast<unsigned char>(b))) << b;
    for (int b : {0x00, 0x5c, 0x80, 0xa0, 0xdf, 0xfd})
        EXPECT_FALSE(IsCp932LeadByte(static_cast<unsigned char>(b))) << b;
}

}  // namespace
