// The command-line tool on real files: reading every kind of input, refusing
// damaged ones without touching the output, metadata, and writing the output
// safely.  Fixtures are made here with libvips, then damaged byte by byte.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vips/vips.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "programs/rgba_pixels.h"
#include "tools/parallelogram-cli/cli.h"
#include "tools/parallelogram-cli/png_chunk_check.h"
#include "tools/parallelogram-cli/png_writer.h"

namespace fs = std::filesystem;
using pgcli::Image;
using pgcli::Options;

namespace {

using Bytes = std::string;

bool StartVips() {
    std::string error;
    const bool started = pgcli::StartImageLibrary(&error);
    EXPECT_TRUE(started) << error;
    return started;
}

// A w x h test pattern with every channel varied, alpha included.
std::vector<std::uint8_t> Pattern(int w, int h, int bands) {
    std::vector<std::uint8_t> values(static_cast<std::size_t>(w) * h * bands);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int b = 0; b < bands; ++b)
                values[(static_cast<std::size_t>(y) * w + x) * bands + b] =
                    static_cast<std::uint8_t>(x * 28 + y * 40 * (b + 1) + b * 77 - x * y);
    return values;
}

// Encodes 8-bit samples with libvips; `tag` may set metadata first.
Bytes Encode(const std::vector<std::uint8_t>& values, int w, int h, int bands, const char* suffix,
             const std::function<void(VipsImage*)>& tag = {}) {
    VipsImage* image = vips_image_new_from_memory_copy(values.data(), values.size(), w, h, bands, VIPS_FORMAT_UCHAR);
    EXPECT_NE(image, nullptr);
    if (tag) tag(image);
    void* buffer = nullptr;
    std::size_t size = 0;
    EXPECT_EQ(vips_image_write_to_buffer(image, suffix, &buffer, &size, nullptr), 0) << vips_error_buffer();
    g_object_unref(image);
    Bytes bytes(static_cast<const char*>(buffer), size);
    g_free(buffer);
    return bytes;
}

Image RgbaImage(const std::vector<std::uint8_t>& rgba, int w, int h) {
    Image image;
    image.width = w;
    image.height = h;
    image.pixels.resize(static_cast<std::size_t>(w) * h);
    programs::PixelsFromRgba(rgba.data(), image.pixels.size(), image.pixels.data());
    return image;
}

// What libvips finds in a file the tool wrote.
struct Written {
    std::string loader;
    int width = 0, height = 0, bands = 0;
    std::vector<std::uint8_t> values;  // 8-bit samples, `bands` per pixel
    VipsImage* image = nullptr;        // for metadata
    ~Written() {
        if (image != nullptr) g_object_unref(image);
    }
};

void ReadWritten(const std::string& path, Written* written) {
    written->image = vips_image_new_from_file(path.c_str(), nullptr);
    ASSERT_NE(written->image, nullptr) << path << ": " << vips_error_buffer();
    const char* loader = nullptr;
    if (vips_image_get_string(written->image, "vips-loader", &loader) == 0) written->loader = loader;
    written->width = vips_image_get_width(written->image);
    written->height = vips_image_get_height(written->image);
    written->bands = vips_image_get_bands(written->image);
    std::size_t size = 0;
    void* data = vips_image_write_to_memory(written->image, &size);
    ASSERT_NE(data, nullptr);
    written->values.assign(static_cast<std::uint8_t*>(data), static_cast<std::uint8_t*>(data) + size);
    g_free(data);
}

Bytes Damaged(Bytes bytes, std::size_t at, std::uint8_t flip) {
    bytes[at] = static_cast<char>(bytes[at] ^ flip);
    return bytes;
}

// Offset of a PNG chunk's type field: the first or the last of that type.
std::size_t ChunkAt(const Bytes& png, const char* type) { return png.find(type); }
std::size_t LastChunkAt(const Bytes& png, const char* type) { return png.rfind(type); }

std::uint32_t ChunkLength(const Bytes& png, std::size_t at) {
    return (std::uint32_t(std::uint8_t(png[at - 4])) << 24) | (std::uint32_t(std::uint8_t(png[at - 3])) << 16) |
           (std::uint32_t(std::uint8_t(png[at - 2])) << 8) | std::uint8_t(png[at - 1]);
}

// `png` with one bit of the CRC of the chunk whose type is at `at` flipped.
Bytes WrongCrc(const Bytes& png, std::size_t at) { return Damaged(png, at + 4 + ChunkLength(png, at) + 3, 0x01); }

class CliRunTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(StartVips());
        char pattern[] = "/tmp/pg-cli-run-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory_ = pattern;
    }
    void TearDown() override {
        fs::permissions(directory_, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(directory_);
    }

    std::string PathOf(const std::string& name) const { return (directory_ / name).string(); }

    void Save(const std::string& name, const Bytes& bytes) const {
        std::ofstream(PathOf(name), std::ios::binary) << bytes;
    }
    Bytes Load(const std::string& name) const {
        std::ifstream in(PathOf(name), std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }

    // A 9 x 6 RGBA sample as PNG; returns its pixels.
    Image SaveSample(const std::string& name) {
        const std::vector<std::uint8_t> rgba = Pattern(9, 6, 4);
        Save(name, Encode(rgba, 9, 6, 4, ".png"));
        return RgbaImage(rgba, 9, 6);
    }

    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(directory_)) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    Options MakeOptions(std::vector<std::string> extra) const {
        std::vector<std::string> args = {"in", "out"};
        args.insert(args.end(), extra.begin(), extra.end());
        const pgcli::ParseResult parsed = pgcli::ParseArguments(args);
        EXPECT_EQ(parsed.status, pgcli::ParseStatus::Run) << parsed.error;
        return parsed.options;
    }

    int Run(const std::string& input, const std::string& output, std::vector<std::string> extra,
            std::string* error) const {
        return pgcli::ProcessFile(PathOf(input), output == "-" ? output : PathOf(output), MakeOptions(extra),
                                  pgcli::FileProgress(), error);
    }

    fs::path directory_;
};

// ---- The shear itself ----

TEST_F(CliRunTest, PngOutputHoldsExactlyThePassesResult) {
    struct Case {
        std::vector<std::string> extra;
        ParallelogramSettings settings;
        ProcessRect rect;
    };
    const PixelBGRA fill{0x30, 0x20, 0x10, 0x40};
    const Case cases[] = {
        {{"--dimension", "45", "--undefined", "repeat"},
         {ValueOf(ShapeKind::TopAndBottom), 45, {ValueOf(UndefinedAreaMode::Repeat), {0, 0, 0, 255}, 0}, 0},
         {0, 0, 9, 6}},
        // The transparent option clears the fill colour's alpha as well.
        {{"--shape", "bottom", "--dimension", "-70", "--undefined", "drawing", "--fill", "#10203040", "--transparent"},
         {ValueOf(ShapeKind::Bottom), -70, {ValueOf(UndefinedAreaMode::DrawingColour), WithoutAlpha(fill), 1}, 0},
         {0, 0, 9, 6}},
        {{"--shape", "right", "--dimension", "100", "--undefined", "fold", "--rect", "2,1,7,5"},
         {ValueOf(ShapeKind::Right), 100, {ValueOf(UndefinedAreaMode::Fold), {0, 0, 0, 255}, 0}, 0},
         {2, 1, 7, 5}},
        {{"--shape", "left-right", "--dimension", "33", "--undefined", "background", "--fill", "#10203040"},
         {ValueOf(ShapeKind::LeftAndRight), 33, {ValueOf(UndefinedAreaMode::BackgroundColour), fill, 0}, 0},
         {0, 0, 9, 6}},
        // Dimension 0 and empty rectangles copy the input.
        {{"--dimension", "0", "--undefined", "drawing", "--transparent"},
         {ValueOf(ShapeKind::TopAndBottom), 0, {}, 0},
         {0, 0, 0, 0}},
        {{"--dimension", "80", "--rect", "3,2,3,6", "--transparent"},
         {ValueOf(ShapeKind::TopAndBottom), 0, {}, 0},
         {0, 0, 0, 0}},
    };
    const Image source = SaveSample("in.png");
    for (const Case& c : cases) {
        std::string error;
        ASSERT_EQ(Run("in.png", "out.png", c.extra, &error), pgcli::kExitOk) << error;

        std::vector<PixelBGRA> expected = source.pixels;
        const ProgressSink none{0, nullptr};
        if (c.settings.dimension != 0) {
            if (IsRowShape(c.settings.shape))
                ShearRows(source.pixels.data(), expected.data(), c.rect, 9, 6, none, c.settings);
            else
                ShearColumns(source.pixels.data(), expected.data(), c.rect, 9, 6, none, c.settings);
        }
        Written written;
        ReadWritten(PathOf("out.png"), &written);
        ASSERT_EQ(written.bands, 4);
        EXPECT_EQ(written.loader, "pngload");
        EXPECT_EQ(RgbaImage(written.values, written.width, written.height).pixels, expected) << c.extra[1];
    }
    EXPECT_EQ(Entries(), (std::vector<std::string>{"in.png", "out.png"}));
}

