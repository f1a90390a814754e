#include <gtest/gtest.h>

#include "case_names.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include "tools/parallelogram-cli/cli.h"

namespace fs = std::filesystem;
using pgcli::Options;
using pgcli::ParseArguments;
using pgcli::ParseStatus;

namespace {

// ---- Command line ----

struct BadArgsCase {
    const char* name;
    std::vector<std::string> args;
    const char* messagePart;
};

class BadArgumentsTest : public testing::TestWithParam<BadArgsCase> {};

TEST_P(BadArgumentsTest, AreRejectedWithAMessageNamingTheProblem) {
    const BadArgsCase& c = GetParam();
    const pgcli::ParseResult result = ParseArguments(c.args);
    EXPECT_EQ(result.status, ParseStatus::Error);
    EXPECT_NE(result.error.find(c.messagePart), std::string::npos) << result.error;
    EXPECT_EQ(result.error.find('\n'), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadArgumentsTest,
    testing::Values(
        BadArgsCase{"NoFiles", {}, "got 0"},
        BadArgsCase{"OneFile", {"in.png"}, "got 1"},
        BadArgsCase{"ThreeFiles", {"a", "b", "c"}, "got 3"},
        BadArgsCase{"DimensionSuffix", {"a", "b", "--dimension", "5x"}, "--dimension '5x'"},
        BadArgsCase{"DimensionEmpty", {"a", "b", "--dimension", ""}, "--dimension ''"},
        BadArgsCase{"DimensionExponent", {"a", "b", "--dimension", "1e2"}, "--dimension '1e2'"},
        BadArgsCase{"DimensionDecimal", {"a", "b", "--dimension", "2.5"}, "--dimension"},
        BadArgsCase{"DimensionSpace", {"a", "b", "--dimension", " 5"}, "--dimension"},
        BadArgsCase{"DimensionTooLarge", {"a", "b", "--dimension", "101"}, "-100 to 100"},
        BadArgsCase{"DimensionTooSmall", {"a", "b", "--dimension=-101"}, "-100 to 100"},
        BadArgsCase{"DimensionOverflow", {"a", "b", "--dimension", "4294967296"}, "--dimension"},
        BadArgsCase{"DimensionHuge", {"a", "b", "--dimension", "99999999999999999999999"}, "--dimension"},
        BadArgsCase{"DimensionSignOnly", {"a", "b", "--dimension", "-"}, "--dimension"},
        BadArgsCase{"ShapeUnknown", {"a", "b", "--shape", "diagonal"}, "--shape 'diagonal'"},
        BadArgsCase{"ShapeNumberTooLarge", {"a", "b", "--shape", "6"}, "--shape '6'"},
        BadArgsCase{"ShapeNegative", {"a", "b", "--shape", "-1"}, "--shape"},
        BadArgsCase{"ModeUnknown", {"a", "b", "--undefined", "wrap"}, "--undefined 'wrap'"},
        BadArgsCase{"ModeNumberTooLarge", {"a", "b", "--undefined=6"}, "--undefined '6'"},
        BadArgsCase{"FillWithoutHash", {"a", "b", "--fill", "FF0000FF"}, "--fill"},
        BadArgsCase{"FillShort", {"a", "b", "--fill", "#FFF"}, "--fill"},
        BadArgsCase{"FillNotHex", {"a", "b", "--fill", "#GG0000FF"}, "--fill"},
        BadArgsCase{"RectThreeValues", {"a", "b", "--rect", "0,0,4"}, "--rect"},
        BadArgsCase{"RectFiveValues", {"a", "b", "--rect", "0,0,4,4,4"}, "--rect"},
        BadArgsCase{"RectEmptyValue", {"a", "b", "--rect", "0,,4,4"}, "--rect"},
        BadArgsCase{"RectTrailingComma", {"a", "b", "--rect", "0,0,4,4,"}, "--rect"},
        BadArgsCase{"RectLeftAfterRight", {"a", "b", "--rect", "5,0,4,4"}, "LEFT <= RIGHT"},
        BadArgsCase{"RectTopAfterBottom", {"a", "b", "--rect", "0,5,4,4"}, "--rect"},
        BadArgsCase{"RectOverflow", {"a", "b", "--rect", "0,0,2147483648,4"}, "--rect"},
        BadArgsCase{"UnknownOption", {"a", "b", "--colour", "x"}, "unknown option '--colour'"},
        BadArgsCase{"UnknownShortOption", {"-q", "a", "b"}, "unknown option '-q'"},
        BadArgsCase{"MissingValue", {"a", "b", "--shape"}, "--shape needs a value"},
        BadArgsCase{"FlagWithValue", {"a", "b", "--quiet=yes"}, "--quiet takes no value"}),
    [](const testing::TestParamInfo<BadArgsCase>& info) { return std::string(info.param.name); });

TEST(ParseArguments, DefaultsAreTopBottomZeroEdgeOpaqueBlackWholeImage) {
    const pgcli::ParseResult result = ParseArguments({"in.png", "out.png"});
    ASSERT_EQ(result.status, ParseStatus::Run);
    const Options& o = result.options;
    EXPECT_EQ(o.input, "in.png");
    EXPECT_EQ(o.output, "out.png");
    EXPECT_EQ(o.shape, TopAndBottom);
    EXPECT_EQ(o.dimension, 0);
    EXPECT_EQ(o.mode, EdgePixel);
    EXPECT_EQ(o.fill, (PixelBGRA{0, 0, 0, 255}));
    EXPECT_FALSE(o.transparent);
    EXPECT_FALSE(o.hasRect);
    EXPECT_FALSE(o.quiet);
}

TEST(ParseArguments, ReadsEveryOptionInBothForms) {
    const pgcli::ParseResult result =
        ParseArguments({"--shape", "left", "in.png", "--dimension", "-30", "--undefined=fold", "--fill=#10203040",
                        "--transparent", "--rect", "1,2,3,4", "--quiet", "out.png"});
    ASSERT_EQ(result.status, ParseStatus::Run) << result.error;
    const Options& o = result.options;
    EXPECT_EQ(o.input, "in.png");
    EXPECT_EQ(o.output, "out.png");
    EXPECT_EQ(o.shape, Left);
    EXPECT_EQ(o.dimension, -30);
    EXPECT_EQ(o.mode, Fold);
    EXPECT_EQ(o.fill, (PixelBGRA{0x30, 0x20, 0x10, 0x40}));
    EXPECT_TRUE(o.transparent);
    EXPECT_TRUE(o.hasRect);
    EXPECT_EQ(o.rect.left, 1);
    EXPECT_EQ(o.rect.top, 2);
    EXPECT_EQ(o.rect.right, 3);
    EXPECT_EQ(o.rect.bottom, 4);
    EXPECT_TRUE(o.quiet);
}

TEST(ParseArguments, DoubleDashEndsOptionsAndHelpWinsBeforeIt) {
    const pgcli::ParseResult files = ParseArguments({"--", "-in.png", "--help"});
    ASSERT_EQ(files.status, ParseStatus::Run) << files.error;
    EXPECT_EQ(files.options.input, "-in.png");
    EXPECT_EQ(files.options.output, "--help");
    EXPECT_EQ(ParseArguments({"--bogus", "--help"}).status, ParseStatus::Help);
    EXPECT_EQ(ParseArguments({"-h"}).status, ParseStatus::Help);
}

struct NamedValueCase {
    const char* text;
    std::int32_t shape;  // -1: rejected
    std::int32_t mode;   // -1: rejected
};

class ShapeAndModeNamesTest : public testing::TestWithParam<NamedValueCase> {};

TEST_P(ShapeAndModeNamesTest, MapNamesAndNumbers) {
    const NamedValueCase& c = GetParam();
    std::int32_t shape = -1, mode = -1;
    EXPECT_EQ(pgcli::ParseShape(c.text, &shape), c.shape >= 0);
    if (c.shape >= 0) {
        EXPECT_EQ(shape, c.shape);
    }
    EXPECT_EQ(pgcli::ParseMode(c.text, &mode), c.mode >= 0);
    if (c.mode >= 0) {
        EXPECT_EQ(mode, c.mode);
    }
}

INSTANTIATE_TEST_SUITE_P(Names, ShapeAndModeNamesTest,
                         testing::Values(NamedValueCase{"top-bottom", TopAndBottom, -1},
                                         NamedValueCase{"top", Top, -1}, NamedValueCase{"bottom", Bottom, -1},
                                         NamedValueCase{"left-right", LeftAndRight, -1},
                                         NamedValueCase{"left", Left, -1}, NamedValueCase{"right", Right, -1},
                                         NamedValueCase{"edge", -1, EdgePixel},
                                         NamedValueCase{"original", -1, OriginalPixel},
                                         NamedValueCase{"repeat", -1, Repeat}, NamedValueCase{"fold", -1, Fold},
                                         NamedValueCase{"drawing", -1, DrawingColour},
                                         NamedValueCase{"background", -1, BackgroundColour},
                                         NamedValueCase{"0", 0, 0}, NamedValueCase{"5", 5, 5},
                                         NamedValueCase{"6", -1, -1}, NamedValueCase{"Top", -1, -1},
                                         NamedValueCase{"", -1, -1}),
                         [](const testing::TestParamInfo<NamedValueCase>& info) {
                             return "Text_" + TextName(info.param.text);
                         });

// ---- Colour parser ----

struct ColourCase {
    const char* text;
    bool ok;
    PixelBGRA expected;  // blue, green, red, alpha
};

class ParseColourTest : public testing::TestWithParam<ColourCase> {};

TEST_P(ParseColourTest, ReadsRedGreenBlueAlpha) {
    const ColourCase& c = GetParam();
    PixelBGRA colour{7, 7, 7, 7};
    EXPECT_EQ(pgcli::ParseColour(c.text, &colour), c.ok) << c.text;
    const PixelBGRA unchanged{7, 7, 7, 7};
    EXPECT_EQ(colour, c.ok ? c.expected : unchanged) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseColourTest,
    testing::Values(ColourCase{"#11223344", true, {0x33, 0x22, 0x11, 0x44}},
                    ColourCase{"#aBcDeF00", true, {0xEF, 0xCD, 0xAB, 0x00}},
                    ColourCase{"#FF8000", true, {0x00, 0x80, 0xFF, 0xFF}},
                    ColourCase{"#000000FF", true, {0, 0, 0, 255}}, ColourCase{"", false, {}},
                    ColourCase{"#", false, {}}, ColourCase{"11223344", false, {}},
                    ColourCase{"#1122334", false, {}}, ColourCase{"#112233445", false, {}},
                    ColourCase{"#11 23344", false, {}}, ColourCase{"#-1223344", false, {}},
                    ColourCase{"#11223x44", false, {}}),
    [](const testing::TestParamInfo<ColourCase>& info) { return "Text_" + TextName(info.param.text); });

// ---- Runs on files ----

class ToolRunTest : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/pg-cli-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory_ = pattern;
    }
    void TearDown() override { fs::remove_all(directory_); }

