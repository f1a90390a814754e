#include <gtest/gtest.h>

#include "case_names.h"

#include "shear/pixel.h"
#include "shear/profiles.h"

namespace {

PixelBGRA Grey(std::uint8_t v, std::uint8_t a = 255) { return PixelBGRA{v, v, v, a}; }

struct BlendCase {
    PixelBGRA first;
    double t;
    PixelBGRA second;
    PixelBGRA expected;
};

class BlendPixelsTest : public testing::TestWithParam<BlendCase> {};

TEST_P(BlendPixelsTest, TruncatesEachChannelTowardZero) {
    const BlendCase& c = GetParam();
    EXPECT_EQ(BlendPixels(c.first, c.t, c.second), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, BlendPixelsTest,
                         testing::Values(
                             // 255*0.29 + 255*0.71 evaluates to 254.99999999999997.
                             BlendCase{Grey(255), 0.29, Grey(255), Grey(254, 254)},
                             BlendCase{PixelBGRA{1, 2, 3, 4}, 1.0, PixelBGRA{9, 8, 7, 6}, PixelBGRA{1, 2, 3, 4}},
                             BlendCase{PixelBGRA{1, 2, 3, 4}, 0.0, PixelBGRA{9, 8, 7, 6}, PixelBGRA{9, 8, 7, 6}},
                             BlendCase{PixelBGRA{255, 0, 0, 0}, 0.5, PixelBGRA{0, 0, 0, 0}, PixelBGRA{127, 0, 0, 0}},
                             BlendCase{PixelBGRA{10, 0, 0, 0}, 0.25, PixelBGRA{20, 0, 0, 0}, PixelBGRA{17, 0, 0, 0}}),
                         [](const testing::TestParamInfo<BlendCase>& info) {
                             return "Weight" + DecimalName(info.param.t);
                         });

TEST(ShearAmplitude, MultipliesByTheDoubleNearestOneHundredth) {
    EXPECT_EQ(ShearAmplitude(7, 5), 0.35000000000000003);
    EXPECT_NE(ShearAmplitude(7, 5), 35 / 100.0);
    EXPECT_EQ(ShearAmplitude(100, -50), -50.0);
    EXPECT_EQ(ShearAmplitude(1234, 0), 0.0);
}

}  // namespace
