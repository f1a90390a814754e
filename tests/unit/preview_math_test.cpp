#include <gtest/gtest.h>

#include "case_names.h"

#include <cstring>
#include <vector>

#include "ui/preview_math.h"

namespace {

struct CheckerCase {
    std::int32_t x, y;
    PixelBGRA pixel;
    std::uint8_t alpha;
    PixelBGRA expected;
};

class CheckerBlend : public testing::TestWithParam<CheckerCase> {};

TEST_P(CheckerBlend, BlendsOverTheSquareOfThePanePixel) {
    const CheckerCase& c = GetParam();
    EXPECT_EQ(BlendOverChecker(c.x, c.y, c.pixel, c.alpha), c.expected);
}

const PixelBGRA kAny{10, 20, 30, 40};
INSTANTIATE_TEST_SUITE_P(Cases, CheckerBlend,
                         testing::Values(
                             // Alpha 0 shows the bare board: light at (0,0)..(7,7), dark at (8,0), light at (8,8).
                             CheckerCase{0, 0, kAny, 0, PixelBGRA{255, 255, 255, 0}},
                             CheckerCase{7, 7, kAny, 0, PixelBGRA{255, 255, 255, 0}},
                             CheckerCase{8, 0, kAny, 0, PixelBGRA{192, 192, 192, 0}},
                             CheckerCase{0, 15, kAny, 0, PixelBGRA{192, 192, 192, 0}},
                             CheckerCase{8, 8, kAny, 0, PixelBGRA{255, 255, 255, 0}},
                             CheckerCase{16, 0, kAny, 0, PixelBGRA{255, 255, 255, 0}},
                             // Alpha 255 keeps the colour; the stored alpha is always 0.
                             CheckerCase{8, 0, PixelBGRA{1, 2, 3, 255}, 255, PixelBGRA{1, 2, 3, 0}},
                             // (0*128 + 255*127)/255 = 127 over light; (200*128 + 192*127)/255 = 196.
                             CheckerCase{0, 0, PixelBGRA{0, 0, 0, 128}, 128, PixelBGRA{127, 127, 127, 0}},
                             CheckerCase{8, 0, PixelBGRA{200, 0, 255, 128}, 128, PixelBGRA{196, 95, 223, 0}},
                             // The alpha argument, not the pixel's byte, decides.
                             CheckerCase{0, 0, PixelBGRA{0, 0, 0, 255}, 0, PixelBGRA{255, 255, 255, 0}}),
                         [](const testing::TestParamInfo<CheckerCase>& info) {
                             const CheckerCase& c = info.param;
                             return "X" + NumberName(c.x) + "_Y" + NumberName(c.y) + "_Alpha" + NumberName(c.alpha) +
                                    "_PixelAlpha" + NumberName(c.pixel.alpha);
                         });

TEST(StoreOverChecker, WritesInsideAndRefusesEveryCoordinateOutside) {
    std::vector<PixelBGRA> buffer(3 * 2, PixelBGRA{9, 9, 9, 9});
    EXPECT_TRUE(StoreOverChecker(buffer.data(), 3, 2, 2, 1, PixelBGRA{1, 2, 3, 255}, 255));
    EXPECT_EQ(buffer[1 * 3 + 2], (PixelBGRA{1, 2, 3, 0}));
    for (auto [x, y] : {std::pair{-1, 0}, {0, -1}, {3, 0}, {0, 2}, {3, 2}}) {
        EXPECT_FALSE(StoreOverChecker(buffer.data(), 3, 2, x, y, PixelBGRA{1, 2, 3, 255}, 255)) << x << "," << y;
    }
    int untouched = 0;
    for (const PixelBGRA& p : buffer) untouched += p == PixelBGRA{9, 9, 9, 9};
    EXPECT_EQ(untouched, 5);
    EXPECT_FALSE(StoreOverChecker(nullptr, 3, 2, 0, 0, PixelBGRA{}, 0));
}

struct ClampCase {
    std::int32_t scroll, image, pane, expected;
};
class ScrollClamp : public testing::TestWithParam<ClampCase> {};
TEST_P(ScrollClamp, KeepsTheWindowInsideTheImage) {
    const ClampCase& c = GetParam();
    EXPECT_EQ(ClampScroll(c.scroll, c.image, c.pane), c.expected);
}
INSTANTIATE_TEST_SUITE_P(
    Cases, ScrollClamp,
    testing::Values(ClampCase{0, 300, 100, 0}, ClampCase{-5, 300, 100, 0}, ClampCase{150, 300, 100, 150},
                    ClampCase{200, 300, 100, 200}, ClampCase{201, 300, 100, 200}, ClampCase{100000, 300, 100, 200},
                    // The image fits: the upper limit wins, negative.
                    ClampCase{-7, 50, 100, -50}, ClampCase{0, 100, 100, 0}, ClampCase{3, 100, 100, 0}),
    [](const testing::TestParamInfo<ClampCase>& info) {
        const ClampCase& c = info.param;
        return "Scroll" + NumberName(c.scroll) + "_Image" + NumberName(c.image) + "_Pane" + NumberName(c.pane);
    });

TEST(AxisWindow, CentresAFittingImageWithTheSpareColumnOnTheFarSide) {
    std::int32_t scroll = -50;
    const AxisWindow w = ComputeAxisWindow(true, 101, 50, scroll);
    EXPECT_EQ(w.destination, 25);  // 25 pixels before, 26 after
    EXPECT_EQ(w.source, 0);
    EXPECT_EQ(w.size, 50);
    EXPECT_EQ(scroll, 0);
}

TEST(AxisWindow, FillsThePaneFromTheScrollOffsetWhenPanning) {
    std::int32_t scroll = 37;
    const AxisWindow w = ComputeAxisWindow(false, 100, 300, scroll);
    EXPECT_EQ(w.destination, 0);
    EXPECT_EQ(w.source, 37);
    EXPECT_EQ(w.size, 100);
    EXPECT_EQ(scroll, 37);
}

TEST(PreviewErrorText, ShowsTheNumberOnTheSecondLine) {
    char text[512];
    FormatPreviewError(text, sizeof text, 6);
    EXPECT_STREQ(text, "プレビューエラー！\nエラー番号 6");
    char tiny[4];
    FormatPreviewError(tiny, sizeof tiny, 6);
    EXPECT_EQ(std::strlen(tiny), 3u) << "a short buffer is cut, never overrun";
}

}  // namespace