TEST_F(CliRunTest, ProgressRisesToTheEnd) {
    SaveSample("in.png");
    std::vector<int> reports;
    std::string error;
    ASSERT_EQ(pgcli::ProcessFile(
                  PathOf("in.png"), PathOf("out.png"), MakeOptions({"--dimension", "10"}),
                  [&](int permille) { reports.push_back(permille); }, &error),
              pgcli::kExitOk)
        << error;
    ASSERT_FALSE(reports.empty());
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
    EXPECT_EQ(reports.back(), 1000);
}

// ---- Inputs ----

struct InputCase {
    const char* name;
    std::function<Bytes()> make;
    const char* file;
    std::vector<std::uint8_t> firstPixel;  // RGBA the tool reads, empty when refused
    const char* messagePart;               // when refused
};

class InputTest : public CliRunTest, public testing::WithParamInterface<InputCase> {};

TEST_P(InputTest, IsReadAsRgbaOrRefusedWithoutTouchingTheOutput) {
    const InputCase& c = GetParam();
    Save(c.file, c.make());
    Save("out.png", "previous result");
    std::string error;
    const int status = Run(c.file, "out.png", {"--dimension", "0"}, &error);
    if (c.firstPixel.empty()) {
        EXPECT_EQ(status, pgcli::kExitFailure);
        EXPECT_NE(error.find(c.file), std::string::npos) << error;
        EXPECT_NE(error.find(c.messagePart), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        EXPECT_EQ(Load("out.png"), "previous result");
        std::vector<std::string> expected = {c.file, "out.png"};
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(Entries(), expected);
    } else {
        ASSERT_EQ(status, pgcli::kExitOk) << error;
        Written written;
        ReadWritten(PathOf("out.png"), &written);
        ASSERT_EQ(written.bands, 4);
        EXPECT_EQ(std::vector<std::uint8_t>(written.values.begin(), written.values.begin() + 4), c.firstPixel);
    }
}

Bytes SamplePng() { return Encode(Pattern(9, 6, 4), 9, 6, 4, ".png"); }

// The sample as the tool's own writer makes it: the zlib stream ends in an
// IDAT chunk of its own that holds nothing but the stream's trailer.
Bytes SplitIdatPng() {
    const std::vector<std::uint8_t> rgba = Pattern(9, 6, 4);
    Bytes png;
    std::string error;
    EXPECT_TRUE(pgcli::WriteRgbaPng(
        rgba.data(), 9, 6, pgcli::PngParts(),
        [&](const void* data, std::size_t size) {
            png.append(static_cast<const char*>(data), size);
            return true;
        },
        &error))
        << error;
    EXPECT_LT(ChunkAt(png, "IDAT"), LastChunkAt(png, "IDAT"));
    return png;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InputTest,
    testing::Values(
        // 16 bits per channel keep their high byte.
        InputCase{
            "Pnm16Bit",
            [] { return Bytes("P6\n2 1\n65535\n") + Bytes("\x12\x34\xAB\xCD\x00\xFF\xFF\xFF\x00\x00\x80\x00", 12); },
            "deep.ppm",
            {0x12, 0xAB, 0x00, 255},
            ""},
        InputCase{
            "PnmAscii", [] { return Bytes("P3\n2 1\n255\n10 20 30 40 50 60\n"); }, "text.ppm", {10, 20, 30, 255}, ""},
        InputCase{"GreyPng",
                  [] {
                      return Encode({7, 8, 9, 10}, 2, 2, 1, ".png");
                  },
                  "grey.png",
                  {7, 7, 7, 255},
                  ""},
        InputCase{"GreyAlphaPng",
                  [] {
                      return Encode({7, 99, 8, 100}, 2, 1, 2, ".png");
                  },
                  "ga.png",
                  {7, 7, 7, 99},
                  ""},
        InputCase{"RgbBmp",
                  [] {
                      return Encode({1, 2, 3, 4, 5, 6}, 2, 1, 3, ".bmp");
                  },
                  "in.bmp",
                  {1, 2, 3, 255},
                  ""},
        InputCase{"PngBadChecksum",
                  [] {
                      const Bytes png = SamplePng();
                      return Damaged(png, ChunkAt(png, "IEND") - 5, 0xFF);  // the last byte of IDAT's CRC
                  },
                  "crc.png",
                  {},
                  "CRC"},
        // A wrong CRC anywhere is refused, also where the decoder would only
        // warn (an ancillary chunk) or would not look (after the pixels).
        InputCase{"PngBadChecksumOnFirstIdat",
                  [] {
                      const Bytes png = SplitIdatPng();
                      return WrongCrc(png, ChunkAt(png, "IDAT"));
                  },
                  "first.png",
                  {},
                  "IDAT: CRC"},
        InputCase{"PngBadChecksumOnTrailerIdat",
                  [] {
                      const Bytes png = SplitIdatPng();
                      return WrongCrc(png, LastChunkAt(png, "IDAT"));
                  },
                  "trailer.png",
                  {},
                  "IDAT: CRC"},
        InputCase{"PngBadChecksumOnAncillaryChunk",
                  [] {
                      const Bytes png = SamplePng();
                      return WrongCrc(png, ChunkAt(png, "pHYs"));
                  },
                  "phys.png",
                  {},
                  "pHYs: CRC"},
        InputCase{"PngBadChecksumOnIend",
                  [] {
                      const Bytes png = SamplePng();
                      return WrongCrc(png, ChunkAt(png, "IEND"));
                  },
                  "iend.png",
                  {},
                  "IEND: CRC"},
        InputCase{"PngWithoutIend",
                  [] {
                      const Bytes png = SamplePng();
                      return png.substr(0, ChunkAt(png, "IEND") - 4);
                  },
                  "noend.png",
                  {},
                  "ends before the IEND chunk"},
        // Bytes after IEND are not part of the image.
        InputCase{
            "PngWithTrailingBytes", [] { return SplitIdatPng() + "trailing"; }, "tail.png", {0, 77, 154, 231}, ""},
        InputCase{"PngDamagedData",
                  [] {
                      // Broken compressed data under a correct checksum.
                      Bytes png = SamplePng();
                      const std::size_t idat = ChunkAt(png, "IDAT");
                      const std::uint32_t length = ChunkLength(png, idat);
                      png[idat + 4 + 2] = static_cast<char>(0xFF);  // first byte after the zlib header
                      png[idat + 4 + 3] = static_cast<char>(0xFF);
                      const std::uint32_t crc = static_cast<std::uint32_t>(
                          ::crc32(0, reinterpret_cast<const Bytef*>(&png[idat]), length + 4));
                      for (int k = 0; k < 4; ++k) png[idat + 4 + length + k] = static_cast<char>(crc >> (24 - 8 * k));
                      return png;
                  },
                  "zlib.png",
                  {},
                  "damaged"},
        InputCase{"PngTruncated",
                  [] {
                      const Bytes png = SamplePng();
                      return png.substr(0, png.size() / 2);
                  },
                  "half.png",
                  {},
                  "damaged or truncated"},
        InputCase{"PngSignatureOnly", [] { return SamplePng().substr(0, 20); }, "cut.png", {}, "cannot read"},
        InputCase{"BmpTruncated",
                  [] {
                      const Bytes bmp = Encode(Pattern(9, 6, 3), 9, 6, 3, ".bmp");
                      return bmp.substr(0, bmp.size() / 2);
                  },
                  "half.bmp",
                  {},
                  ""},
        InputCase{"PnmHeaderOnly", [] { return Bytes("P6\n64 48\n255\n"); }, "head.ppm", {}, "truncated"},
        InputCase{"Pnm16BitTruncated",
                  [] { return Bytes("P6\n64 48\n65535\n") + Bytes(1000, 'x'); },
                  "deep.ppm",
                  {},
                  "truncated"},
        InputCase{"Text", [] { return Bytes("not an image"); }, "text.png", {}, "cannot read"},
        InputCase{"Empty", [] { return Bytes(); }, "empty.png", {}, "cannot read"},
        // 35 bytes that claim 16000 x 16000 pixels: refused before decoding.
        InputCase{"GifClaimingAHugeSize",
                  [] {
                      Bytes gif("GIF89a\x80\x3E\x80\x3E\x00\x00\x00,\x00\x00\x00\x00\x80\x3E\x80\x3E\x00\x08\x02\x00",
                                27);
                      return gif + Bytes(35 - gif.size(), '\0');
                  },
                  "huge.gif",
                  {},
                  "16000x16000"}),
    [](const testing::TestParamInfo<InputCase>& info) { return std::string(info.param.name); });

TEST_F(CliRunTest, AnExifOrientationIsAppliedToThePixels) {
    // 3 x 2 grey values 0..5, tagged "rotate 90 degrees clockwise to view".
    const Bytes jpeg =
        Encode({0, 0, 0, 250, 250, 250, 0, 0, 0, 250, 250, 250, 0, 0, 0, 0, 0, 0}, 3, 2, 3, ".jpg[Q=100]",
               [](VipsImage* image) { vips_image_set_int(image, VIPS_META_ORIENTATION, 6); });
    Save("in.jpg", jpeg);
    std::string error;
    ASSERT_EQ(Run("in.jpg", "out.png", {}, &error), pgcli::kExitOk) << error;
    Written written;
    ReadWritten(PathOf("out.png"), &written);
    EXPECT_EQ(written.width, 2);
    EXPECT_EQ(written.height, 3);
    int orientation = 1;
    if (vips_image_get_typeof(written.image, VIPS_META_ORIENTATION)) {
        vips_image_get_int(written.image, VIPS_META_ORIENTATION, &orientation);
    }
    EXPECT_EQ(orientation, 1);
    // Turned clockwise, the bright top-middle pixel of the source lands at
    // the right of the middle row.
    ASSERT_EQ(written.values.size(), 2u * 3u * 4u);
    EXPECT_GT(written.values[(1 * 2 + 1) * 4], 200);
    EXPECT_LT(written.values[(1 * 2 + 0) * 4], 50);
}

TEST_F(CliRunTest, IccProfileAndResolutionAreKept) {
    // 300 x 150 dots per inch (libvips counts pixels per millimetre).
    const Bytes png = Encode(Pattern(9, 6, 4), 9, 6, 4, ".png", [](VipsImage* image) {
        image->Xres = 300 / 25.4;
        image->Yres = 150 / 25.4;
    });
    Save("in.png", png);
    Written input;
    ReadWritten(PathOf("in.png"), &input);
    // Attach the system's sRGB profile through libvips' own transform.
    VipsImage* withProfile = nullptr;
    ASSERT_EQ(
        vips_icc_transform(input.image, &withProfile, "srgb", "input_profile", "srgb", "embedded", FALSE, nullptr), 0)
        << vips_error_buffer();
    ASSERT_EQ(vips_image_write_to_file(withProfile, PathOf("profiled.png").c_str(), nullptr), 0);
    g_object_unref(withProfile);

    for (const char* output : {"out.png", "out.jpg", "out.tif", "out.webp"}) {
        std::string error;
        ASSERT_EQ(Run("profiled.png", output, {"--dimension", "20"}, &error), pgcli::kExitOk) << error;
        Written written;
        ReadWritten(PathOf(output), &written);
        EXPECT_TRUE(vips_image_get_typeof(written.image, VIPS_META_ICC_NAME)) << output;
        if (std::string(output) != "out.webp") {
            EXPECT_NEAR(vips_image_get_xres(written.image) * 25.4, 300, 0.5) << output;
            EXPECT_NEAR(vips_image_get_yres(written.image) * 25.4, 150, 0.5) << output;
        }
    }
}

// ---- Outputs ----

TEST_F(CliRunTest, WritesTheFormatTheSuffixNames) {
    SaveSample("in.png");
    const struct {
        const char* output;
        const char* loader;
        int bands;
    } cases[] = {{"out.png", "pngload", 4},   {"out.PNG", "pngload", 4},  {"out.jpg", "jpegload", 3},
                 {"out.webp", "webpload", 4}, {"out.tif", "tiffload", 4}, {"out.ppm", "ppmload", 3}};
    for (const auto& c : cases) {
        std::string error;
        ASSERT_EQ(Run("in.png", c.output, {"--dimension", "30"}, &error), pgcli::kExitOk) << c.output << ": " << error;
        Written written;
        ReadWritten(PathOf(c.output), &written);
        EXPECT_EQ(written.loader, c.loader) << c.output;
        EXPECT_EQ(written.bands, c.bands) << c.output;
        EXPECT_EQ(written.width, 9);
        EXPECT_EQ(written.height, 6);
    }
}

struct RefusedCase {
    const char* name;
    std::function<void(const std::string& directory)> prepare;
    const char* output;
    std::vector<std::string> extra;
    const char* messagePart;
};

class RefusedBeforeDecodingTest : public CliRunTest, public testing::WithParamInterface<RefusedCase> {};

// The input is a header that promises pixels it does not have: each case
// must fail on its own check, before the decode would notice the damage.
TEST_P(RefusedBeforeDecodingTest, NamesTheProblemAndWritesNothing) {
    const RefusedCase& c = GetParam();
    Save("in.ppm", "P6\n64 48\n255\n");
    c.prepare(directory_.string());
    const std::vector<std::string> before = Entries();
    std::string error;
    EXPECT_EQ(Run("in.ppm", c.output, c.extra, &error), pgcli::kExitFailure);
    EXPECT_NE(error.find(c.messagePart), std::string::npos) << error;
    EXPECT_EQ(Entries(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedBeforeDecodingTest,
    testing::Values(
        RefusedCase{"MissingFolder", [](const std::string&) {}, "nowhere/out.png", {}, "nowhere' does not exist"},
        RefusedCase{"UnknownSuffix", [](const std::string&) {}, "out.xyz", {}, "'.xyz'"},
        RefusedCase{"NoSuffix", [](const std::string&) {}, "out", {}, "no suffix"},
        RefusedCase{"RectOutside", [](const std::string&) {}, "out.png", {"--rect", "0,0,65,48"}, "64x48"},
        RefusedCase{"TooManyPixels", [](const std::string&) {}, "out.png", {"--max-pixels", "3071"}, "3071"},
        RefusedCase{"ReadOnlyOutput",
                    [](const std::string& d) {
                        std::ofstream(d + "/out.png") << "keep";
                        chmod((d + "/out.png").c_str(), 0444);
                    },
                    "out.png",
                    {},
                    "read-only"},
        RefusedCase{"LinkToNothing",
                    [](const std::string& d) { symlink("absent.png", (d + "/out.png").c_str()); },
                    "out.png",
                    {},
                    "missing"},
        RefusedCase{"OutputIsAFolder",
                    [](const std::string& d) { fs::create_directory(d + "/folder.png"); },
                    "folder.png",
                    {},
                    "directory"}),
    [](const testing::TestParamInfo<RefusedCase>& info) { return std::string(info.param.name); });

TEST_F(CliRunTest, ReplacingAFileKeepsItsPermissions) {
    SaveSample("in.png");
    Save("out.png", "old");
    chmod(PathOf("out.png").c_str(), 0640);
    std::string error;
    ASSERT_EQ(Run("in.png", "out.png", {"--dimension", "10"}, &error), pgcli::kExitOk) << error;
    struct stat status {};
    ASSERT_EQ(stat(PathOf("out.png").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
    EXPECT_NE(Load("out.png"), "old");
}

TEST_F(CliRunTest, ALinkIsFollowedAndKept) {
    SaveSample("in.png");
    Save("target.png", "old");
    ASSERT_EQ(symlink("target.png", PathOf("link.png").c_str()), 0);
    std::string error;
    ASSERT_EQ(Run("in.png", "link.png", {"--dimension", "10"}, &error), pgcli::kExitOk) << error;
    EXPECT_TRUE(fs::is_symlink(PathOf("link.png")));
    Written written;
    ReadWritten(PathOf("target.png"), &written);
    EXPECT_EQ(written.width, 9);
    EXPECT_EQ(Entries(), (std::vector<std::string>{"in.png", "link.png", "target.png"}));
}

TEST_F(CliRunTest, AFifoIsWrittenIntoNotReplaced) {
    SaveSample("in.png");
    ASSERT_EQ(mkfifo(PathOf("pipe.png").c_str(), 0600), 0);
    Bytes received;
    std::thread reader([&] {
        std::ifstream in(PathOf("pipe.png"), std::ios::binary);
        received.assign(std::istreambuf_iterator<char>(in), {});
    });
    std::string error;
    const int status = Run("in.png", "pipe.png", {"--dimension", "10"}, &error);
    reader.join();
    ASSERT_EQ(status, pgcli::kExitOk) << error;
    EXPECT_TRUE(fs::is_fifo(PathOf("pipe.png")));
    EXPECT_EQ(received.substr(1, 3), "PNG");
    EXPECT_EQ(Entries(), (std::vector<std::string>{"in.png", "pipe.png"}));
}

TEST_F(CliRunTest, ALongestFileNameWorks) {
    SaveSample("in.png");
    const std::string name = std::string(251, 'n') + ".png";  // 255 characters, the usual limit
    std::string error;
    ASSERT_EQ(Run("in.png", name, {"--dimension", "10"}, &error), pgcli::kExitOk) << error;
    EXPECT_EQ(Entries(), (std::vector<std::string>{"in.png", name}));
}

// ---- Several files ----

TEST_F(CliRunTest, ABatchGoesOnPastAFailureAndNamesIt) {
    SaveSample("a.png");
    Save("b.png", SamplePng().substr(0, 60));
    SaveSample("c.png");
    fs::create_directory(PathOf("done"));
    fs::create_directory(PathOf("other"));
    SaveSample("other/a.png");
    Options options = MakeOptions({"--dimension", "20"});
    options.outDir = PathOf("done");
    options.inputs = {PathOf("a.png"), PathOf("b.png"), PathOf("c.png"), PathOf("other/a.png")};
    std::vector<std::string> messages;
    const int status = pgcli::ProcessBatch(options, {}, [&](const std::string& m) { messages.push_back(m); });
    EXPECT_EQ(status, pgcli::kExitFailure);
    std::vector<std::string> written;
    for (const auto& entry : fs::directory_iterator(PathOf("done"))) written.push_back(entry.path().filename());
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, (std::vector<std::string>{"a.png", "c.png"}));
    // One line per failed file, in whichever order the files finished, then the summary.
    ASSERT_EQ(messages.size(), 3u);
    const auto mentions = [&](const std::string& part) {
        return std::count_if(messages.begin(), messages.end() - 1,
                             [&](const std::string& m) { return m.find(part) != std::string::npos; });
    };
    EXPECT_EQ(mentions("/b.png': not enough data"), 1) << messages[0] << "\n" << messages[1];
    EXPECT_EQ(mentions("other/a.png' and '"), 1);
    EXPECT_EQ(messages.back(), "2 of 4 files failed");
}

TEST_F(CliRunTest, ABatchIntoAMissingFolderStopsBeforeAnyFile) {
    SaveSample("a.png");
    Options options = MakeOptions({});
    options.outDir = PathOf("absent");
    options.inputs = {PathOf("a.png")};
    std::vector<std::string> messages;
    EXPECT_EQ(pgcli::ProcessBatch(options, {}, [&](const std::string& m) { messages.push_back(m); }),
              pgcli::kExitFailure);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("does not exist"), std::string::npos);
}

// ---- Loading from memory ----

TEST(LoadImageBytes, DecodesOrRefusesWithAReason) {
    ASSERT_TRUE(StartVips());
    const std::vector<std::uint8_t> rgba = Pattern(9, 6, 4);
    const Bytes png = Encode(rgba, 9, 6, 4, ".png");
    Image image;
    std::string error;
    ASSERT_TRUE(pgcli::LoadImageBytes(png.data(), png.size(), 54, &image, &error)) << error;
    EXPECT_EQ(image.pixels, RgbaImage(rgba, 9, 6).pixels);
    EXPECT_FALSE(pgcli::LoadImageBytes(png.data(), png.size(), 53, &image, &error));
    EXPECT_NE(error.find("limit of 53"), std::string::npos) << error;
    EXPECT_FALSE(pgcli::LoadImageBytes(png.data(), png.size() - 20, 54, &image, &error));
    EXPECT_FALSE(error.empty());
    const Bytes split = SplitIdatPng();
    for (const Bytes& damaged : {WrongCrc(split, LastChunkAt(split, "IDAT")), WrongCrc(png, ChunkAt(png, "IEND"))}) {
        error.clear();
        EXPECT_FALSE(pgcli::LoadImageBytes(damaged.data(), damaged.size(), 54, &image, &error));
        EXPECT_NE(error.find(": CRC error"), std::string::npos) << error;
    }
}

// ---- Reading standard input ----

TEST_F(CliRunTest, StandardInputIsCheckedLikeAFile) {
    const Bytes split = SplitIdatPng();
    const struct {
        Bytes input;
        int status;
    } cases[] = {{split, pgcli::kExitOk}, {WrongCrc(split, LastChunkAt(split, "IDAT")), pgcli::kExitFailure}};
    for (const auto& c : cases) {
        Save("in.png", c.input);
        Save("out.png", "previous result");
        const int saved = dup(0);
        const int in = open(PathOf("in.png").c_str(), O_RDONLY);
        ASSERT_GE(saved, 0);
        ASSERT_GE(in, 0);
        dup2(in, 0);
        close(in);
        std::string error;
        const int status = pgcli::ProcessFile("-", PathOf("out.png"), MakeOptions({}), pgcli::FileProgress(), &error);
        dup2(saved, 0);
        close(saved);
        EXPECT_EQ(status, c.status) << error;
        if (c.status == pgcli::kExitFailure) {
            EXPECT_EQ(error, "'standard input' is damaged or truncated: IDAT: CRC error");
            EXPECT_EQ(Load("out.png"), "previous result");
        }
    }
}

// ---- Checking a PNG's chunks ----

// However the stream is cut into pieces, the same problem is found.
TEST(PngChunkCheck, FindsTheSameProblemFedInAnyPieces) {
    ASSERT_TRUE(StartVips());
    const Bytes png = SplitIdatPng();
    const struct {
        Bytes bytes;
        std::string problem;
    } cases[] = {
        {png, ""},
        {png + "after the end", ""},
        {WrongCrc(png, ChunkAt(png, "IHDR")), "IHDR: CRC error"},
        {WrongCrc(png, LastChunkAt(png, "IDAT")), "IDAT: CRC error"},
        {Damaged(png, ChunkAt(png, "IDAT") + 5, 0x10), "IDAT: CRC error"},  // a data byte
        {Damaged(png, ChunkAt(png, "IEND") + 1, 0x20), "IeND: CRC error"},  // the type itself
        {png.substr(0, ChunkAt(png, "IEND") + 6), "ends inside the IEND chunk"},
        {png.substr(0, ChunkAt(png, "IEND") - 2), "ends inside a chunk header"},
        {png.substr(0, ChunkAt(png, "IEND") - 4), "ends before the IEND chunk"},
        {png.substr(0, 5), "not a PNG signature"},
        {Damaged(png, ChunkAt(png, "IDAT") - 4, 0x80), "IDAT: chunk length out of range"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(pgcli::PngChunkProblem(c.bytes.data(), c.bytes.size()), c.problem) << c.problem;
        for (const std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{7}}) {
            pgcli::PngChunkCheck check;
            for (std::size_t at = 0; at < c.bytes.size(); at += piece) {
                check.Feed(c.bytes.data() + at, std::min(piece, c.bytes.size() - at));
            }
            EXPECT_EQ(check.Problem(), c.problem) << c.problem << ", pieces of " << piece;
        }
    }
}

// ---- The PNG writer ----

// Bands compressed apart and joined must decode to the exact pixels, however
// the rows fall into bands and whichever thread takes which band.
TEST(PngWriter, BandsJoinIntoOneValidStream) {
    ASSERT_TRUE(StartVips());
    const struct {
        int width, height;
        std::size_t bandBytes;
        int threads;
    } cases[] = {
        {1, 1, 4u << 20, 1}, {9, 6, 4u << 20, 2}, {9, 6, 37, 2},     // one row per band
        {9, 6, 74, 3},       {31, 17, 500, 2},    {31, 17, 500, 1},  // a short last band
        {300, 64, 4000, 4},  {2, 50, 1, 2},                          // a band smaller than a row
    };
    for (const auto& c : cases) {
        const std::vector<std::uint8_t> rgba = Pattern(c.width, c.height, 4);
        pgcli::PngParts parts;
        parts.threads = c.threads;
        parts.bandBytes = c.bandBytes;
        Bytes png;
        std::string error;
        ASSERT_TRUE(pgcli::WriteRgbaPng(
            rgba.data(), c.width, c.height, parts,
            [&](const void* data, std::size_t size) {
                png.append(static_cast<const char*>(data), size);
                return true;
            },
            &error))
            << error;
        VipsImage* image =
            vips_image_new_from_buffer(png.data(), png.size(), "", "fail_on", VIPS_FAIL_ON_WARNING, nullptr);
        ASSERT_NE(image, nullptr) << vips_error_buffer();
        std::size_t size = 0;
        void* pixels = vips_image_write_to_memory(image, &size);
        ASSERT_NE(pixels, nullptr) << c.width << "x" << c.height << " bands of " << c.bandBytes << ": "
                                   << vips_error_buffer();
        EXPECT_EQ(vips_image_get_bands(image), 4);
        EXPECT_EQ(
            std::vector<std::uint8_t>(static_cast<std::uint8_t*>(pixels), static_cast<std::uint8_t*>(pixels) + size),
            rgba)
            << c.width << "x" << c.height << " bands of " << c.bandBytes;
        g_free(pixels);
        g_object_unref(image);
    }
}

TEST(PngWriter, AFailedWriteFailsTheEncode) {
    const std::vector<std::uint8_t> rgba = Pattern(9, 6, 4);
    std::string error;
    int calls = 0;
    EXPECT_FALSE(pgcli::WriteRgbaPng(
        rgba.data(), 9, 6, pgcli::PngParts(), [&](const void*, std::size_t) { return ++calls < 3; }, &error));
}

TEST(PngWriter, AncillaryChunksAreKeptWholeAndPixelChunksLeft) {
    ASSERT_TRUE(StartVips());
    const Bytes png = Encode(Pattern(9, 6, 4), 9, 6, 4, ".png", [](VipsImage* image) { image->Xres = 10; });
    const std::string chunks = pgcli::AncillaryChunks(png.data(), png.size());
    EXPECT_EQ(chunks.substr(4, 4), "pHYs");
    EXPECT_NE(png.find(chunks), std::string::npos);  // length, type, data and checksum as they were
    for (const char* pixelChunk : {"IHDR", "IDAT", "IEND"}) EXPECT_EQ(chunks.find(pixelChunk), std::string::npos);
    EXPECT_EQ(pgcli::AncillaryChunks(png.data(), 7), "");
    EXPECT_EQ(pgcli::AncillaryChunks("not a png file", 14), "");
    // A chunk claiming more bytes than remain ends the scan.
    Bytes cut = png.substr(0, 8 + 25 + 10);
    EXPECT_EQ(pgcli::AncillaryChunks(cut.data(), cut.size()), "");
}

}  // namespace
