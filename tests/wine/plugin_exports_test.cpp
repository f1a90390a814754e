// The real plug-in loaded into this program, which plays the host.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "host_answers.h"
#include "plugin/client_info.h"
#include "test_hooks.h"
#include "test_support.h"

namespace {

const char kInvalidSettings[] = "設定ファイルに書き込まれている値が不正です。";
const char kErrorCaption[] = "エラー";
const PixelBGRA kUntouched{7, 7, 7, 7};

class PluginTest : public ::testing::Test {
protected:
    static PluginCopy* plugin;
    static void SetUpTestSuite() { plugin = new PluginCopy(); }
    static void TearDownTestSuite() {
        delete plugin;
        plugin = nullptr;
    }

    MessageBoxCloser closer;
    std::vector<PixelBGRA> source, destination;
    std::int32_t width = 0, height = 0;

    void SetUp() override {
        ASSERT_TRUE(plugin->Loaded()) << "cannot load a copy of " << ThePluginPath;
        ClearRecords();
        TheAnswers = TestHostAnswers{};
        TheProgressAnswer = 1;
        MakeImage(4, 2);
    }
    void TearDown() override { plugin->RemoveSettings(); }

    void MakeImage(std::int32_t w, std::int32_t h) {
        width = w;
        height = h;
        source.clear();
        for (std::int32_t i = 0; i < w * h; ++i)
            source.push_back(PixelBGRA{static_cast<std::uint8_t>(i * 17), static_cast<std::uint8_t>(255 - i),
                                       static_cast<std::uint8_t>(i * 3), 255});
        destination.assign(source.size(), kUntouched);
    }
    std::int32_t Execute(const ProcessRect* rect, std::int32_t index = 0, ProgressCallback callback = RecordProgress,
                         ProgressUserData userData = 0x1234) {
        return plugin->execute(index, nullptr, source.data(), destination.data(), 0, rect, 0, width, height, callback,
                               userData);
    }
    std::int32_t ExecuteWhole(std::int32_t index = 0) {
        const ProcessRect rect{0, 0, width, height};
        return Execute(&rect, index);
    }
    bool DestinationUntouched() const {
        return std::all_of(destination.begin(), destination.end(), [](const PixelBGRA& p) { return p == kUntouched; });
    }
    std::vector<std::int32_t> ProgressDone() const {
        std::vector<std::int32_t> done;
        for (const ProgressReport& r : ProgressReports()) {
            EXPECT_EQ(r.total, 10000);
            EXPECT_EQ(r.userData, 0x1234u);
            done.push_back(r.done);
        }
        return done;
    }
    bool Queried(int code) const {
        const std::string query = "query " + std::to_string(code);
        return std::find(Events().begin(), Events().end(), query) != Events().end();
    }
};

PluginCopy* PluginTest::plugin = nullptr;

// ------------------------------------------------------------------- texts

TEST_F(PluginTest, OffersOneFilter) { EXPECT_EQ(plugin->filterCount(), 1); }

TEST_F(PluginTest, PluginInfoIsOneTerminatedLine) {
    char buffer[200];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(plugin->getPluginInfo(buffer, sizeof buffer), 1);
    const std::size_t length = strnlen(buffer, sizeof buffer);
    ASSERT_LT(length, sizeof buffer);
    EXPECT_GT(length, 0u);
    EXPECT_EQ(std::strchr(buffer, '\n'), nullptr);
}

TEST_F(PluginTest, PluginInfoWithLengthZeroWritesNothing) {
    char buffer[8];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(plugin->getPluginInfo(buffer, 0), 1);
    EXPECT_EQ(std::string(buffer, sizeof buffer), std::string(8, '#'));
}

struct NameCase {
    const char* name;
    std::int32_t index, categoryLength, menuLength;
    std::string category, menu;  // the first length bytes of each buffer
};

class GetNameTest : public PluginTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(GetNameTest, FollowsTheCopyRule) {
    const NameCase& c = GetParam();
    char category[48], menu[48];
    std::memset(category, '#', sizeof category);
    std::memset(menu, '#', sizeof menu);
    EXPECT_EQ(plugin->getName(c.index, category, c.categoryLength, menu, c.menuLength), menu);
    EXPECT_EQ(std::string(category, c.categoryLength), c.category);
    EXPECT_EQ(std::string(menu, c.menuLength), c.menu);
    EXPECT_EQ(category[c.categoryLength], '#');  // nothing beyond the length
    EXPECT_EQ(menu[c.menuLength], '#');
}

const std::string kCategory = "Transform|変形";
const std::string kMenu = "Parallelogram...|平行四辺形...";

INSTANTIATE_TEST_SUITE_P(
    Buffers, GetNameTest,
    ::testing::Values(NameCase{"LengthZero", 0, 0, 0, "", ""}, NameCase{"Five", 0, 5, 5, "Trans", "Paral"},
                      NameCase{"ExactNoTerminator", 0, 14, 30, kCategory, kMenu},
                      NameCase{"OneMoreTerminated", 0, 15, 31, kCategory + '\0', kMenu + '\0'},
                      NameCase{"LongerZeroPadded", 0, 20, 40, kCategory + std::string(6, '\0'),
                               kMenu + std::string(10, '\0')},
                      NameCase{"IndexOne", 1, 6, 7, std::string(6, '\0'), std::string(7, '\0')},
                      NameCase{"IndexMinusOne", -1, 6, 7, std::string(6, '\0'), std::string(7, '\0')},
                      NameCase{"IndexSeven", 7, 6, 7, std::string(6, '\0'), std::string(7, '\0')}),
    [](const ::testing::TestParamInfo<NameCase>& info) { return info.param.name; });

TEST_F(PluginTest, SetupWithInvalidIndexReturnsZeroAndShowsNothing) {
    EXPECT_EQ(plugin->setup(1, nullptr, source.data(), width, height), 0);
    EXPECT_EQ(plugin->setup(-1, nullptr, source.data(), width, height), 0);
    EXPECT_TRUE(Boxes().empty());
}

// ---------------------------------------------------------------- progress

struct ProgressCase {
    const char* name;
    std::vector<std::string> settings;
    std::int32_t index, width, height;
    ProcessRect rect;
    std::vector<std::int32_t> done;
    bool writes;
};

class ProgressTest : public PluginTest, public ::testing::WithParamInterface<ProgressCase> {};

TEST_P(ProgressTest, ReportsBracketTheLines) {
    const ProgressCase& c = GetParam();
    plugin->WriteSettings(c.settings);
    MakeImage(c.width, c.height);
    EXPECT_EQ(Execute(&c.rect, c.index), 1);
    EXPECT_EQ(ProgressDone(), c.done);
    EXPECT_EQ(DestinationUntouched(), !c.writes);
    EXPECT_TRUE(Boxes().empty());
}

const std::vector<std::string> kRows = {"shape=0", "dimension=50"};
const std::vector<std::string> kColumns = {"shape=3", "dimension=50"};

INSTANTIATE_TEST_SUITE_P(
    Runs, ProgressTest,
    ::testing::Values(
        ProgressCase{"FourRows", kRows, 0, 5, 4, {0, 0, 5, 4}, {0, 0, 2500, 5000, 7500, 10000}, true},
        ProgressCase{"FourColumns", kColumns, 0, 4, 5, {0, 0, 4, 5}, {0, 0, 2500, 5000, 7500, 10000}, true},
        ProgressCase{"EmptyRectRows", kRows, 0, 5, 4, {0, 2, 5, 2}, {0, 10000}, false},
        ProgressCase{"NoColumnsThreeRows", kRows, 0, 5, 4, {2, 1, 2, 4}, {0, 0, 3333, 6666, 10000}, false},
        ProgressCase{"InvalidIndex", kRows, 7, 5, 4, {0, 0, 5, 4}, {0, 10000}, false},
        ProgressCase{"DimensionZero", {"shape=0", "dimension=0"}, 0, 5, 4, {0, 0, 5, 4}, {0, 10000}, false},
        ProgressCase{"NoSettingsFile", {}, 0, 5, 4, {0, 0, 5, 4}, {0, 10000}, false},
        // A rectangle reaching outside the image is clipped to it.
        ProgressCase{"RectClippedToImage", kRows, 0, 5, 4, {-3, -2, 9, 7}, {0, 0, 2500, 5000, 7500, 10000}, true},
        ProgressCase{"RectEntirelyBelow", kRows, 0, 5, 4, {0, 10, 5, 20}, {0, 10000}, false},
        // Inside out in the direction of the lines: one report per line, no
        // pixel written, whatever the undefined area.
        ProgressCase{"RightBeforeLeftEdge", kRows, 0, 8, 8, {5, 0, 2, 3}, {0, 0, 3333, 6666, 10000}, false},
        ProgressCase{"RightBeforeLeftDrawing",
                     {"shape=0", "dimension=50", "undefarea=4"},
                     0,
                     8,
                     8,
                     {5, 0, 2, 3},
                     {0, 0, 3333, 6666, 10000},
                     false},
        ProgressCase{"RightBeforeLeftBackground",
                     {"shape=0", "dimension=50", "undefarea=5"},
                     0,
                     8,
                     8,
                     {5, 0, 2, 3},
                     {0, 0, 3333, 6666, 10000},
                     false},
        ProgressCase{"BottomAboveTop",
                     {"shape=3", "dimension=50", "undefarea=4"},
                     0,
                     8,
                     8,
                     {0, 5, 3, 2},
                     {0, 0, 3333, 6666, 10000},
                     false},
        // Clipping turns it into {8, 0, 0, 3}.
        ProgressCase{"ClippedInsideOut",
                     {"shape=0", "dimension=50", "undefarea=5"},
                     0,
                     8,
                     8,
                     {10, 0, -5, 3},
                     {0, 0, 3333, 6666, 10000},
                     false}),
    [](const ::testing::TestParamInfo<ProgressCase>& info) { return info.param.name; });

TEST_F(PluginTest, NullCallbackReturnsZero) {
    plugin->WriteSettings(kRows);
    const ProcessRect rect{0, 0, width, height};
    EXPECT_EQ(Execute(&rect, 0, nullptr), 0);
    EXPECT_FALSE(DestinationUntouched());
}

TEST_F(PluginTest, ReturnsWhatTheClosingReportReturned) {
    plugin->WriteSettings(kRows);
    TheProgressAnswer = 42;
    EXPECT_EQ(ExecuteWhole(), 42);
    TheProgressAnswer = -5;
    EXPECT_EQ(ExecuteWhole(7), -5);
}

TEST_F(PluginTest, NullRectOrEmptyImageRunsNoPass) {
    plugin->WriteSettings(kRows);
    EXPECT_EQ(Execute(nullptr), 1);
    const ProcessRect rect{0, 0, 4, 2};
    EXPECT_EQ(plugin->execute(0, nullptr, source.data(), destination.data(), 0, &rect, 0, 0, 2, RecordProgress, 0x1234),
              1);
    EXPECT_EQ(plugin->execute(0, nullptr, nullptr, nullptr, 0, &rect, 0, 4, 2, RecordProgress, 0x1234), 1);
    EXPECT_EQ(ProgressDone(), (std::vector<std::int32_t>{0, 10000, 0, 10000, 0, 10000}));
    EXPECT_TRUE(DestinationUntouched());
}

// -------------------------------------------------------------- Setup guard

// No exception leaves RXF_Setup: the hooked build throws on request, and the
// box shown has the fixed message, the exception's own text when it has one,
// the caption "exception", and comes without the host's error notice.
const std::string kSetupFailed = "設定ダイアログで例外が発生しました。\n処理を中断します。";

struct GuardCase {
    const char* name;
    std::int32_t height;  // picks the exception (test_hooks.h)
    std::string what;
    std::string text;  // the box's
};

class SetupGuardTest : public ::testing::TestWithParam<GuardCase> {
protected:
    static PluginCopy* hooked;
    static void SetUpTestSuite() { hooked = new PluginCopy(TheHookedPluginPath, kHookedPluginName); }
    static void TearDownTestSuite() {
        delete hooked;
        hooked = nullptr;
    }
    MessageBoxCloser closer;
};

PluginCopy* SetupGuardTest::hooked = nullptr;

TEST_P(SetupGuardTest, ShowsTheExceptionBoxAndReturnsZero) {
    const GuardCase& c = GetParam();
    ASSERT_TRUE(hooked->Loaded()) << "cannot load a copy of " << TheHookedPluginPath;
    ClearRecords();
    TheAnswers = TestHostAnswers{};
    const auto* what = reinterpret_cast<const PixelBGRA*>(c.what.c_str());
    EXPECT_EQ(hooked->setup(0, nullptr, what, 1, c.height), 0);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, c.text);
    EXPECT_EQ(Boxes()[0].caption, "exception");
    EXPECT_EQ(Events(), (std::vector<std::string>{"box"})) << "no notice to the host";
}

