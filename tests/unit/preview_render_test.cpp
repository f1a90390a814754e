#include <gtest/gtest.h>

#include "case_names.h"

#include <cstdint>
#include <vector>

#include "shear/passes.h"
#include "ui/preview_render.h"

namespace {

// Records what the renderer hands over, unblended, in a w x h grid.
class RecordingSink : public PixelSink {
public:
    RecordingSink(std::int32_t w, std::int32_t h) : width(w), height(h), pixels(w * h, kUnwritten), alphas(w * h, -1) {}
    void PutPixel(std::int32_t x, std::int32_t y, const PixelBGRA& pixel, std::uint8_t alpha) override {
        ++calls;
        if (x < 0 || y < 0 || x >= width || y >= height) {
            ++outside;
            return;
        }
        pixels[y * width + x] = pixel;
        alphas[y * width + x] = alpha;
    }
    PixelBGRA At(std::int32_t x, std::int32_t y) const { return pixels[y * width + x]; }

    static constexpr PixelBGRA kUnwritten{1, 2, 3, 4};
    std::int32_t width, height;
    std::vector<PixelBGRA> pixels;
    std::vector<int> alphas;
    int calls = 0;
    int outside = 0;
};

std::vector<PixelBGRA> TestImage(std::int32_t w, std::int32_t h) {
    std::vector<PixelBGRA> image(w * h);
    for (std::int32_t y = 0; y < h; ++y)
        for (std::int32_t x = 0; x < w; ++x)
            image[y * w + x] =
                PixelBGRA{static_cast<std::uint8_t>(x * 23 + y * 7), static_cast<std::uint8_t>(x * 5 + y * 31),
                          static_cast<std::uint8_t>(x * y + 11), static_cast<std::uint8_t>(255 - x * 3 - y)};
    return image;
}

TEST(RenderUnchanged, CopiesTheWindowToItsDestinationWithItsOwnAlpha) {
    const auto image = TestImage(10, 8);
    RecordingSink sink(6, 6);
    RenderUnchanged(sink, PreviewImage{image.data(), 10, 8}, PreviewWindow{{1, 2}, {4, 3}, {5, 4}});
    EXPECT_EQ(sink.calls, 20);
    EXPECT_EQ(sink.outside, 0);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 5; ++j) {
            const PixelBGRA& source = image[(3 + i) * 10 + 4 + j];
            EXPECT_EQ(sink.At(1 + j, 2 + i), source);
            EXPECT_EQ(sink.alphas[(2 + i) * 6 + 1 + j], source.alpha);
        }
    EXPECT_EQ(sink.At(0, 0), RecordingSink::kUnwritten);
}

// The preview of the whole image against the final pass over the same bounds.
struct PassCase {
    ShapeKind shape;
    std::int32_t dimension;
    UndefinedAreaMode mode;
    ProcessRect bounds;
};

class PreviewAgainstFinalPass : public testing::TestWithParam<PassCase> {
protected:
    static constexpr std::int32_t kW = 13;
    static constexpr std::int32_t kH = 11;

    std::vector<PixelBGRA> Final(const std::vector<PixelBGRA>& image, std::int32_t transparent) {
        const PassCase& c = GetParam();
        std::vector<PixelBGRA> out(kW * kH, PixelBGRA{0, 0, 0, 0});
        ParallelogramSettings settings{ValueOf(c.shape), c.dimension, Policy(transparent), 0};
        const ProgressSink progress{0, nullptr};
        EXPECT_TRUE(ShearRectangle(image.data(), out.data(), c.bounds, kW, kH, progress, settings));
        return out;
    }
    RecordingSink Preview(const std::vector<PixelBGRA>& image, std::int32_t transparent) {
        const PassCase& c = GetParam();
        RecordingSink sink(kW, kH);
        const PreviewShear shear{c.bounds, nullptr, ValueOf(c.shape), c.dimension, Policy(transparent)};
        const PreviewWindow window{{0, 0}, {0, 0}, {kW, kH}};
        if (IsRowShape(c.shape))
            RenderRowShear(sink, PreviewImage{image.data(), kW, kH}, window, shear);
        else
            RenderColumnShear(sink, PreviewImage{image.data(), kW, kH}, window, shear);
        return sink;
    }
    static UndefinedAreaPolicy Policy(std::int32_t transparent) {
        const PixelBGRA fill{40, 80, 120, static_cast<std::uint8_t>(transparent ? 0 : 200)};
        return UndefinedAreaPolicy{ValueOf(GetParam().mode), fill, transparent};
    }
    static bool Inside(const ProcessRect& r, std::int32_t x, std::int32_t y) {
        return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
    }
};

