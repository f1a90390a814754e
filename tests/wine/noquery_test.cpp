// A host that does not export RXF_QueryClientInfo: every query gives 0, the
// plug-in still works and still shows its error box.
#include <gtest/gtest.h>

#include <vector>

#include "plugin/client_info.h"
#include "test_support.h"

namespace {

class NoQueryHostTest : public ::testing::Test {
protected:
    PluginCopy plugin;
    MessageBoxCloser closer;
    std::vector<PixelBGRA> source{PixelBGRA{1, 2, 3, 255},    PixelBGRA{4, 5, 6, 255},    PixelBGRA{7, 8, 9, 255},
                                  PixelBGRA{10, 11, 12, 255}, PixelBGRA{13, 14, 15, 255}, PixelBGRA{16, 17, 18, 255},
                                  PixelBGRA{19, 20, 21, 255}, PixelBGRA{22, 23, 24, 255}};
    std::vector<PixelBGRA> destination = std::vector<PixelBGRA>(8, PixelBGRA{7, 7, 7, 7});

    void SetUp() override {
        ASSERT_TRUE(plugin.Loaded());
        ClearRecords();
    }
    void Execute() {
        const ProcessRect rect{0, 0, 4, 2};
        plugin.execute(0, nullptr, source.data(), destination.data(), 0, &rect, 0, 4, 2, RecordProgress, 0);
    }
};

TEST_F(NoQueryHostTest, ErrorBoxIsStillShown) {
    plugin.WriteSettings({"shape=0", "dimension=150"});
    Execute();
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, "設定ファイルに書き込まれている値が不正です。");
    EXPECT_EQ(Boxes()[0].caption, "エラー");
    EXPECT_EQ(destination[0], (PixelBGRA{7, 7, 7, 7}));
}

TEST_F(NoQueryHostTest, UnansweredColoursUseTheDefaults) {
    // Shape Top, dimension 50: row 0's first two pixels come from the fill.
    plugin.WriteSettings({"shape=1", "dimension=50", "undefarea=4"});
    Execute();
    EXPECT_EQ(destination[0], (PixelBGRA{0, 0, 0, 255}));
    plugin.WriteSettings({"shape=1", "dimension=50", "undefarea=5"});
    Execute();
    EXPECT_EQ(destination[0], (PixelBGRA{255, 255, 255, 255}));
    EXPECT_TRUE(Boxes().empty());
}

TEST(NoQueryHost, SelectionBoundsGivesZeroAndLeavesTheRectangle) {
    const std::uint8_t* mask = nullptr;
    ProcessRect rect{3, 4, 5, 6};
    EXPECT_EQ(GetSelectionBounds(&mask, &rect, 10, 10), 0);
    EXPECT_EQ(rect.left, 3);
    EXPECT_EQ(rect.top, 4);
    EXPECT_EQ(rect.right, 5);
    EXPECT_EQ(rect.bottom, 6);
    EXPECT_EQ(GetSelectionBounds(&mask, nullptr, 10, 10), 0);
    EXPECT_EQ(QueryClientInfo(QueryDrawingColour, nullptr), 0);
}

}  // namespace
