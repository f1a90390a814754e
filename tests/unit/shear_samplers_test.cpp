#include <gtest/gtest.h>

#include "case_names.h"

#include <cmath>
#include <string>
#include <vector>

#include "shear/samplers.h"

namespace {

using Mode = UndefinedAreaMode;

// ---- ClassifyPosition ----

struct ClassifyCase {
    double p;
    std::int32_t n;
    SampleRegion expected;
};

class ClassifyPositionTest : public testing::TestWithParam<ClassifyCase> {};

TEST_P(ClassifyPositionTest, PutsEachBoundaryOnTheRightSide) {
    const ClassifyCase& c = GetParam();
    EXPECT_EQ(ClassifyPosition(c.p, c.n), c.expected) << "p=" << c.p << " n=" << c.n;
}

INSTANTIATE_TEST_SUITE_P(Boundaries, ClassifyPositionTest,
                         testing::Values(ClassifyCase{-8.0, 4, OutsideBefore}, ClassifyCase{-1.0, 4, OutsideBefore},
                                         ClassifyCase{std::nextafter(-1.0, 0.0), 4, PartialBefore},
                                         ClassifyCase{-0.5, 4, PartialBefore}, ClassifyCase{-1e-300, 4, PartialBefore},
                                         ClassifyCase{-0.0, 4, Interior}, ClassifyCase{0.0, 4, Interior},
                                         ClassifyCase{1.5, 4, Interior}, ClassifyCase{3.0, 4, Interior},
                                         ClassifyCase{std::nextafter(3.0, 4.0), 4, PartialAfter},
                                         ClassifyCase{3.5, 4, PartialAfter},
                                         ClassifyCase{std::nextafter(4.0, 0.0), 4, PartialAfter},
                                         ClassifyCase{4.0, 4, OutsideAfter}, ClassifyCase{7.0, 4, OutsideAfter},
                                         // A line of one pixel has a single interior position.
                                         ClassifyCase{0.0, 1, Interior}, ClassifyCase{0.5, 1, PartialAfter},
                                         ClassifyCase{1.0, 1, OutsideAfter}, ClassifyCase{-0.5, 1, PartialBefore}),
                         [](const testing::TestParamInfo<ClassifyCase>& info) {
                             // Positions next to a boundary print alike: the index tells them apart.
                             return "Line" + NumberName(info.param.n) + "_Position" + DecimalName(info.param.p) + "_" +
                                    std::to_string(info.index);
                         });

// ---- Samplers ----
//
// The sampled line L0..L3 lies in the last row (row samplers) or the last
// column (column samplers) of an image that holds unrelated pixels elsewhere,
// so reading the wrong line shows up as a wrong colour and reading past the
// line's end shows up under AddressSanitizer.  The output pixel sits at
// coordinate 2 along the line, so its own pixel is L2.

enum class Axis { Rows, Columns };

const PixelBGRA kLine[4] = {{200, 10, 90, 255}, {40, 220, 16, 128}, {7, 77, 177, 1}, {250, 3, 60, 33}};
const PixelBGRA kFill = {11, 122, 233, 99};
constexpr std::int32_t kOwn = 2;

struct LineImage {
    std::int32_t w, h;
    std::vector<PixelBGRA> pixels;
    std::int32_t x, y;  // the output pixel
};

// `length` pixels of kLine (or fewer) along the axis, three lines across it.
LineImage MakeLineImage(Axis axis, std::int32_t length) {
    LineImage image;
    const std::int32_t across = 3;
    image.w = axis == Axis::Rows ? length : across;
    image.h = axis == Axis::Rows ? across : length;
    image.pixels.resize(static_cast<std::size_t>(image.w) * image.h);
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
        const auto v = static_cast<std::uint8_t>(i * 13 + 5);
        image.pixels[i] = PixelBGRA{v, v, v, v};
    }
    for (std::int32_t k = 0; k < length; ++k) {
        if (axis == Axis::Rows) {
            image.pixels[static_cast<std::size_t>(across - 1) * image.w + k] = kLine[k];
        } else {
            image.pixels[static_cast<std::size_t>(k) * image.w + across - 1] = kLine[k];
        }
    }
    const std::int32_t own = length > kOwn ? kOwn : 0;
    image.x = axis == Axis::Rows ? own : across - 1;
    image.y = axis == Axis::Rows ? across - 1 : own;
    return image;
}