TEST_P(PreviewAgainstFinalPass, SamePixelsInsideTheBounds) {
    const auto image = TestImage(kW, kH);
    const PassCase& c = GetParam();
    const auto expected = Final(image, 0);
    const RecordingSink preview = Preview(image, 0);
    EXPECT_EQ(preview.outside, 0);
    for (std::int32_t y = c.bounds.top; y < c.bounds.bottom; ++y)
        for (std::int32_t x = c.bounds.left; x < c.bounds.right; ++x)
            ASSERT_EQ(preview.At(x, y), expected[y * kW + x]) << x << "," << y;
}

TEST_P(PreviewAgainstFinalPass, TransparentOutsideRegionIsAllZeroInThePreview) {
    const auto image = TestImage(kW, kH);
    const PassCase& c = GetParam();
    const auto expected = Final(image, 1);
    const RecordingSink preview = Preview(image, 1);
    int zeroed = 0;
    for (std::int32_t y = c.bounds.top; y < c.bounds.bottom; ++y)
        for (std::int32_t x = c.bounds.left; x < c.bounds.right; ++x) {
            const PixelBGRA want = expected[y * kW + x];
            const PixelBGRA got = preview.At(x, y);
            if (got == want) continue;
            // Only an outside-region pixel may differ: alpha 0 in the final
            // pass, all four bytes 0 in the preview.
            ASSERT_EQ(want.alpha, 0) << x << "," << y;
            ASSERT_EQ(got, (PixelBGRA{0, 0, 0, 0})) << x << "," << y;
            ++zeroed;
        }
    EXPECT_GT(zeroed, 0) << "the case should reach an outside region";
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, PreviewAgainstFinalPass,
    testing::Values(PassCase{ShapeKind::TopAndBottom, 37, UndefinedAreaMode::EdgePixel, {0, 0, 13, 11}},
                    PassCase{ShapeKind::Top, -100, UndefinedAreaMode::Repeat, {0, 0, 13, 11}},
                    PassCase{ShapeKind::Bottom, 100, UndefinedAreaMode::Fold, {2, 1, 12, 9}},
                    PassCase{ShapeKind::TopAndBottom, -63, UndefinedAreaMode::DrawingColour, {3, 2, 10, 11}},
                    PassCase{ShapeKind::LeftAndRight, 55, UndefinedAreaMode::BackgroundColour, {0, 0, 13, 11}},
                    PassCase{ShapeKind::Left, 100, UndefinedAreaMode::Fold, {1, 3, 13, 10}},
                    PassCase{ShapeKind::Right, -100, UndefinedAreaMode::Repeat, {0, 0, 13, 11}},
                    PassCase{ShapeKind::Right, 71, UndefinedAreaMode::OriginalPixel, {4, 0, 9, 6}}),
    [](const testing::TestParamInfo<PassCase>& info) {
        const PassCase& c = info.param;
        return "Shape" + NumberName(ValueOf(c.shape)) + "_Dimension" + NumberName(c.dimension) + "_Mode" +
               NumberName(ValueOf(c.mode));
    });

// A small image with a mask: unselected pixels (0xFF) stay, any other byte
// (also 254) is sheared; the bounds are those of the selected pixels.
TEST(PreviewMask, UnselectedPixelsStayAndSelectedOnesAreSheared) {
    constexpr std::int32_t w = 8, h = 6;
    const auto image = TestImage(w, h);
    std::vector<std::uint8_t> mask(w * h, 0xFF);
    const ProcessRect bounds{2, 1, 7, 5};
    for (int y = bounds.top; y < bounds.bottom; ++y)
        for (int x = bounds.left; x < bounds.right; ++x) mask[y * w + x] = (x + y) % 2 ? 254 : 0;
    mask[3 * w + 4] = 0xFF;  // a hole inside the bounds

    const PreviewShear shear{bounds, mask.data(), ValueOf(ShapeKind::Bottom), 80,
                             UndefinedAreaPolicy{ValueOf(UndefinedAreaMode::EdgePixel), {}, 0}};
    RecordingSink sink(w, h);
    RenderRowShear(sink, PreviewImage{image.data(), w, h}, PreviewWindow{{0, 0}, {0, 0}, {w, h}}, shear);

    std::vector<PixelBGRA> final(w * h, PixelBGRA{0, 0, 0, 0});
    ShearRows(image.data(), final.data(), bounds, w, h, ProgressSink{0, nullptr},
              ParallelogramSettings{ValueOf(ShapeKind::Bottom), 80, shear.policy, 0});
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool selected = mask[y * w + x] != 0xFF;
            EXPECT_EQ(sink.At(x, y), selected ? final[y * w + x] : image[y * w + x]) << x << "," << y;
        }
    EXPECT_NE(final[4 * w + 3], image[4 * w + 3]) << "the fixture must actually shear";
}