    std::string PathOf(const std::string& name) const { return (directory_ / name).string(); }

    // A 9 x 6 RGBA image with varying alpha, written as PNG.
    pgcli::Image WriteSample(const std::string& name) {
        const int w = 9, h = 6;
        std::vector<std::uint8_t> rgba(w * h * 4);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                std::uint8_t* p = &rgba[(y * w + x) * 4];
                p[0] = static_cast<std::uint8_t>(x * 28);
                p[1] = static_cast<std::uint8_t>(y * 40 + 3);
                p[2] = static_cast<std::uint8_t>(200 - x * y);
                p[3] = static_cast<std::uint8_t>(255 - (x + y) * 13);
            }
        EXPECT_NE(stbi_write_png(PathOf(name).c_str(), w, h, 4, rgba.data(), w * 4), 0);
        return pgcli::ImageFromRgba(rgba.data(), w, h);
    }

    pgcli::Image ReadBack(const std::string& name) {
        int w = 0, h = 0, channels = 0;
        stbi_uc* data = stbi_load(PathOf(name).c_str(), &w, &h, &channels, 0);
        EXPECT_NE(data, nullptr) << name;
        EXPECT_EQ(channels, 4);
        if (data == nullptr || channels != 4) return pgcli::Image();
        pgcli::Image image = pgcli::ImageFromRgba(data, w, h);
        stbi_image_free(data);
        return image;
    }

    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(directory_)) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    Options MakeOptions(std::vector<std::string> args) {
        const pgcli::ParseResult parsed = ParseArguments(args);
        EXPECT_EQ(parsed.status, ParseStatus::Run) << parsed.error;
        return parsed.options;
    }

    fs::path directory_;
};