PixelBGRA Sample(Axis axis, const LineImage& image, double p, Mode mode) {
    const UndefinedAreaPolicy policy{ValueOf(mode), kFill, 0};
    const std::int32_t n = axis == Axis::Rows ? image.w : image.h;
    const SampleRegion region = ClassifyPosition(p, n);
    const PixelBGRA* source = image.pixels.data();
    if (region == Interior) {
        return axis == Axis::Rows ? SampleRowInterior(source, image.x, image.y, p, image.w, image.h, policy)
                                  : SampleColumnInterior(source, image.x, image.y, p, image.w, image.h, policy);
    }
    const PixelSampler sampler =
        axis == Axis::Rows ? RowSamplers[region][ValueOf(mode)] : ColumnSamplers[region][ValueOf(mode)];
    return sampler(source, image.x, image.y, p, image.w, image.h, policy);
}

// The expected pixel: `first` alone (weight 1) or BlendPixels(first, t, second).
enum Ref { L0, L1, L2, L3, Own, Fill };
PixelBGRA Resolve(Ref ref) {
    switch (ref) {
        case Own:
            return kLine[kOwn];
        case Fill:
            return kFill;
        default:
            return kLine[ref];
    }
}

struct SamplerCase {
    const char* name;
    Mode mode;
    double p;
    Ref first;
    double t;
    Ref second;
};

std::string CaseName(const testing::TestParamInfo<std::tuple<Axis, SamplerCase>>& info) {
    return std::string(std::get<0>(info.param) == Axis::Rows ? "Row_" : "Column_") + std::get<1>(info.param).name;
}

class SamplerTest : public testing::TestWithParam<std::tuple<Axis, SamplerCase>> {};

TEST_P(SamplerTest, TakesTheRightPixelsAndWeights) {
    const Axis axis = std::get<0>(GetParam());
    const SamplerCase& c = std::get<1>(GetParam());
    const LineImage image = MakeLineImage(axis, 4);
    const PixelBGRA expected = c.t == 1.0 ? Resolve(c.first) : BlendPixels(Resolve(c.first), c.t, Resolve(c.second));
    EXPECT_EQ(Sample(axis, image, c.p, c.mode), expected);
}

