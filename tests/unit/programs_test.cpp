#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "programs/median.h"
#include "programs/progress_bar.h"
#include "programs/rgba_pixels.h"
#include "programs/text_parsing.h"

namespace {

// ---- Colour parser ----

struct ColourCase {
    const char* text;
    bool ok;
    PixelBGRA expected;  // blue, green, red, alpha
};

class ParseColourTest : public testing::TestWithParam<ColourCase> {};

TEST_P(ParseColourTest, ReadsRedGreenBlueAlpha) {
    const ColourCase& c = GetParam();
    PixelBGRA colour{7, 7, 7, 7};
    EXPECT_EQ(programs::ParseColour(c.text, &colour), c.ok) << c.text;
    const PixelBGRA unchanged{7, 7, 7, 7};
    EXPECT_EQ(colour, c.ok ? c.expected : unchanged) << c.text;
}

INSTANTIATE_TEST_SUITE_P(Cases, ParseColourTest,
                         testing::Values(ColourCase{"#11223344", true, {0x33, 0x22, 0x11, 0x44}},
                                         ColourCase{"#aBcDeF00", true, {0xEF, 0xCD, 0xAB, 0x00}},
                                         ColourCase{"#FF8000", true, {0x00, 0x80, 0xFF, 0xFF}},
                                         ColourCase{"#000000FF", true, {0, 0, 0, 255}}, ColourCase{"", false, {}},
                                         ColourCase{"#", false, {}}, ColourCase{"11223344", false, {}},
                                         ColourCase{"#1122334", false, {}}, ColourCase{"#112233445", false, {}},
                                         ColourCase{"#11 23344", false, {}}, ColourCase{"#-1223344", false, {}},
                                         ColourCase{"#11223x44", false, {}}));

// ---- Rectangle parser ----

struct RectCase {
    const char* text;
    bool ok;
    ProcessRect expected;
};

class ParseRectTest : public testing::TestWithParam<RectCase> {};

TEST_P(ParseRectTest, ReadsFourIntegersInOrder) {
    const RectCase& c = GetParam();
    ProcessRect rect{7, 7, 7, 7};
    EXPECT_EQ(programs::ParseRect(c.text, &rect), c.ok) << c.text;
    const ProcessRect expected = c.ok ? c.expected : ProcessRect{7, 7, 7, 7};
    EXPECT_EQ(rect.left, expected.left) << c.text;
    EXPECT_EQ(rect.top, expected.top) << c.text;
    EXPECT_EQ(rect.right, expected.right) << c.text;
    EXPECT_EQ(rect.bottom, expected.bottom) << c.text;
}

INSTANTIATE_TEST_SUITE_P(Cases, ParseRectTest,
                         testing::Values(RectCase{"1,2,3,4", true, {1, 2, 3, 4}},
                                         RectCase{"-5,-6,+7,8", true, {-5, -6, 7, 8}},
                                         RectCase{"3,0,3,0", true, {3, 0, 3, 0}},
                                         RectCase{"-2147483648,0,2147483647,1", true, {INT32_MIN, 0, INT32_MAX, 1}},
                                         // Inverted rectangles are refused, as are malformed ones.
                                         RectCase{"5,0,4,4", false, {}}, RectCase{"0,5,4,4", false, {}},
                                         RectCase{"0,0,4", false, {}}, RectCase{"0,0,4,4,4", false, {}},
                                         RectCase{"0,,4,4", false, {}}, RectCase{"0,0,4,4,", false, {}},
                                         RectCase{" 0,0,4,4", false, {}}, RectCase{"0,0,4,4 ", false, {}},
                                         RectCase{"0x1,0,4,4", false, {}}, RectCase{"0,0,2147483648,4", false, {}}));

TEST(RectInsideImage, RefusesEveryEdgeCrossed) {
    const struct {
        ProcessRect rect;
        bool inside;
    } cases[] = {{{0, 0, 9, 6}, true},   {{9, 6, 9, 6}, true},  {{-1, 0, 5, 5}, false}, {{0, -1, 5, 5}, false},
                 {{0, 0, 10, 6}, false}, {{0, 0, 9, 7}, false}, {{5, 0, 4, 6}, false},  {{20, 0, 20, 6}, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(programs::RectInsideImage(c.rect, 9, 6), c.inside) << programs::RectText(c.rect);
    }
}

// ---- Integer parser ----

TEST(ParseInteger, AcceptsOnlyPlainDecimalsInRange) {
    const struct {
        const char* text;
        bool ok;
        std::int64_t value;
    } cases[] = {{"0", true, 0},    {"-100", true, -100}, {"+100", true, 100}, {"101", false, 0},
                 {"", false, 0},    {"-", false, 0},      {" 5", false, 0},    {"5 ", false, 0},
                 {"1e2", false, 0}, {"0x10", false, 0},   {"2.5", false, 0},   {"99999999999999999999999", false, 0}};
    for (const auto& c : cases) {
        std::int64_t value = 42;
        EXPECT_EQ(programs::ParseInteger(c.text, -100, 100, &value), c.ok) << c.text;
        EXPECT_EQ(value, c.ok ? c.value : 42) << c.text;
    }
}

// ---- Pixels ----

TEST(RgbaPixels, SwapRedAndBlueBothWays) {
    const std::vector<std::uint8_t> rgba = {1, 2, 3, 4, 250, 251, 252, 253};
    std::vector<PixelBGRA> pixels(2);
    programs::PixelsFromRgba(rgba.data(), 2, pixels.data());
    EXPECT_EQ(pixels[0], (PixelBGRA{3, 2, 1, 4}));
    EXPECT_EQ(pixels[1], (PixelBGRA{252, 251, 250, 253}));
    std::vector<std::uint8_t> back(8);
    programs::RgbaFromPixels(pixels.data(), 2, back.data());
    EXPECT_EQ(back, rgba);
}

TEST(RgbaPixels, SwapInPlaceMatchesTheCopyingConversion) {
    const std::vector<std::uint8_t> rgba = {1, 2, 3, 4, 250, 251, 252, 253, 0, 128, 255, 9};
    std::vector<PixelBGRA> copied(3), swapped(3);
    programs::PixelsFromRgba(rgba.data(), 3, copied.data());
    std::memcpy(swapped.data(), rgba.data(), rgba.size());
    programs::SwapRedAndBlue(swapped.data(), 3);
    EXPECT_EQ(swapped, copied);
    programs::SwapRedAndBlue(swapped.data(), 3);
    EXPECT_EQ(std::memcmp(swapped.data(), rgba.data(), rgba.size()), 0);
}

// ---- Progress bar and median ----

TEST(ProgressBarText, FillsCellsByWholePercent) {
    const struct {
        std::int64_t done, total;
        const char* text;
    } cases[] = {
        {0, 10000, "x [........................................]   0%"},
        {5000, 10000, "x [####################....................]  50%"},
        {9999, 10000, "x [#######################################.]  99%"},
        {10000, 10000, "x [########################################] 100%"},
        {-5, 10, "x [........................................]   0%"},
        {15, 10, "x [########################################] 100%"},
        {3, 0, "x [........................................]   0%"},
    };
    for (const auto& c : cases) EXPECT_EQ(programs::ProgressBarText("x", c.done, c.total), c.text) << c.done;
    EXPECT_EQ(programs::ProgressBarText("", 1, 4), "[##########..............................]  25%");
}

TEST(Median, MiddleValueOrMeanOfTheTwoMiddleOnes) {
    EXPECT_EQ(programs::Median({}), 0.0);
    EXPECT_EQ(programs::Median({3.0}), 3.0);
    EXPECT_EQ(programs::Median({9.0, 1.0, 5.0}), 5.0);
    EXPECT_EQ(programs::Median({4.0, 1.0, 2.0, 8.0}), 3.0);
}

}  // namespace