// The composed text holds 511 bytes: 55 of the fixed message, two line
// breaks, 454 of the exception's text.
INSTANTIATE_TEST_SUITE_P(
    Exceptions, SetupGuardTest,
    ::testing::Values(GuardCase{"Standard", kHookThrowStandardHeight, "abc", kSetupFailed + "\n\nabc"},
                      GuardCase{"StandardWithLongText", kHookThrowStandardHeight, std::string(600, 'x'),
                                kSetupFailed + "\n\n" + std::string(454, 'x')},
                      GuardCase{"OutsideTheStandardFamily", kHookThrowOtherHeight, "", kSetupFailed}),
    [](const ::testing::TestParamInfo<GuardCase>& info) { return info.param.name; });

// ------------------------------------------------------ settings validation

class InvalidDimensionTest : public PluginTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(InvalidDimensionTest, ShowsTheErrorBoxAfterNotifyingTheHost) {
    plugin->WriteSettings({"shape=0", GetParam(), "undefarea=4"});
    EXPECT_EQ(ExecuteWhole(), 1);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, kInvalidSettings);
    EXPECT_EQ(Boxes()[0].caption, kErrorCaption);
    EXPECT_EQ(Events(), (std::vector<std::string>{"progress 0", "query 5", "box", "progress 10000"}));
    EXPECT_TRUE(DestinationUntouched());
}