TEST(PreviewMask, AMaskWithoutSelectionShowsTheImageUnchanged) {
    constexpr std::int32_t w = 5, h = 4;
    const auto image = TestImage(w, h);
    const std::vector<std::uint8_t> mask(w * h, 0xFF);
    // The degenerate bounds such a mask yields: left = w, top = h, right = bottom = 1.
    const PreviewShear shear{{w, h, 1, 1},
                             mask.data(),
                             ValueOf(ShapeKind::LeftAndRight),
                             90,
                             UndefinedAreaPolicy{ValueOf(UndefinedAreaMode::Fold), {}, 1}};
    RecordingSink sink(w, h);
    RenderColumnShear(sink, PreviewImage{image.data(), w, h}, PreviewWindow{{0, 0}, {0, 0}, {w, h}}, shear);
    for (int i = 0; i < w * h; ++i) EXPECT_EQ(sink.pixels[i], image[i]);
}

// Without a mask, lines beyond the bounds are sheared too, and their offsets
// grow past what the samplers can reach; those pixels must stay unchanged
// instead of reading outside the image (ASan watches the reads).
TEST(PreviewReach, PositionsBeyondSamplerReachShowThePixelUnchanged) {
    constexpr std::int32_t w = 6, h = 40;
    const auto image = TestImage(w, h);
    const ProcessRect bounds{0, 0, w, 2};  // lines 2..39 lie far beyond it
    for (UndefinedAreaMode mode : {UndefinedAreaMode::Repeat, UndefinedAreaMode::Fold, UndefinedAreaMode::EdgePixel}) {
        const PreviewShear shear{bounds, nullptr, ValueOf(ShapeKind::Top), 100,
                                 UndefinedAreaPolicy{ValueOf(mode), {}, 0}};
        RecordingSink sink(w, h);
        RenderRowShear(sink, PreviewImage{image.data(), w, h}, PreviewWindow{{0, 0}, {0, 0}, {w, h}}, shear);
        // Row 39: offset = -((2 - 39) * 6) / 2 = 111, so every p > 2w - 1.
        for (int x = 0; x < w; ++x) EXPECT_EQ(sink.At(x, 39), image[39 * w + x]) << ValueOf(mode);
    }
    const auto tall = TestImage(40, 6);
    RecordingSink sink(40, 6);
    RenderColumnShear(sink, PreviewImage{tall.data(), 40, 6}, PreviewWindow{{0, 0}, {0, 0}, {40, 6}},
                      PreviewShear{{0, 0, 2, 6},
                                   nullptr,
                                   ValueOf(ShapeKind::Left),
                                   -100,
                                   UndefinedAreaPolicy{ValueOf(UndefinedAreaMode::Fold), {}, 0}});
    for (int y = 0; y < 6; ++y) EXPECT_EQ(sink.At(39, y), tall[y * 40 + 39]);
}

TEST(PreviewWindowPlacement, RendersOnlyTheWindowAtItsDestination) {
    constexpr std::int32_t w = 20, h = 16;
    const auto image = TestImage(w, h);
    const PreviewShear shear{{0, 0, w, h},
                             nullptr,
                             ValueOf(ShapeKind::LeftAndRight),
                             45,
                             UndefinedAreaPolicy{ValueOf(UndefinedAreaMode::Repeat), {}, 0}};
    RecordingSink whole(w, h);
    RenderColumnShear(whole, PreviewImage{image.data(), w, h}, PreviewWindow{{0, 0}, {0, 0}, {w, h}}, shear);
    RecordingSink part(8, 6);
    RenderColumnShear(part, PreviewImage{image.data(), w, h}, PreviewWindow{{1, 2}, {9, 7}, {6, 4}}, shear);
    EXPECT_EQ(part.calls, 24);
    EXPECT_EQ(part.outside, 0);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 6; ++j) EXPECT_EQ(part.At(1 + j, 2 + i), whole.At(9 + j, 7 + i));
    EXPECT_EQ(part.At(0, 0), RecordingSink::kUnwritten);
}

}  // namespace
