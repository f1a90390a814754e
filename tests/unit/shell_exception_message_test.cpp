// The text of the box shown when a settings dialog throws.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "plugin/exception_message.h"

namespace {

// The fixed message as the plug-in holds it: 55 bytes in code page 932.
const std::string kFixedCp932 = [] {
    std::string s;
    // 設定ダイアログで例外が発生しました。 (18 characters) + "\n" + 処理を中断します。 (9)
    const unsigned char bytes[] = {
        0x90, 0xdd, 0x92, 0xe8, 0x83, 0x5f, 0x83, 0x43, 0x83, 0x41, 0x83, 0x8d, 0x83, 0x4f,
        0x82, 0xc5, 0x97, 0xe1, 0x8a, 0x4f, 0x82, 0xaa, 0x94, 0xad, 0x90, 0xb6, 0x82, 0xb5,
        0x82, 0xdc, 0x82, 0xb5, 0x82, 0xbd, 0x81, 0x42, '\n', 0x8f, 0x88, 0x97, 0x9d, 0x82,
        0xf0, 0x92, 0x86, 0x92, 0x66, 0x82, 0xb5, 0x82, 0xdc, 0x82, 0xb7, 0x81, 0x42};
    s.assign(reinterpret_cast<const char*>(bytes), sizeof bytes);
    return s;
}();

std::string Compose(const char* what) {
    char buffer[kExceptionMessageCapacity];
    std::memset(buffer, '#', sizeof buffer);
    ComposeExceptionMessage(buffer, sizeof buffer, kFixedCp932.c_str(), what);
    return std::string(buffer);
}

TEST(ComposeExceptionMessage, JoinsFixedMessageAndTextWithTwoLineBreaks) {
    ASSERT_EQ(kFixedCp932.size(), 55u);
    EXPECT_EQ(Compose("abc"), kFixedCp932 + "\n\nabc");
}

TEST(ComposeExceptionMessage, NullTextGivesFixedMessageAlone) {
    EXPECT_EQ(Compose(nullptr), kFixedCp932);
}

struct CutCase {
    const char* name;
    std::string what;
    std::size_t keptBytes;  // of `what`
};

class ComposeCutTest : public ::testing::TestWithParam<CutCase> {};

// 454 bytes remain for the text: 511 - 55 - 2.
TEST_P(ComposeCutTest, KeepsWholeCharactersWithinCapacity) {
    const CutCase& c = GetParam();
    const std::string text = Compose(c.what.c_str());
    EXPECT_LE(text.size(), kExceptionMessageCapacity - 1);
    EXPECT_EQ(text, kFixedCp932 + "\n\n" + c.what.substr(0, c.keptBytes));
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, ComposeCutTest,
    ::testing::Values(CutCase{"Exactly454", std::string(454, 'a'), 454},
                      CutCase{"Longer", std::string(900, 'b'), 454},
                      // 453 single bytes then a double-byte character: it fits exactly.
                      CutCase{"DoubleByteEndsAtLimit", std::string(452, 'c') + "\x83\x5c" + "d", 454},
                      // 453 single bytes, then a double-byte character that would cross the limit.
                      CutCase{"DoubleByteAcrossLimit", std::string(453, 'e') + "\x83\x5c" + "f", 453},
                      CutCase{"AllDoubleByte", [] {
                                  std::string s;
                                  for (int i = 0; i < 300; ++i) s += "\x82\xa0";
                                  return s;
                              }(), 454}),
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
    ::testing::Values(
        SmallCapacityCase{"SingleByteFixedCut", 4, "abcdef", "x", "abc"},
        // Two double-byte characters and a byte: not even the first fits.
        SmallCapacityCase{"FirstCharacterTooWide", 2, "\x96\x96\x96\x96\x01", "", ""},
        // Room for 41 bytes of the 55-byte message: it ends inside a character
        // at 42, the line breaks must not follow.
        SmallCapacityCase{"FixedCutBeforeDoubleByte", 43, kFixedCp932, "\xce", kFixedCp932.substr(0, 41)},
        SmallCapacityCase{"OneLineBreakFits", 57, kFixedCp932, "abc", kFixedCp932 + "\n"},
        SmallCapacityCase{"NoTextAfterLineBreaks", 58, kFixedCp932, "abc", kFixedCp932 + "\n\n"},
        SmallCapacityCase{"CapacityOneIsEmpty", 1, "abc", "x", ""}),
    [](const ::testing::TestParamInfo<SmallCapacityCase>& info) { return info.param.name; });

TEST(IsCp932LeadByte, RecognisesTheTwoLeadRanges) {
    for (int b : {0x81, 0x9f, 0xe0, 0xfc}) EXPECT_TRUE(IsCp932LeadByte(static_cast<unsigned char>(b))) << b;
    for (int b : {0x00, 0x5c, 0x80, 0xa0, 0xdf, 0xfd}) EXPECT_FALSE(IsCp932LeadByte(static_cast<unsigned char>(b))) << b;
}

}  // namespace