INSTANTIATE_TEST_SUITE_P(Values, InvalidDimensionTest,
                         ::testing::Values("dimension=101", "dimension=-101", "dimension=150"));

TEST_F(PluginTest, DimensionHundredInBothDirectionsRuns) {
    for (const char* value : {"dimension=100", "dimension=-100"}) {
        destination.assign(source.size(), kUntouched);
        plugin->WriteSettings({"shape=1", value});
        ExecuteWhole();
        EXPECT_FALSE(DestinationUntouched()) << value;
    }
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(PluginTest, DimensionZeroAsksNothingAndWritesNothing) {
    plugin->WriteSettings({"shape=0", "dimension=0", "undefarea=4"});
    ExecuteWhole();
    EXPECT_EQ(Events(), (std::vector<std::string>{"progress 0", "progress 10000"}));
    EXPECT_TRUE(DestinationUntouched());
}

TEST_F(PluginTest, ShapeSevenRunsAsShapeZero) {
    plugin->WriteSettings({"shape=0", "dimension=60"});
    ExecuteWhole();
    const std::vector<PixelBGRA> shapeZero = destination;
    destination.assign(source.size(), kUntouched);
    plugin->WriteSettings({"shape=7", "dimension=60"});
    ExecuteWhole();
    EXPECT_EQ(destination, shapeZero);
    EXPECT_TRUE(Boxes().empty());
}

// ----------------------------------------------------------------- colours

// Shape Top, dimension 50 on a 4 x 2 image: row 0 reads positions -2..1, so
// its pixels 0 and 1 come from beyond the left edge, i.e. from the fill.
struct ColourCase {
    const char* name;
    int mode, transparent;
    bool hostAnswers;
    int expectedQuery;  // 0: none
    PixelBGRA expectedFill;
};

class ColourTest : public PluginTest, public ::testing::WithParamInterface<ColourCase> {};

TEST_P(ColourTest, FillComesFromTheHost) {
    const ColourCase& c = GetParam();
    TheAnswers.answerColours = c.hostAnswers;
    plugin->WriteSettings({"shape=1", "dimension=50", "undefarea=" + std::to_string(c.mode),
                           "transparent=" + std::to_string(c.transparent)});
    ExecuteWhole();
    EXPECT_EQ(Queried(1), c.expectedQuery == 1);
    EXPECT_EQ(Queried(3), c.expectedQuery == 3);
    EXPECT_FALSE(Queried(4));
    EXPECT_EQ(destination[0], c.expectedFill);
    EXPECT_EQ(destination[1], c.expectedFill);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, ColourTest,
    ::testing::Values(ColourCase{"DrawingTransparent", 4, 1, true, 1, {10, 20, 30, 0}},
                      ColourCase{"DrawingOpaque", 4, 0, true, 1, {10, 20, 30, 200}},
                      ColourCase{"BackgroundOpaque", 5, 0, true, 3, {40, 50, 60, 150}},
                      ColourCase{"DrawingUnansweredIsOpaqueBlack", 4, 0, false, 1, {0, 0, 0, 255}},
                      ColourCase{"BackgroundUnansweredIsOpaqueWhite", 5, 0, false, 3, {255, 255, 255, 255}}),
    [](const ::testing::TestParamInfo<ColourCase>& info) { return info.param.name; });

TEST_F(PluginTest, RepeatAsksForNoColour) {
    plugin->WriteSettings({"shape=1", "dimension=50", "undefarea=2"});
    ExecuteWhole();
    EXPECT_EQ(Events(), (std::vector<std::string>{"progress 0", "progress 0", "progress 5000", "progress 10000"}));
    // Repeat: row 0 reads positions -2..1, i.e. source pixels 2 3 0 1.
    EXPECT_EQ(destination[0], source[2]);
    EXPECT_EQ(destination[1], source[3]);
}

// -------------------------------------------------------- settings location

TEST_F(PluginTest, SettingsAreReadBesideTheModuleOnly) {
    // The current directory holds an invalid file; beside the module lies a
    // valid one.  Only the latter counts.
    TempDirectory elsewhere("cwd");
    WriteSettingsFile(elsewhere.File("knfilters.ini"), {"shape=0", "dimension=999"});
    char previous[MAX_PATH];
    GetCurrentDirectoryA(sizeof previous, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(elsewhere.Path().c_str()));

    plugin->WriteSettings({"shape=1", "dimension=50"});
    ExecuteWhole();
    const bool wrote = !DestinationUntouched();
    plugin->RemoveSettings();
    destination.assign(source.size(), kUntouched);
    ExecuteWhole();  // no file beside the module: defaults, dimension 0
    const bool wroteWithoutFile = !DestinationUntouched();

    SetCurrentDirectoryA(previous);
    DeleteFileA(elsewhere.File("knfilters.ini").c_str());
    EXPECT_TRUE(wrote);
    EXPECT_FALSE(wroteWithoutFile);
    EXPECT_TRUE(Boxes().empty());
}

// ------------------------------------------------------------ version block

TEST_F(PluginTest, VersionBlockIsJapanese) {
    const std::string path = plugin->ModulePath();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00000001u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00000001u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);

    WORD* translation = nullptr;
    ASSERT_TRUE(
        VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    ASSERT_GE(length, 4u);
    EXPECT_EQ(translation[0], 0x0411);
    EXPECT_EQ(translation[1], 932);

    char* description = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\041103a4\\FileDescription",
                               reinterpret_cast<void**>(&description), &length));
    EXPECT_STREQ(description, "平行四辺形フィルタ");
}

