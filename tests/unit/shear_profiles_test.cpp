#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "shear/profiles.h"

namespace {

struct ProfileCase {
    const char* name;
    OffsetProfile profile;
    double amplitude;
    std::vector<double> expected;  // one offset per line; the count is its size
};

class OffsetProfileTest : public testing::TestWithParam<ProfileCase> {};

TEST_P(OffsetProfileTest, GivesEachLineItsOffset) {
    const ProfileCase& c = GetParam();
    const auto count = static_cast<std::int32_t>(c.expected.size());
    for (std::int32_t a = 0; a < count; ++a) {
        EXPECT_EQ(c.profile(a, c.amplitude, count), c.expected[a]) << "line " << a;
    }
}

INSTANTIATE_TEST_SUITE_P(Lines, OffsetProfileTest,
                         testing::Values(ProfileCase{"BothFourLines", ProfileBoth, 100.0, {-100, -50, 0, 50}},
                                         ProfileCase{"FirstFourLines", ProfileFirst, 100.0, {-100, -75, -50, -25}},
                                         ProfileCase{"LastFourLines", ProfileLast, 100.0, {0, -25, -50, -75}},
                                         ProfileCase{"FirstThreeLinesNeverZero", ProfileFirst, 30.0, {-30, -20, -10}},
                                         ProfileCase{"BothOneLine", ProfileBoth, 7.5, {-7.5}},
                                         ProfileCase{"FirstOneLine", ProfileFirst, 7.5, {-7.5}},
                                         ProfileCase{"BothNegativeAmplitude", ProfileBoth, -100.0, {100, 50, 0, -50}}),
                         [](const testing::TestParamInfo<ProfileCase>& info) { return std::string(info.param.name); });

TEST(OffsetProfile, LastOfOneLineIsANegativeZeroThatLeavesCoordinatesAlone) {
    const double offset = ProfileLast(0, 12.0, 1);
    EXPECT_EQ(offset, 0.0);
    EXPECT_TRUE(std::signbit(offset));
    EXPECT_EQ(5 + offset, 5.0);
}

// What each stored shape value means: whether it names a shape, which axis
// it shifts, and which profile its lines follow.
struct ShapeCase {
    std::int32_t value;
    bool valid;
    bool rows;
    OffsetProfile profile;  // for valid values
};

TEST(ShapeKind, EachValuePicksItsAxisAndProfile) {
    const ShapeCase cases[] = {
        {ValueOf(ShapeKind::TopAndBottom), true, true, ProfileBoth},
        {ValueOf(ShapeKind::Top), true, true, ProfileFirst},
        {ValueOf(ShapeKind::Bottom), true, true, ProfileLast},
        {ValueOf(ShapeKind::LeftAndRight), true, false, ProfileBoth},
        {ValueOf(ShapeKind::Left), true, false, ProfileFirst},
        {ValueOf(ShapeKind::Right), true, false, ProfileLast},
        {-1, false, false, nullptr},
        {kShapeKindCount, false, false, nullptr},
    };
    for (const ShapeCase& c : cases) {
        EXPECT_EQ(IsValidShape(c.value), c.valid) << c.value;
        EXPECT_EQ(IsRowShape(c.value), c.rows) << c.value;
        if (!c.valid) continue;
        EXPECT_EQ(IsRowShape(static_cast<ShapeKind>(c.value)), c.rows) << c.value;
        EXPECT_EQ(ProfileOf(static_cast<ShapeKind>(c.value)), c.profile) << c.value;
    }
}

TEST(ShearAmplitude, EqualsTheExtentAtFullDimension) {
    EXPECT_EQ(ShearAmplitude(4, 50), 2.0);
    EXPECT_EQ(ShearAmplitude(37, 100), 37.0);
    EXPECT_EQ(ShearAmplitude(37, -100), -37.0);
    // The largest image the tool accepts still fits the 32-bit product.
    EXPECT_EQ(ShearAmplitude(1 << 24, 100), 16777216.0);
}

}  // namespace