// Line of n = 4: OutsideBefore at -1.25, PartialBefore at -0.75 (substitute
// weighs 0.75), PartialAfter at 3.25 (last pixel weighs 0.75), OutsideAfter
// at 4.5; plus the ends of the range -n <= p <= 2n - 1 and the exact
// boundaries named for each mode.
const SamplerCase kSamplerCases[] = {
    // Interior.
    {"InteriorStart", Mode::EdgePixel, 0.0, L0, 1.0, L0},
    {"InteriorMiddle", Mode::Repeat, 1.5, L1, 0.5, L2},
    {"InteriorQuarter", Mode::Fold, 0.25, L0, 0.75, L1},
    {"InteriorEnd", Mode::OriginalPixel, 3.0, L3, 1.0, L3},
    // EdgePixel.
    {"EdgeOutsideBefore", Mode::EdgePixel, -1.25, L0, 1.0, L0},
    {"EdgePartialBefore", Mode::EdgePixel, -0.75, L0, 1.0, L0},
    {"EdgePartialAfter", Mode::EdgePixel, 3.25, L3, 1.0, L3},
    {"EdgeOutsideAfter", Mode::EdgePixel, 4.5, L3, 1.0, L3},
    // OriginalPixel: the own pixel whatever p is, outside.
    {"OriginalOutsideBefore", Mode::OriginalPixel, -1.25, Own, 1.0, Own},
    {"OriginalOutsideBeforeAtMinusOne", Mode::OriginalPixel, -1.0, Own, 1.0, Own},
    {"OriginalOutsideBeforeFar", Mode::OriginalPixel, -4.0, Own, 1.0, Own},
    {"OriginalPartialBefore", Mode::OriginalPixel, -0.75, Own, 0.75, L0},
    {"OriginalPartialAfter", Mode::OriginalPixel, 3.25, L3, 0.75, Own},
    {"OriginalOutsideAfter", Mode::OriginalPixel, 4.5, Own, 1.0, Own},
    {"OriginalOutsideAfterFar", Mode::OriginalPixel, 7.0, Own, 1.0, Own},
    // Repeat: outside positions shift by n.
    {"RepeatOutsideBefore", Mode::Repeat, -1.25, L2, 0.25, L3},
    {"RepeatOutsideBeforeAtMinusOne", Mode::Repeat, -1.0, L3, 1.0, L3},
    {"RepeatOutsideBeforeFar", Mode::Repeat, -4.0, L0, 1.0, L0},
    {"RepeatPartialBefore", Mode::Repeat, -0.75, L3, 0.75, L0},
    {"RepeatPartialBeforeQuarter", Mode::Repeat, -0.25, L3, 0.25, L0},
    {"RepeatPartialAfter", Mode::Repeat, 3.25, L3, 0.75, L0},
    {"RepeatOutsideAfterAtN", Mode::Repeat, 4.0, L0, 1.0, L0},
    {"RepeatOutsideAfter", Mode::Repeat, 4.5, L0, 0.5, L1},
    {"RepeatOutsideAfterFar", Mode::Repeat, 7.0, L3, 1.0, L3},
    // Fold: mirror axes at -0.5 and n - 0.5.
    {"FoldOutsideBeforeAtMinusOne", Mode::Fold, -1.0, L0, 1.0, L0},
    {"FoldOutsideBefore", Mode::Fold, -1.25, L0, 0.75, L1},
    {"FoldOutsideBeforeFar", Mode::Fold, -4.0, L3, 1.0, L3},
    {"FoldPartialBefore", Mode::Fold, -0.75, L0, 1.0, L0},
    {"FoldPartialAfter", Mode::Fold, 3.25, L3, 1.0, L3},
    {"FoldOutsideAfterAtN", Mode::Fold, 4.0, L3, 1.0, L3},
    {"FoldOutsideAfter", Mode::Fold, 4.5, L2, 0.5, L3},
    {"FoldOutsideAfterFar", Mode::Fold, 7.0, L0, 1.0, L0},
    // DrawingColour and BackgroundColour behave alike.
    {"DrawingOutsideBefore", Mode::DrawingColour, -1.25, Fill, 1.0, Fill},
    {"DrawingPartialBefore", Mode::DrawingColour, -0.75, Fill, 0.75, L0},
    {"DrawingPartialAfter", Mode::DrawingColour, 3.25, L3, 0.75, Fill},
    {"DrawingOutsideAfter", Mode::DrawingColour, 4.5, Fill, 1.0, Fill},
    {"BackgroundOutsideBefore", Mode::BackgroundColour, -1.25, Fill, 1.0, Fill},
    {"BackgroundPartialBefore", Mode::BackgroundColour, -0.75, Fill, 0.75, L0},
    {"BackgroundPartialAfter", Mode::BackgroundColour, 3.25, L3, 0.75, Fill},
    {"BackgroundOutsideAfter", Mode::BackgroundColour, 4.5, Fill, 1.0, Fill},
};

INSTANTIATE_TEST_SUITE_P(Table, SamplerTest,
                         testing::Combine(testing::Values(Axis::Rows, Axis::Columns), testing::ValuesIn(kSamplerCases)),
                         CaseName);

// ---- End pixels returned bit for bit ----

struct EndPixelCase {
    const char* name;
    Mode mode;
    bool before;
};

class EndPixelTest : public testing::TestWithParam<std::tuple<Axis, EndPixelCase>> {};

