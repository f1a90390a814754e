// Bounds of the selected pixels of a host mask.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "plugin/selection_bounds.h"

namespace {

struct Selected {
    int x, y;
    std::uint8_t value;
};

struct BoundsCase {
    const char* name;
    int width, height;
    std::vector<Selected> selected;
    ProcessRect expected;
};

class ScanSelectionBoundsTest : public ::testing::TestWithParam<BoundsCase> {};

TEST_P(ScanSelectionBoundsTest, GivesExclusiveBounds) {
    const BoundsCase& c = GetParam();
    std::vector<std::uint8_t> mask(static_cast<std::size_t>(c.width > 0 && c.height > 0 ? c.width * c.height : 1),
                                   kOutsideSelection);
    for (const Selected& s : c.selected) mask[static_cast<std::size_t>(s.y * c.width + s.x)] = s.value;
    ProcessRect rect{-7, -7, -7, -7};
    ScanSelectionBounds(mask.data(), c.width, c.height, rect);
    EXPECT_EQ(rect.left, c.expected.left);
    EXPECT_EQ(rect.top, c.expected.top);
    EXPECT_EQ(rect.right, c.expected.right);
    EXPECT_EQ(rect.bottom, c.expected.bottom);
}

INSTANTIATE_TEST_SUITE_P(
    Masks, ScanSelectionBoundsTest,
    ::testing::Values(
        BoundsCase{"SinglePixel", 10, 8, {{3, 5, 0}}, {3, 5, 4, 6}},
        BoundsCase{"NothingSelected", 640, 480, {}, {640, 480, 1, 1}},
        BoundsCase{"OnlyOrigin", 4, 4, {{0, 0, 0}}, {0, 0, 1, 1}},
        BoundsCase{"Value254CountsAsSelected", 5, 5, {{4, 4, 254}}, {4, 4, 5, 5}},
        BoundsCase{"SeveralPixels", 6, 5, {{4, 1, 7}, {1, 3, 200}, {2, 2, 0}}, {1, 1, 5, 4}},
        BoundsCase{
            "WholeImage", 3, 2, {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {0, 1, 0}, {1, 1, 0}, {2, 1, 0}}, {0, 0, 3, 2}},
        BoundsCase{"ZeroWidthScansNothing", 0, 5, {}, {0, 5, 1, 1}},
        BoundsCase{"NegativeHeightScansNothing", 5, -2, {}, {5, -2, 1, 1}}),
    [](const ::testing::TestParamInfo<BoundsCase>& info) { return info.param.name; });

TEST(ScanSelectionBounds, NullMaskScansNothing) {
    ProcessRect rect{};
    ScanSelectionBounds(nullptr, 3, 3, rect);
    EXPECT_EQ(rect.left, 3);
    EXPECT_EQ(rect.top, 3);
    EXPECT_EQ(rect.right, 1);
    EXPECT_EQ(rect.bottom, 1);
}

}  // namespace
