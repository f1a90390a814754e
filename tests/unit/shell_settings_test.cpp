// The settings file's path beside the module and the loaded values.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "plugin/exception_message.h"
#include "settings/settings_path.h"
#include "settings/settings_values.h"

namespace {

const char kIni[] = "knfilters.ini";

struct PathCase {
    const char* name;
    std::string module;  // the module file name as the platform reports it
    std::size_t capacity;
    bool dbcs;             // the path is in code page 932
    const char* expected;  // null: refused
};

class ReplaceFileNameTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(ReplaceFileNameTest, PlacesSettingsFileBesideModule) {
    const PathCase& c = GetParam();
    // Guard bytes after the capacity catch any write past it.
    std::string buffer(c.capacity + 8, '#');
    std::memcpy(&buffer[0], c.module.c_str(), std::min(c.module.size() + 1, c.capacity));
    const std::size_t length = std::min(c.module.size(), c.capacity);
    const bool ok = ReplaceFileNameInPath(&buffer[0], c.capacity, length, kIni, c.dbcs ? IsCp932LeadByte : nullptr);
    EXPECT_EQ(buffer.substr(c.capacity), std::string(8, '#'));
    if (c.expected == nullptr) {
        EXPECT_FALSE(ok);
        EXPECT_EQ(buffer[0], '\0');
    } else {
        EXPECT_TRUE(ok);
        EXPECT_STREQ(buffer.c_str(), c.expected);
    }
}

const std::string kLongDir = "C:\\" + std::string(240, 'd') + "\\";

INSTANTIATE_TEST_SUITE_P(
    Paths, ReplaceFileNameTest,
    ::testing::Values(
        PathCase{"Plain", "C:\\Host\\Plugins\\parallelogram.dll", 260, false, "C:\\Host\\Plugins\\knfilters.ini"},
        PathCase{"DriveRoot", "C:\\p.dll", 260, false, "C:\\knfilters.ini"},
        PathCase{"NoBackslashRefused", "parallelogram.dll", 260, false, nullptr},
        PathCase{"EmptyRefused", "", 260, false, nullptr},
        // 3 + 240 + 1 = 244 bytes of directory; "knfilters.ini" needs 14 more.
        PathCase{"JustFits", kLongDir + "x.dll", 258, false,
                 "C:\\"
                 "dddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddd"
                 "dddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddd"
                 "dddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddd"
                 "\\knfilters.ini"},
        PathCase{"OneByteShortRefused", kLongDir + "x.dll", 257, false, nullptr},
        PathCase{"CutShortByCapacityRefused", kLongDir + "a-very-long-module-name.dll", 260, false, nullptr},
        // 0x83 0x5C is one character whose second byte looks like a backslash.
        PathCase{"TrailByteIsNoSeparator", "C:\\Tools\\\x83\x5cp.dll", 260, true, "C:\\Tools\\knfilters.ini"},
        PathCase{"DirectoryWithTrailByte", "C:\\\x83\x5c\\p.dll", 260, true, "C:\\\x83\x5c\\knfilters.ini"}),
    [](const ::testing::TestParamInfo<PathCase>& info) { return info.param.name; });

struct ValuesCase {
    const char* name;
    RawSettingsValues raw;
    bool validate;
    bool result;
    std::int32_t shape, dimension, mode;
};

class ApplySettingsValuesTest : public ::testing::TestWithParam<ValuesCase> {};

TEST_P(ApplySettingsValuesTest, ClampsShapeAndModeAndValidatesDimension) {
    const ValuesCase& c = GetParam();
    ParallelogramSettings settings{};
    settings.policy.fill = PixelBGRA{1, 2, 3, 4};
    EXPECT_EQ(ApplySettingsValues(c.raw, settings, c.validate), c.result);
    EXPECT_EQ(settings.shape, c.shape);
    EXPECT_EQ(settings.dimension, c.dimension);
    EXPECT_EQ(settings.policy.mode, c.mode);
    EXPECT_EQ(settings.policy.transparent, c.raw.transparent);
    EXPECT_EQ(settings.preview, c.raw.preview);
    EXPECT_EQ(settings.policy.fill, (PixelBGRA{1, 2, 3, 4}));  // never touched
}

RawSettingsValues Raw(int shape, int dimension, int mode, int transparent = 0, int preview = 0) {
    RawSettingsValues raw;
    raw.shape = shape;
    raw.dimension = dimension;
    raw.undefarea = mode;
    raw.transparent = transparent;
    raw.preview = preview;
    return raw;
}

INSTANTIATE_TEST_SUITE_P(Values, ApplySettingsValuesTest,
                         ::testing::Values(ValuesCase{"Defaults", Raw(0, 0, 0), true, true, 0, 0, 0},
                                           ValuesCase{"InRange", Raw(5, -37, 5, 2, 9), true, true, 5, -37, 5},
                                           ValuesCase{"ShapeSevenBecomesZero", Raw(7, 10, 1), true, true, 0, 10, 1},
                                           ValuesCase{"ShapeMinusOneBecomesZero", Raw(-1, 10, 1), true, true, 0, 10, 1},
                                           ValuesCase{"ModeSixBecomesZero", Raw(2, 10, 6), true, true, 2, 10, 0},
                                           ValuesCase{"Hundred", Raw(1, 100, 0), true, true, 1, 100, 0},
                                           ValuesCase{"MinusHundred", Raw(1, -100, 0), true, true, 1, -100, 0},
                                           ValuesCase{"HundredOneFails", Raw(1, 101, 0), true, false, 1, 101, 0},
                                           ValuesCase{"MinusHundredOneFails", Raw(1, -101, 0), true, false, 1, -101, 0},
                                           ValuesCase{"OutOfRangeKeptWithoutValidation", Raw(3, 150, 4), false, true, 3,
                                                      150, 4}),
                         [](const ::testing::TestParamInfo<ValuesCase>& info) { return info.param.name; });

}  // namespace