TEST_P(EndPixelTest, PartialRegionsReturnTheEndPixelWithoutSelfBlend) {
    const Axis axis = std::get<0>(GetParam());
    const EndPixelCase& c = std::get<1>(GetParam());
    LineImage image = MakeLineImage(axis, 4);
    // All channels 255: a blend of this pixel with itself at 0.29 gives 254.
    const PixelBGRA white{255, 255, 255, 255};
    const std::int32_t end = c.before ? 0 : 3;
    const std::size_t index = axis == Axis::Rows ? static_cast<std::size_t>(image.y) * image.w + end
                                                 : static_cast<std::size_t>(end) * image.w + image.x;
    image.pixels[index] = white;
    const double p = c.before ? -0.29 : 3.71;
    ASSERT_NE(BlendPixels(white, 0.29, white), white);
    EXPECT_EQ(Sample(axis, image, p, c.mode), white);
}

INSTANTIATE_TEST_SUITE_P(EdgeAndFold, EndPixelTest,
                         testing::Combine(testing::Values(Axis::Rows, Axis::Columns),
                                          testing::Values(EndPixelCase{"EdgeBefore", Mode::EdgePixel, true},
                                                          EndPixelCase{"EdgeAfter", Mode::EdgePixel, false},
                                                          EndPixelCase{"FoldBefore", Mode::Fold, true},
                                                          EndPixelCase{"FoldAfter", Mode::Fold, false})),
                         [](const testing::TestParamInfo<std::tuple<Axis, EndPixelCase>>& info) {
                             return std::string(std::get<0>(info.param) == Axis::Rows ? "Row_" : "Column_") +
                                    std::get<1>(info.param).name;
                         });

// ---- A line one pixel long ----

struct OnePixelCase {
    const char* name;
    Mode mode;
    double p;
    bool selfBlend;  // Repeat: the pixel blended with itself at weight 1 - p
};

class OnePixelLineTest : public testing::TestWithParam<std::tuple<Axis, OnePixelCase>> {};

TEST_P(OnePixelLineTest, StaysInsideTheLine) {
    const Axis axis = std::get<0>(GetParam());
    const OnePixelCase& c = std::get<1>(GetParam());
    LineImage image = MakeLineImage(axis, 1);
    const PixelBGRA only{255, 255, 255, 255};
    const std::size_t index =
        axis == Axis::Rows ? static_cast<std::size_t>(image.y) * image.w : static_cast<std::size_t>(image.x);
    image.pixels[index] = only;
    const PixelBGRA expected = c.selfBlend ? BlendPixels(only, 1.0 - c.p, only) : only;
    EXPECT_EQ(Sample(axis, image, c.p, c.mode), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OnePixelLineTest,
    testing::Combine(testing::Values(Axis::Rows, Axis::Columns),
                     testing::Values(OnePixelCase{"Interior", Mode::EdgePixel, 0.0, false},
                                     OnePixelCase{"EdgeAfter", Mode::EdgePixel, 0.71, false},
                                     OnePixelCase{"FoldAfter", Mode::Fold, 0.71, false},
                                     OnePixelCase{"RepeatAfter", Mode::Repeat, 0.71, true},
                                     OnePixelCase{"RepeatOutsideBefore", Mode::Repeat, -1.0, false},
                                     OnePixelCase{"FoldOutsideBefore", Mode::Fold, -1.0, false},
                                     OnePixelCase{"RepeatOutsideAfter", Mode::Repeat, 1.0, false},
                                     OnePixelCase{"FoldOutsideAfter", Mode::Fold, 1.0, false})),
    [](const testing::TestParamInfo<std::tuple<Axis, OnePixelCase>>& info) {
        return std::string(std::get<0>(info.param) == Axis::Rows ? "Row_" : "Column_") + std::get<1>(info.param).name;
    });

TEST(Samplers, FillWithoutAlphaFadesIntoAnOpaqueFirstPixel) {
    const PixelBGRA source[2] = {{0, 0, 0, 255}, {0, 0, 0, 255}};
    const UndefinedAreaPolicy policy{ValueOf(Mode::DrawingColour), PixelBGRA{0, 0, 0, 0}, 1};
    const std::int32_t mode = ValueOf(Mode::DrawingColour);
    EXPECT_EQ(RowSamplers[PartialBefore][mode](source, 0, 0, -0.25, 2, 1, policy).alpha, 191);
    EXPECT_EQ(ColumnSamplers[PartialBefore][mode](source, 0, 0, -0.25, 1, 2, policy).alpha, 191);
}

}  // namespace
