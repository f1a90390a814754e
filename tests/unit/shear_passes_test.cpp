#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "case_names.h"

#include "shear/passes.h"

namespace {

using Mode = UndefinedAreaMode;
using Shape = ShapeKind;

struct Image {
    std::int32_t w, h;
    std::vector<PixelBGRA> pixels;
    PixelBGRA& at(std::int32_t x, std::int32_t y) { return pixels[static_cast<std::size_t>(y) * w + x]; }
    const PixelBGRA& at(std::int32_t x, std::int32_t y) const { return pixels[static_cast<std::size_t>(y) * w + x]; }
};

// Distinct opaque pixels whose channels encode their coordinates.
Image Pattern(std::int32_t w, std::int32_t h) {
    Image image{w, h, std::vector<PixelBGRA>(static_cast<std::size_t>(w) * h)};
    for (std::int32_t y = 0; y < h; ++y)
        for (std::int32_t x = 0; x < w; ++x)
            image.at(x, y) = PixelBGRA{static_cast<std::uint8_t>(x * 17 + 3), static_cast<std::uint8_t>(y * 29 + 7),
                                       static_cast<std::uint8_t>((x + y) * 5), 255};
    return image;
}

const PixelBGRA kSentinel{1, 2, 3, 4};

Image Filled(std::int32_t w, std::int32_t h, PixelBGRA pixel = kSentinel) {
    return Image{w, h, std::vector<PixelBGRA>(static_cast<std::size_t>(w) * h, pixel)};
}

struct Recorder {
    std::vector<std::int32_t> done;
    std::vector<std::int32_t> totals;
    std::vector<ProgressUserData> userData;
};

std::int32_t PG_STDCALL Record(std::int32_t done, std::int32_t total, ProgressUserData userData) {
    auto* recorder = reinterpret_cast<Recorder*>(userData);
    recorder->done.push_back(done);
    recorder->totals.push_back(total);
    recorder->userData.push_back(userData);
    return 1;
}

ProgressSink SinkFor(Recorder& recorder) { return ProgressSink{reinterpret_cast<ProgressUserData>(&recorder), Record}; }

ParallelogramSettings Settings(Shape shape, std::int32_t dimension, Mode mode, std::int32_t transparent = 0,
                               PixelBGRA fill = PixelBGRA{0, 0, 0, 255}) {
    return ParallelogramSettings{ValueOf(shape), dimension, UndefinedAreaPolicy{ValueOf(mode), fill, transparent}, 0};
}

void Shear(const Image& source, Image& destination, const ProcessRect& rect, const ParallelogramSettings& settings,
           const ProgressSink& sink = ProgressSink{0, nullptr}) {
    EXPECT_TRUE(
        ShearRectangle(source.pixels.data(), destination.pixels.data(), rect, source.w, source.h, sink, settings));
}

// ---- The 4 x 2 worked example: shape Top, dimension 50 (A = 2) ----

struct WorkedCase {
    const char* name;
    std::int32_t dimension;
    Mode mode;
    std::int32_t transparent;
    // Source column (0..3) for each output pixel of rows 0 and 1.
    std::int32_t row0[4];
    std::int32_t row1[4];
    // Outside-region pixels that lose their alpha, as y * 4 + x.
    std::vector<int> cleared;
};

class WorkedExampleTest : public testing::TestWithParam<WorkedCase> {};

TEST_P(WorkedExampleTest, RowsTakeTheirShiftedColumns) {
    const WorkedCase& c = GetParam();
    const Image source = Pattern(4, 2);
    Image destination = Filled(4, 2);
    Recorder recorder;
    Shear(source, destination, ProcessRect{0, 0, 4, 2}, Settings(Shape::Top, c.dimension, c.mode, c.transparent),
          SinkFor(recorder));
    for (std::int32_t x = 0; x < 4; ++x) {
        for (std::int32_t y = 0; y < 2; ++y) {
            PixelBGRA expected = source.at(y == 0 ? c.row0[x] : c.row1[x], y);
            for (int index : c.cleared)
                if (index == y * 4 + x) expected = WithoutAlpha(expected);
            EXPECT_EQ(destination.at(x, y), expected) << "x=" << x << " y=" << y;
        }
    }
    EXPECT_EQ(recorder.done, (std::vector<std::int32_t>{0, 5000}));
}

INSTANTIATE_TEST_SUITE_P(
    Top4x2, WorkedExampleTest,
    testing::Values(WorkedCase{"Edge", 50, Mode::EdgePixel, 0, {0, 0, 0, 1}, {0, 0, 1, 2}, {}},
                    WorkedCase{"Repeat", 50, Mode::Repeat, 0, {2, 3, 0, 1}, {3, 0, 1, 2}, {}},
                    WorkedCase{"Fold", 50, Mode::Fold, 0, {1, 0, 0, 1}, {0, 0, 1, 2}, {}},
                    WorkedCase{"EdgeTransparent", 50, Mode::EdgePixel, 1, {0, 0, 0, 1}, {0, 0, 1, 2}, {0, 1, 4}},
                    WorkedCase{"RepeatTransparent", 50, Mode::Repeat, 1, {2, 3, 0, 1}, {3, 0, 1, 2}, {0, 1, 4}},
                    WorkedCase{"FoldTransparent", 50, Mode::Fold, 1, {1, 0, 0, 1}, {0, 0, 1, 2}, {0, 1, 4}},
                    // Negative dimension: row 0 at positions 2, 3, 4, 5.
                    WorkedCase{"EdgeReversed", -50, Mode::EdgePixel, 0, {2, 3, 3, 3}, {1, 2, 3, 3}, {}},
                    WorkedCase{
                        "EdgeReversedTransparent", -50, Mode::EdgePixel, 1, {2, 3, 3, 3}, {1, 2, 3, 3}, {2, 3, 7}}),
    [](const testing::TestParamInfo<WorkedCase>& info) { return std::string(info.param.name); });

TEST(ShearRows, HalfPixelShiftBlendsWithTheFillAndKeepsPartialAlpha) {
    const Image source = Pattern(4, 2);
    const PixelBGRA fill{100, 150, 200, 0};
    for (std::int32_t transparent : {0, 1}) {
        Image destination = Filled(4, 2);
        Shear(source, destination, ProcessRect{0, 0, 4, 2},
              Settings(Shape::Top, 25, Mode::DrawingColour, transparent, fill));
        // Row 1 has offset -0.5: x = 0 is PartialBefore, x = 1 interior.
        EXPECT_EQ(destination.at(0, 1), BlendPixels(fill, 0.5, source.at(0, 1)));
        EXPECT_EQ(destination.at(1, 1), BlendPixels(source.at(0, 1), 0.5, source.at(1, 1)));
        // Row 0 has offset -1: x = 0 is OutsideBefore and only it obeys transparent.
        EXPECT_EQ(destination.at(0, 0), transparent ? WithoutAlpha(fill) : fill);
        EXPECT_EQ(destination.at(1, 0), source.at(0, 0));
    }
}

TEST(ShearRows, TransparentLeavesPartialRegionAlphaAlone) {
    const Image source = Pattern(4, 2);
    Image destination = Filled(4, 2);
    Shear(source, destination, ProcessRect{0, 0, 4, 2}, Settings(Shape::Top, 25, Mode::Repeat, 1));
    // p = -0.5 blends the last and first pixels, both opaque.
    EXPECT_EQ(destination.at(0, 1).alpha, 255);
    EXPECT_EQ(destination.at(0, 0).alpha, 0);
}

TEST(ShearRows, DimensionZeroCopiesTheRectangleExactly) {
    const Image source = Pattern(9, 5);
    for (std::int32_t shape = 0; shape < kShapeKindCount; ++shape) {
        for (std::int32_t mode = 0; mode < kUndefinedAreaModeCount; ++mode) {
            Image destination = Filled(9, 5);
            Shear(source, destination, ProcessRect{0, 0, 9, 5},
                  Settings(static_cast<Shape>(shape), 0, static_cast<Mode>(mode), 1));
            EXPECT_EQ(destination.pixels, source.pixels);
        }
    }
}

TEST(ShearRows, PositionsAreMeasuredAgainstTheWholeImage) {
    // Columns 10..19 of a 100-wide row, offset -5: column 10 takes source column 5.
    const Image source = Pattern(100, 1);
    Image destination = Filled(100, 1);
    Shear(source, destination, ProcessRect{10, 0, 20, 1}, Settings(Shape::Top, 50, Mode::DrawingColour, 1));
    for (std::int32_t x = 0; x < 100; ++x) {
        const PixelBGRA expected = x >= 10 && x < 20 ? source.at(x - 5, 0) : kSentinel;
        EXPECT_EQ(destination.at(x, 0), expected) << "x=" << x;
    }
}

// ---- Progress and empty rectangles ----

struct ProgressCase {
    const char* name;
    Shape shape;
    ProcessRect rect;
    std::vector<std::int32_t> expected;
};

class ProgressTest : public testing::TestWithParam<ProgressCase> {};

TEST_P(ProgressTest, ReportsOncePerLineAndWritesOnlyInsideTheRectangle) {
    const ProgressCase& c = GetParam();
    const Image source = Pattern(6, 5);
    Image destination = Filled(6, 5);
    Recorder recorder;
    Shear(source, destination, c.rect, Settings(c.shape, 40, Mode::Repeat, 1), SinkFor(recorder));
    EXPECT_EQ(recorder.done, c.expected);
    EXPECT_EQ(recorder.totals, std::vector<std::int32_t>(c.expected.size(), kProgressTotal));
    EXPECT_EQ(recorder.userData,
              std::vector<ProgressUserData>(c.expected.size(), reinterpret_cast<ProgressUserData>(&recorder)));
    for (std::int32_t y = 0; y < 5; ++y)
        for (std::int32_t x = 0; x < 6; ++x) {
            const bool inside = x >= c.rect.left && x < c.rect.right && y >= c.rect.top && y < c.rect.bottom;
            if (!inside)
                EXPECT_EQ(destination.at(x, y), kSentinel) << "x=" << x << " y=" << y;
            else
                EXPECT_NE(destination.at(x, y), kSentinel) << "x=" << x << " y=" << y;
        }
}

INSTANTIATE_TEST_SUITE_P(
    Passes, ProgressTest,
    testing::Values(ProgressCase{"RowsTwo", Shape::TopAndBottom, {1, 1, 5, 3}, {0, 5000}},
                    ProgressCase{"RowsThree", Shape::Bottom, {0, 2, 6, 5}, {0, 3333, 6666}},
                    ProgressCase{"RowsFour", Shape::Top, {2, 0, 4, 4}, {0, 2500, 5000, 7500}},
                    ProgressCase{"RowsNoRows", Shape::Top, {1, 3, 5, 3}, {}},
                    ProgressCase{"RowsNoRowsNoColumns", Shape::Top, {2, 2, 2, 2}, {}},
                    ProgressCase{"RowsWithoutColumns", Shape::TopAndBottom, {3, 1, 3, 4}, {0, 3333, 6666}},
                    ProgressCase{"ColumnsThree", Shape::LeftAndRight, {1, 0, 4, 5}, {0, 3333, 6666}},
                    ProgressCase{"ColumnsTwo", Shape::Right, {4, 1, 6, 4}, {0, 5000}},
                    ProgressCase{"ColumnsNoColumns", Shape::Left, {2, 0, 2, 5}, {}},
                    ProgressCase{"ColumnsWithoutRows", Shape::Left, {0, 4, 6, 4}, {0, 1666, 3333, 5000, 6666, 8333}}),
    [](const testing::TestParamInfo<ProgressCase>& info) { return std::string(info.param.name); });

// A rectangle turned inside out in the direction of the lines (right < left
// for rows, bottom < top for columns) has lines without pixels: every mode
// reports each line once and writes nothing.
struct InvertedCase {
    const char* name;
    Shape shape;
    ProcessRect rect;
    std::vector<std::int32_t> expected;
};

class InvertedRectangleTest : public testing::TestWithParam<std::tuple<InvertedCase, std::int32_t /*mode*/>> {};

TEST_P(InvertedRectangleTest, ReportsEveryLineAndWritesNothing) {
    const auto& [c, mode] = GetParam();
    const Image source = Pattern(8, 8);
    Image destination = Filled(8, 8);
    Recorder recorder;
    Shear(source, destination, c.rect, Settings(c.shape, 50, static_cast<Mode>(mode), 0), SinkFor(recorder));
    EXPECT_EQ(recorder.done, c.expected);
    EXPECT_EQ(destination.pixels, Filled(8, 8).pixels);
}

INSTANTIATE_TEST_SUITE_P(
    AllModes, InvertedRectangleTest,
    testing::Combine(
        testing::Values(InvertedCase{"RowsRightBeforeLeft", Shape::TopAndBottom, {5, 0, 2, 3}, {0, 3333, 6666}},
                        InvertedCase{"RowsClippedToNothing", Shape::Bottom, {8, 0, 0, 3}, {0, 3333, 6666}},
                        InvertedCase{"ColumnsBottomAboveTop", Shape::LeftAndRight, {0, 5, 3, 2}, {0, 3333, 6666}},
                        InvertedCase{"ColumnsSinglePixelHigh", Shape::Right, {0, 1, 1, 0}, {0}}),
        testing::Range(0, kUndefinedAreaModeCount)),
    [](const testing::TestParamInfo<std::tuple<InvertedCase, std::int32_t>>& info) {
        return std::string(std::get<0>(info.param).name) + "_Mode" + std::to_string(std::get<1>(info.param));
    });

TEST(ShearRows, RunsWithoutACallback) {
    const Image source = Pattern(3, 3);
    Image destination = Filled(3, 3);
    Shear(source, destination, ProcessRect{0, 0, 3, 3}, Settings(Shape::Top, 100, Mode::EdgePixel));
    // The last of three rows shifts by A / 3 = 1.
    EXPECT_EQ(destination.at(2, 2), source.at(1, 2));
}

// ---- Columns ----

TEST(ShearColumns, LeftAtFullDimensionMovesTheLeftColumnDownByTheHeight) {
    const std::int32_t h = 7;
    const Image source = Pattern(5, h);
    Image destination = Filled(5, h);
    Shear(source, destination, ProcessRect{0, 0, 5, h}, Settings(Shape::Left, 100, Mode::Fold, 1));
    // Positions -h..-1 are all OutsideBefore; Fold mirrors them to h-1..0.
    for (std::int32_t y = 0; y < h; ++y) {
        EXPECT_EQ(destination.at(0, y), WithoutAlpha(source.at(0, h - 1 - y))) << "y=" << y;
    }
}

// The column pass cuts the image into strips of columns by where the
// destination's rows start in memory; wherever the images start, it must
// give the same pixels and the same reports.
TEST(ShearColumns, SamePixelsAndReportsWhereverTheImagesStart) {
    const std::int32_t w = 600, h = 9;
    const Image source = Pattern(w, h);
    const std::size_t pixels = static_cast<std::size_t>(w) * h;
    const ProcessRect rect{3, 1, w - 2, h};
    const ParallelogramSettings settings = Settings(Shape::LeftAndRight, 30, Mode::Repeat);
    std::vector<PixelBGRA> expected;
    Recorder first;
    // 256 pixels are a kilobyte: every start within one.
    for (std::size_t start = 0; start < 256; ++start) {
        std::vector<PixelBGRA> in(pixels + 256), out(pixels + 256, kSentinel);
        std::copy(source.pixels.begin(), source.pixels.end(), in.begin() + static_cast<std::ptrdiff_t>(start));
        Recorder recorder;
        ShearColumns(in.data() + start, out.data() + start, rect, w, h, SinkFor(recorder), settings);
        const std::vector<PixelBGRA> got(out.begin() + static_cast<std::ptrdiff_t>(start),
                                         out.begin() + static_cast<std::ptrdiff_t>(start + pixels));
        if (start == 0) {
            expected = got;
            first = recorder;
            continue;
        }
        ASSERT_TRUE(got == expected) << "images starting " << start << " pixels in";
        ASSERT_EQ(recorder.done, first.done) << "images starting " << start << " pixels in";
    }
}

Image Transposed(const Image& image) {
    Image out = Filled(image.h, image.w);
    for (std::int32_t y = 0; y < image.h; ++y)
        for (std::int32_t x = 0; x < image.w; ++x) out.at(y, x) = image.at(x, y);
    return out;
}

// Columns are rows with the axes exchanged: shearing the transposed image's
// columns must give the transposed result of shearing the rows.
class AxisSymmetryTest : public testing::TestWithParam<std::tuple<Shape, std::int32_t, std::int32_t>> {};

TEST_P(AxisSymmetryTest, ColumnsMatchTransposedRows) {
    const auto [rowShape, mode, dimension] = GetParam();
    const Image source = Pattern(7, 5);
    const ProcessRect rect{1, 0, 6, 4};
    for (std::int32_t transparent : {0, 1}) {
        const PixelBGRA fill{9, 99, 199, 222};
        Image rows = Filled(7, 5);
        Shear(source, rows, rect, Settings(rowShape, dimension, static_cast<Mode>(mode), transparent, fill));
        const Image sourceT = Transposed(source);
        Image columns = Filled(5, 7);
        Shear(sourceT, columns, ProcessRect{rect.top, rect.left, rect.bottom, rect.right},
              Settings(static_cast<Shape>(ValueOf(rowShape) + ValueOf(Shape::LeftAndRight)), dimension,
                       static_cast<Mode>(mode), transparent, fill));
        EXPECT_EQ(Transposed(columns).pixels, rows.pixels) << "transparent=" << transparent;
    }
}

INSTANTIATE_TEST_SUITE_P(AllShapesAndModes, AxisSymmetryTest,
                         testing::Combine(testing::Values(Shape::TopAndBottom, Shape::Top, Shape::Bottom),
                                          testing::Range(0, kUndefinedAreaModeCount),
                                          testing::Values(-100, -37, 13, 100)),
                         [](const testing::TestParamInfo<AxisSymmetryTest::ParamType>& info) {
                             return "Shape" + NumberName(ValueOf(std::get<0>(info.param))) + "_Mode" +
                                    NumberName(std::get<1>(info.param)) + "_Dimension" +
                                    NumberName(std::get<2>(info.param));
                         });

// ---- A shape value that names no shape ----

// Such a value must not pick a profile from past the end of the table: no
// pass writes or reports anything, and the dispatcher says it ran none.
class UnknownShapeTest : public testing::TestWithParam<std::int32_t> {};

TEST_P(UnknownShapeTest, NothingIsWrittenOrReported) {
    const Image source = Pattern(5, 4);
    ParallelogramSettings settings = Settings(Shape::Top, 60, Mode::Repeat);
    settings.shape = GetParam();
    const ProcessRect rect{0, 0, 5, 4};
    using Pass = void (*)(const PixelBGRA*, PixelBGRA*, const ProcessRect&, std::int32_t, std::int32_t,
                          const ProgressSink&, const ParallelogramSettings&);
    for (const Pass pass : {ShearRows, ShearColumns}) {
        Image destination = Filled(5, 4);
        Recorder recorder;
        pass(source.pixels.data(), destination.pixels.data(), rect, 5, 4, SinkFor(recorder), settings);
        EXPECT_EQ(destination.pixels, Filled(5, 4).pixels);
        EXPECT_TRUE(recorder.done.empty());
    }
    Image destination = Filled(5, 4);
    Recorder recorder;
    EXPECT_FALSE(
        ShearRectangle(source.pixels.data(), destination.pixels.data(), rect, 5, 4, SinkFor(recorder), settings));
    EXPECT_EQ(destination.pixels, Filled(5, 4).pixels);
    EXPECT_TRUE(recorder.done.empty());
}

INSTANTIATE_TEST_SUITE_P(OutOfRange, UnknownShapeTest,
                         testing::Values(-1, kShapeKindCount, 1000, std::numeric_limits<std::int32_t>::min(),
                                         std::numeric_limits<std::int32_t>::max()));

}  // namespace
