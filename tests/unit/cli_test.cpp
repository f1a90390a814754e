#include <gtest/gtest.h>

#include "case_names.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

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
    testing::Values(BadArgsCase{"NoFiles", {}, "got 0"}, BadArgsCase{"OneFile", {"in.png"}, "got 1"},
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
                    BadArgsCase{"FlagWithValue", {"a", "b", "--quiet=yes"}, "--quiet takes no value"},
                    BadArgsCase{"MaxPixelsZero", {"a", "b", "--max-pixels", "0"}, "--max-pixels '0'"},
                    BadArgsCase{"MaxPixelsWord", {"a", "b", "--max-pixels", "lots"}, "--max-pixels 'lots'"},
                    BadArgsCase{"OutDirWithoutInputs", {"--out-dir", "d"}, "at least one INPUT"},
                    BadArgsCase{"OutDirEmpty", {"--out-dir=", "a"}, "--out-dir needs a folder"},
                    BadArgsCase{"OutDirWithStandardInput", {"--out-dir", "d", "a", "-"}, "standard input"}),
    [](const testing::TestParamInfo<BadArgsCase>& info) { return std::string(info.param.name); });

TEST(ParseArguments, DefaultsAreTopBottomZeroEdgeOpaqueBlackWholeImage) {
    const pgcli::ParseResult result = ParseArguments({"in.png", "out.png"});
    ASSERT_EQ(result.status, ParseStatus::Run);
    const Options& o = result.options;
    EXPECT_EQ(o.inputs, std::vector<std::string>{"in.png"});
    EXPECT_EQ(o.output, "out.png");
    EXPECT_TRUE(o.outDir.empty());
    EXPECT_EQ(o.maxPixels, pgcli::kDefaultMaxPixels);
    EXPECT_EQ(o.shape, ValueOf(ShapeKind::TopAndBottom));
    EXPECT_EQ(o.dimension, 0);
    EXPECT_EQ(o.mode, ValueOf(UndefinedAreaMode::EdgePixel));
    EXPECT_EQ(o.fill, (PixelBGRA{0, 0, 0, 255}));
    EXPECT_FALSE(o.transparent);
    EXPECT_FALSE(o.hasRect);
    EXPECT_FALSE(o.quiet);
}

TEST(ParseArguments, ReadsEveryOptionInBothForms) {
    const pgcli::ParseResult result =
        ParseArguments({"--shape", "left", "in.png", "--dimension", "-30", "--undefined=fold", "--fill=#10203040",
                        "--transparent", "--rect", "1,2,3,4", "--quiet", "out.png", "--max-pixels=12"});
    ASSERT_EQ(result.status, ParseStatus::Run) << result.error;
    const Options& o = result.options;
    EXPECT_EQ(o.inputs, std::vector<std::string>{"in.png"});
    EXPECT_EQ(o.maxPixels, 12);
    EXPECT_EQ(o.output, "out.png");
    EXPECT_EQ(o.shape, ValueOf(ShapeKind::Left));
    EXPECT_EQ(o.dimension, -30);
    EXPECT_EQ(o.mode, ValueOf(UndefinedAreaMode::Fold));
    EXPECT_EQ(o.fill, (PixelBGRA{0x30, 0x20, 0x10, 0x40}));
    EXPECT_TRUE(o.transparent);
    EXPECT_TRUE(o.hasRect);
    EXPECT_EQ(o.rect.left, 1);
    EXPECT_EQ(o.rect.top, 2);
    EXPECT_EQ(o.rect.right, 3);
    EXPECT_EQ(o.rect.bottom, 4);
    EXPECT_TRUE(o.quiet);
}

TEST(ParseArguments, OutDirTakesEveryFileAsAnInput) {
    const pgcli::ParseResult result = ParseArguments({"a.png", "--out-dir", "done", "b.jpg", "c.webp"});
    ASSERT_EQ(result.status, ParseStatus::Run) << result.error;
    EXPECT_EQ(result.options.inputs, (std::vector<std::string>{"a.png", "b.jpg", "c.webp"}));
    EXPECT_EQ(result.options.outDir, "done");
    EXPECT_TRUE(result.options.output.empty());
}

TEST(ParseArguments, DashIsAFileNotAnOption) {
    const pgcli::ParseResult result = ParseArguments({"-", "-", "--dimension", "-5"});
    ASSERT_EQ(result.status, ParseStatus::Run) << result.error;
    EXPECT_EQ(result.options.inputs, std::vector<std::string>{"-"});
    EXPECT_EQ(result.options.output, "-");
    EXPECT_EQ(result.options.dimension, -5);
}

TEST(ParseArguments, DoubleDashEndsOptionsAndHelpWinsBeforeIt) {
    const pgcli::ParseResult files = ParseArguments({"--", "-in.png", "--help"});
    ASSERT_EQ(files.status, ParseStatus::Run) << files.error;
    EXPECT_EQ(files.options.inputs, std::vector<std::string>{"-in.png"});
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
                         testing::Values(NamedValueCase{"top-bottom", ValueOf(ShapeKind::TopAndBottom), -1},
                                         NamedValueCase{"top", ValueOf(ShapeKind::Top), -1},
                                         NamedValueCase{"bottom", ValueOf(ShapeKind::Bottom), -1},
                                         NamedValueCase{"left-right", ValueOf(ShapeKind::LeftAndRight), -1},
                                         NamedValueCase{"left", ValueOf(ShapeKind::Left), -1},
                                         NamedValueCase{"right", ValueOf(ShapeKind::Right), -1},
                                         NamedValueCase{"edge", -1, ValueOf(UndefinedAreaMode::EdgePixel)},
                                         NamedValueCase{"original", -1, ValueOf(UndefinedAreaMode::OriginalPixel)},
                                         NamedValueCase{"repeat", -1, ValueOf(UndefinedAreaMode::Repeat)},
                                         NamedValueCase{"fold", -1, ValueOf(UndefinedAreaMode::Fold)},
                                         NamedValueCase{"drawing", -1, ValueOf(UndefinedAreaMode::DrawingColour)},
                                         NamedValueCase{"background", -1, ValueOf(UndefinedAreaMode::BackgroundColour)},
                                         NamedValueCase{"0", 0, 0}, NamedValueCase{"5", 5, 5},
                                         NamedValueCase{"6", -1, -1}, NamedValueCase{"Top", -1, -1},
                                         NamedValueCase{"", -1, -1}),
                         [](const testing::TestParamInfo<NamedValueCase>& info) {
                             return "Text_" + TextName(info.param.text);
                         });

}  // namespace