TEST_F(ToolRunTest, RoundTripMatchesThePassRunDirectly) {
    struct Case {
        std::vector<std::string> extra;
        ParallelogramSettings settings;
        ProcessRect rect;
    };
    const PixelBGRA fill{0x30, 0x20, 0x10, 0x40};
    const Case cases[] = {
        {{"--dimension", "45", "--undefined", "repeat"}, {TopAndBottom, 45, {Repeat, {0, 0, 0, 255}, 0}, 0}, {0, 0, 9, 6}},
        // The transparent option clears the fill colour's alpha as well.
        {{"--shape", "bottom", "--dimension", "-70", "--undefined", "drawing", "--fill", "#10203040", "--transparent"},
         {Bottom, -70, {DrawingColour, WithoutAlpha(fill), 1}, 0},
         {0, 0, 9, 6}},
        {{"--shape", "right", "--dimension", "100", "--undefined", "fold", "--rect", "2,1,7,5"},
         {Right, 100, {Fold, {0, 0, 0, 255}, 0}, 0},
         {2, 1, 7, 5}},
        {{"--shape", "left-right", "--dimension", "33", "--undefined", "background", "--fill", "#10203040"},
         {LeftAndRight, 33, {BackgroundColour, fill, 0}, 0},
         {0, 0, 9, 6}},
    };
    const pgcli::Image source = WriteSample("in.png");
    for (const Case& c : cases) {
        std::vector<std::string> args = {PathOf("in.png"), PathOf("out.png")};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        std::string error;
        ASSERT_EQ(pgcli::RunTool(MakeOptions(args), ProgressSink{0, nullptr}, &error), pgcli::kExitOk) << error;

        std::vector<PixelBGRA> expected = source.pixels;
        const ProgressSink none{0, nullptr};
        if (IsRowShape(c.settings.shape))
            ShearRows(source.pixels.data(), expected.data(), c.rect, 9, 6, none, c.settings);
        else
            ShearColumns(source.pixels.data(), expected.data(), c.rect, 9, 6, none, c.settings);
        const pgcli::Image result = ReadBack("out.png");
        EXPECT_EQ(result.width, 9);
        EXPECT_EQ(result.height, 6);
        EXPECT_EQ(result.pixels, expected) << c.extra[1];
    }
    EXPECT_EQ(Entries(), (std::vector<std::string>{"in.png", "out.png"}));
}