// ------------------------------------------------- selection bounds (host)

// GetSelectionBounds finds this program's RXF_QueryClientInfo by the name
// of the main executable, exactly as the plug-in does.
TEST(SelectionBoundsFromHost, ScansTheMaskTheHostSupplies) {
    ClearRecords();
    TheAnswers = TestHostAnswers{};
    std::vector<std::uint8_t> mask(6 * 5, 0xFF);
    mask[1 * 6 + 4] = 0;
    mask[3 * 6 + 2] = 254;
    TheAnswers.mask = mask.data();
    const std::uint8_t* received = nullptr;
    ProcessRect rect{-1, -1, -1, -1};
    EXPECT_EQ(GetSelectionBounds(&received, &rect, 6, 5), 1);
    EXPECT_EQ(received, mask.data());
    EXPECT_EQ(rect.left, 2);
    EXPECT_EQ(rect.top, 1);
    EXPECT_EQ(rect.right, 5);
    EXPECT_EQ(rect.bottom, 4);
    EXPECT_EQ(GetSelectionBounds(&received, nullptr, 6, 5), 1);
    EXPECT_EQ(Events(), (std::vector<std::string>{"query 4", "query 4"}));
    TheAnswers = TestHostAnswers{};
}

TEST(SelectionBoundsFromHost, NoMaskLeavesTheRectangle) {
    TheAnswers = TestHostAnswers{};
    const std::uint8_t* received = nullptr;
    ProcessRect rect{1, 2, 3, 4};
    EXPECT_EQ(GetSelectionBounds(&received, &rect, 6, 5), 0);
    EXPECT_EQ(rect.left, 1);
    EXPECT_EQ(rect.bottom, 4);
    EXPECT_EQ(GetSelectionBounds(&received, nullptr, 6, 5), 0);
}

TEST(ShowErrorBoxFromHost, NullTextOnlyNotifies) {
    MessageBoxCloser closer;
    ClearRecords();
    ShowErrorBox(nullptr, nullptr, "x");
    EXPECT_EQ(Events(), (std::vector<std::string>{"query 5"}));
    ShowErrorBox(nullptr, "text", nullptr);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, "text");
    EXPECT_EQ(Boxes()[0].caption, kErrorCaption);
    EXPECT_EQ(Events(), (std::vector<std::string>{"query 5", "query 5", "box"}));
}

}  // namespace
