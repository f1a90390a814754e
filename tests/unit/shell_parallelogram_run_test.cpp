// The portable part of the filter's run: fill colour, clipping, dispatch.
#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "filters/parallelogram_run.h"

namespace {

// ------------------------------------------------------------- fill colour

struct QueryLog {
    std::vector<std::int32_t> codes;
    bool answer = true;
    PixelBGRA colour{10, 20, 30, 40};
};
QueryLog* currentLog = nullptr;

std::int32_t FakeQuery(std::int32_t code, void* data) {
    currentLog->codes.push_back(code);
    if (!currentLog->answer) return 0;
    *static_cast<PixelBGRA*>(data) = currentLog->colour;
    return 1;
}

struct FillCase {
    const char* name;
    std::int32_t mode, transparent;
    bool hostAnswers;
    std::vector<std::int32_t> codes;
    PixelBGRA expected;
};

class ResolveFillColourTest : public ::testing::TestWithParam<FillCase> {};

TEST_P(ResolveFillColourTest, AsksTheHostOnlyForColourModes) {
    const FillCase& c = GetParam();
    QueryLog log;
    log.answer = c.hostAnswers;
    currentLog = &log;
    const PixelBGRA fill = ResolveFillColour(UndefinedAreaPolicy{c.mode, {9, 9, 9, 9}, c.transparent}, FakeQuery);
    currentLog = nullptr;
    EXPECT_EQ(log.codes, c.codes);
    EXPECT_EQ(fill, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, ResolveFillColourTest,
    ::testing::Values(FillCase{"DrawingColour", 4, 0, true, {1}, {10, 20, 30, 40}},
                      FillCase{"DrawingColourTransparent", 4, 1, true, {1}, {10, 20, 30, 0}},
                      FillCase{"BackgroundColourOpaque", 5, 0, true, {3}, {10, 20, 30, 40}},
                      FillCase{"BackgroundColourTransparent", 5, 7, true, {3}, {10, 20, 30, 0}},
                      FillCase{"NoAnswerDrawingIsOpaqueBlack", 4, 0, false, {1}, {0, 0, 0, 255}},
                      FillCase{"NoAnswerBackgroundIsOpaqueWhite", 5, 0, false, {3}, {255, 255, 255, 255}},
                      FillCase{"NoAnswerBackgroundTransparent", 5, 1, false, {3}, {255, 255, 255, 0}},
                      FillCase{"RepeatAsksNothing", 2, 0, true, {}, {0, 0, 0, 0}},
                      FillCase{"EdgePixelAsksNothing", 0, 1, true, {}, {0, 0, 0, 0}}),
    [](const ::testing::TestParamInfo<FillCase>& info) { return info.param.name; });

// ----------------------------------------------------------------- clipping

struct ClipCase {
    const char* name;
    ProcessRect rect;
    ProcessRect expected;
};

class ClipRectTest : public ::testing::TestWithParam<ClipCase> {};

TEST_P(ClipRectTest, KeepsTheRectangleInsideTheImage) {
    const ClipCase& c = GetParam();
    ProcessRect clipped{};
    ASSERT_TRUE(ClipRectToImage(&c.rect, 8, 6, clipped));
    EXPECT_EQ(clipped.left, c.expected.left);
    EXPECT_EQ(clipped.top, c.expected.top);
    EXPECT_EQ(clipped.right, c.expected.right);
    EXPECT_EQ(clipped.bottom, c.expected.bottom);
}

INSTANTIATE_TEST_SUITE_P(
    Rects, ClipRectTest,
    ::testing::Values(ClipCase{"Inside", {1, 2, 5, 6}, {1, 2, 5, 6}},
                      ClipCase{"WholeImage", {0, 0, 8, 6}, {0, 0, 8, 6}},
                      ClipCase{"ReachingOut", {-3, -1, 20, 9}, {0, 0, 8, 6}},
                      ClipCase{"EntirelyRight", {10, 0, 12, 6}, {8, 0, 8, 6}},
                      ClipCase{"ExtremeValues", {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, {0, 0, 8, 6}}),
    [](const ::testing::TestParamInfo<ClipCase>& info) { return info.param.name; });

TEST(ClipRectToImage, RefusesNullRectAndEmptyImages) {
    const ProcessRect rect{0, 0, 1, 1};
    ProcessRect clipped{};
    EXPECT_FALSE(ClipRectToImage(nullptr, 8, 6, clipped));
    EXPECT_FALSE(ClipRectToImage(&rect, 0, 6, clipped));
    EXPECT_FALSE(ClipRectToImage(&rect, 8, -1, clipped));
}

// ------------------------------------------------------------------- passes

std::vector<std::pair<std::int32_t, std::int32_t>>* progressLog = nullptr;

std::int32_t PG_STDCALL RecordProgress(std::int32_t done, std::int32_t total, ProgressUserData) {
    progressLog->emplace_back(done, total);
    return 0;
}

class RunShearPassTest : public ::testing::Test {
protected:
    static constexpr int kWidth = 4, kHeight = 3;
    std::vector<PixelBGRA> source, destination;
    std::vector<std::pair<std::int32_t, std::int32_t>> progress;
    ParallelogramSettings settings{};

    void SetUp() override {
        for (int i = 0; i < kWidth * kHeight; ++i)
            source.push_back(PixelBGRA{static_cast<std::uint8_t>(i * 10), 1, 2, 255});
        destination.assign(source.size(), PixelBGRA{7, 7, 7, 7});
        settings.shape = 1;
        settings.dimension = 50;
        progressLog = &progress;
    }
    void TearDown() override { progressLog = nullptr; }

    bool Run(const ProcessRect* rect, int width = kWidth, int height = kHeight) {
        return RunShearPass(source.data(), destination.data(), rect, width, height, ProgressSink{0, RecordProgress},
                            settings);
    }
    bool DestinationUntouched() const {
        for (const PixelBGRA& p : destination)
            if (p != PixelBGRA{7, 7, 7, 7}) return false;
        return true;
    }
};

TEST_F(RunShearPassTest, RectReachingOutsideFollowsTheClippedRectangle) {
    const ProcessRect rect{-2, -5, 9, 100};
    ASSERT_TRUE(Run(&rect));
    // Three rows of the clipped rectangle: 0, 3333, 6666.
    EXPECT_EQ(progress, (std::vector<std::pair<std::int32_t, std::int32_t>>{{0, 10000}, {3333, 10000}, {6666, 10000}}));
    EXPECT_FALSE(DestinationUntouched());
}

TEST_F(RunShearPassTest, ClippedResultEqualsTheInsideRectangle) {
    const ProcessRect outside{-2, -5, 9, 100};
    ASSERT_TRUE(Run(&outside));
    const std::vector<PixelBGRA> clipped = destination;
    destination.assign(source.size(), PixelBGRA{7, 7, 7, 7});
    const ProcessRect inside{0, 0, kWidth, kHeight};
    ASSERT_TRUE(Run(&inside));
    EXPECT_EQ(destination, clipped);
}

TEST_F(RunShearPassTest, NothingRunsForNullRectNullImagesOrEmptySizes) {
    const ProcessRect rect{0, 0, kWidth, kHeight};
    EXPECT_FALSE(Run(nullptr));
    EXPECT_FALSE(Run(&rect, 0, kHeight));
    EXPECT_FALSE(Run(&rect, kWidth, -1));
    EXPECT_FALSE(
        RunShearPass(nullptr, destination.data(), &rect, kWidth, kHeight, ProgressSink{0, RecordProgress}, settings));
    EXPECT_FALSE(
        RunShearPass(source.data(), nullptr, &rect, kWidth, kHeight, ProgressSink{0, RecordProgress}, settings));
    settings.shape = 6;
    EXPECT_FALSE(Run(&rect));
    settings.shape = 1;
    settings.policy.mode = 6;
    EXPECT_FALSE(Run(&rect));
    EXPECT_TRUE(progress.empty());
    EXPECT_TRUE(DestinationUntouched());
}

TEST_F(RunShearPassTest, ColumnShapesRunTheColumnPass) {
    settings.shape = 4;
    const ProcessRect rect{0, 0, kWidth, kHeight};
    ASSERT_TRUE(Run(&rect));
    EXPECT_EQ(progress.size(), static_cast<std::size_t>(kWidth));  // one report per column
}

}  // namespace