TEST_F(ToolRunTest, DimensionZeroAndEmptyRectangleCopyTheInput) {
    const pgcli::Image source = WriteSample("in.png");
    const std::vector<std::vector<std::string>> cases = {
        {"--dimension", "0", "--undefined", "drawing", "--transparent"},
        {"--dimension", "80", "--rect", "3,2,3,6", "--transparent"},
        {"--dimension", "80", "--shape", "left", "--rect", "0,6,9,6", "--transparent"},
    };
    for (const auto& extra : cases) {
        std::vector<std::string> args = {PathOf("in.png"), PathOf("out.png")};
        args.insert(args.end(), extra.begin(), extra.end());
        std::string error;
        ASSERT_EQ(pgcli::RunTool(MakeOptions(args), ProgressSink{0, nullptr}, &error), pgcli::kExitOk) << error;
        EXPECT_EQ(ReadBack("out.png").pixels, source.pixels) << extra[3];
    }
}

TEST_F(ToolRunTest, ReportsProgressThroughTheSink) {
    WriteSample("in.png");
    std::vector<std::int32_t> reports;
    auto record = [](std::int32_t done, std::int32_t, ProgressUserData userData) -> std::int32_t {
        reinterpret_cast<std::vector<std::int32_t>*>(userData)->push_back(done);
        return 1;
    };
    std::string error;
    ASSERT_EQ(pgcli::RunTool(MakeOptions({PathOf("in.png"), PathOf("out.png"), "--dimension", "10"}),
                             ProgressSink{reinterpret_cast<ProgressUserData>(&reports), record}, &error),
              pgcli::kExitOk);
    EXPECT_EQ(reports, (std::vector<std::int32_t>{0, 1666, 3333, 5000, 6666, 8333}));
}

struct FailingRunCase {
    const char* name;
    const char* input;   // file name inside the test directory
    const char* output;  // likewise
    std::vector<std::string> extra;
    const char* messagePart;
};

class FailingRunTest : public ToolRunTest, public testing::WithParamInterface<FailingRunCase> {};

TEST_P(FailingRunTest, LeavesNoOutputBehind) {
    const FailingRunCase& c = GetParam();
    WriteSample("in.png");
    std::ofstream(PathOf("text.png")) << "not an image";
    std::ofstream(PathOf("empty.png"));
    // A truncated PNG: the signature and part of the header only.
    {
        std::ifstream in(PathOf("in.png"), std::ios::binary);
        std::string head(20, '\0');
        in.read(&head[0], 20);
        std::ofstream(PathOf("cut.png"), std::ios::binary) << head;
    }
    fs::create_directory(PathOf("folder"));
    const std::vector<std::string> before = Entries();

    std::vector<std::string> args = {PathOf(c.input), PathOf(c.output), "--dimension", "50"};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    std::string error;
    EXPECT_EQ(pgcli::RunTool(MakeOptions(args), ProgressSink{0, nullptr}, &error), pgcli::kExitFailure);
    EXPECT_NE(error.find(c.messagePart), std::string::npos) << error;
    EXPECT_EQ(Entries(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FailingRunTest,
    testing::Values(FailingRunCase{"MissingInput", "absent.png", "out.png", {}, "cannot open"},
                    FailingRunCase{"TextInput", "text.png", "out.png", {}, "as an image"},
                    FailingRunCase{"EmptyInput", "empty.png", "out.png", {}, "as an image"},
                    FailingRunCase{"TruncatedInput", "cut.png", "out.png", {}, "as an image"},
                    FailingRunCase{"InputIsADirectory", "folder", "out.png", {}, "folder"},
                    FailingRunCase{"RectPastRight", "in.png", "out.png", {"--rect", "0,0,10,6"}, "9x6"},
                    FailingRunCase{"RectPastBottom", "in.png", "out.png", {"--rect", "0,0,9,7"}, "does not lie"},
                    FailingRunCase{"RectNegative", "in.png", "out.png", {"--rect", "-1,0,5,5"}, "does not lie"},
                    FailingRunCase{"EmptyRectOutside", "in.png", "out.png", {"--rect", "20,0,20,6"}, "does not lie"},
                    FailingRunCase{"OutputDirectoryMissing", "in.png", "nowhere/out.png", {}, "cannot create"},
                    FailingRunCase{"OutputIsADirectory", "in.png", "folder", {}, "cannot write"}),
    [](const testing::TestParamInfo<FailingRunCase>& info) { return std::string(info.param.name); });

TEST_F(ToolRunTest, FailedRunKeepsAnExistingOutput) {
    WriteSample("in.png");
    std::ofstream(PathOf("out.png")) << "previous result";
    std::string error;
    EXPECT_EQ(pgcli::RunTool(MakeOptions({PathOf("in.png"), PathOf("out.png"), "--rect", "0,0,99,1"}),
                             ProgressSink{0, nullptr}, &error),
              pgcli::kExitFailure);
    std::ifstream in(PathOf("out.png"));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "previous result");
}

}  // namespace
