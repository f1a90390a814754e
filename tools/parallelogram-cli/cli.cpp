#include "tools/parallelogram-cli/cli.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

namespace pgcli {

namespace {

struct Name {
    const char* text;
    std::int32_t value;
};

const Name kShapeNames[] = {{"top-bottom", ValueOf(ShapeKind::TopAndBottom)}, {"top", ValueOf(ShapeKind::Top)},
                            {"bottom", ValueOf(ShapeKind::Bottom)},
                            {"left-right", ValueOf(ShapeKind::LeftAndRight)},
                            {"left", ValueOf(ShapeKind::Left)},
                            {"right", ValueOf(ShapeKind::Right)}};
const Name kModeNames[] = {{"edge", ValueOf(UndefinedAreaMode::EdgePixel)},
                           {"original", ValueOf(UndefinedAreaMode::OriginalPixel)},
                           {"repeat", ValueOf(UndefinedAreaMode::Repeat)},
                           {"fold", ValueOf(UndefinedAreaMode::Fold)},
                           {"drawing", ValueOf(UndefinedAreaMode::DrawingColour)},
                           {"background", ValueOf(UndefinedAreaMode::BackgroundColour)}};

template <std::size_t N>
bool ParseNamed(const std::string& text, const Name (&names)[N], std::int32_t* value) {
    for (const Name& name : names) {
        if (text == name.text) {
            *value = name.value;
            return true;
        }
    }
    std::int64_t number = 0;
    if (!ParseInteger(text, 0, static_cast<std::int64_t>(N) - 1, &number)) return false;
    *value = static_cast<std::int32_t>(number);
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

std::string SystemError() { return std::strerror(errno); }

// The largest image whose PNG encoding stays within the encoder's 32-bit
// sizes: every row is 4 * width bytes plus a filter byte.
bool FitsPngEncoder(std::int32_t width, std::int32_t height) {
    const std::uint64_t filtered = (static_cast<std::uint64_t>(width) * 4 + 1) * static_cast<std::uint64_t>(height);
    return filtered <= 0x3FFFFFFFu;
}

struct WriteContext {
    std::FILE* file;
    bool failed;
};

void WriteChunk(void* context, void* data, int size) {
    auto* target = static_cast<WriteContext*>(context);
    if (target->failed || size <= 0) return;
    if (std::fwrite(data, 1, static_cast<std::size_t>(size), target->file) != static_cast<std::size_t>(size)) {
        target->failed = true;
    }
}

// The temporary file lives beside the output so that the final rename stays
// on one file system: "DIR/.NAME.XXXXXX".
std::string TemporaryPattern(const std::string& output) {
    const std::size_t slash = output.find_last_of('/');
    const std::string directory = slash == std::string::npos ? "" : output.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? output : output.substr(slash + 1);
    return directory + "." + name + ".XXXXXX";
}

bool WritePngAtomically(const std::string& output, const Image& image, std::string* error) {
    if (!FitsPngEncoder(image.width, image.height)) {
        *error = "the image is too large to write as PNG";
        return false;
    }
    const std::vector<std::uint8_t> rgba = RgbaFromImage(image);

    std::string temporary = TemporaryPattern(output);
    std::vector<char> path(temporary.begin(), temporary.end());
    path.push_back('\0');
    const int fd = mkstemp(path.data());
    if (fd < 0) {
        *error = "cannot create a file beside " + Quoted(output) + ": " + SystemError();
        return false;
    }
    temporary = path.data();
    // mkstemp makes the file private; give it the permissions a plain
    // create would have.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);

    std::FILE* file = fdopen(fd, "wb");
    if (file == nullptr) {
        *error = "cannot write " + Quoted(output) + ": " + SystemError();
        close(fd);
        unlink(temporary.c_str());
        return false;
    }
    WriteContext context{file, false};
    const int encoded = stbi_write_png_to_func(WriteChunk, &context, image.width, image.height, 4,
                                               rgba.data(), image.width * 4);
    bool ok = encoded != 0 && !context.failed && std::fflush(file) == 0 && fsync(fileno(file)) == 0;
    const int savedErrno = errno;
    if (std::fclose(file) != 0) ok = false;
    if (ok && std::rename(temporary.c_str(), output.c_str()) == 0) return true;

    errno = ok ? errno : savedErrno;
    *error = "cannot write " + Quoted(output) + ": " + (encoded == 0 ? std::string("PNG encoding failed") : SystemError());
    unlink(temporary.c_str());
    return false;
}

bool ReadImage(const std::string& input, Image* image, std::string* error) {
    std::FILE* file = std::fopen(input.c_str(), "rb");
    if (file == nullptr) {
        *error = "cannot open " + Quoted(input) + ": " + SystemError();
        return false;
    }
    int width = 0, height = 0, channels = 0;
    std::unique_ptr<stbi_uc, void (*)(void*)> rgba(stbi_load_from_file(file, &width, &height, &channels, 4),
                                                   stbi_image_free);
    std::fclose(file);
    if (!rgba) {
        const char* reason = stbi_failure_reason();
        *error = "cannot read " + Quoted(input) + " as an image: " + (reason ? reason : "unknown error");
        return false;
    }
    if (width < 1 || height < 1) {
        *error = Quoted(input) + " holds an empty image";
        return false;
    }
    *image = ImageFromRgba(rgba.get(), width, height);
    return true;
}

// ---- Progress bar ----

struct ProgressBar {
    std::FILE* stream;
    int shown;  // percent last drawn, -1 before the first report
};

void DrawBar(ProgressBar& bar, int percent) {
    constexpr int kWidth = 40;
    const int filled = percent * kWidth / 100;
    char cells[kWidth + 1];
    for (int i = 0; i < kWidth; ++i) cells[i] = i < filled ? '#' : '.';
    cells[kWidth] = '\0';
    std::fprintf(bar.stream, "\rshearing [%s] %3d%%", cells, percent);
    std::fflush(bar.stream);
    bar.shown = percent;
}

std::int32_t PG_STDCALL OnProgress(std::int32_t done, std::int32_t total, ProgressUserData userData) {
    auto& bar = *reinterpret_cast<ProgressBar*>(userData);
    const int percent = total > 0 ? static_cast<int>(static_cast<std::int64_t>(done) * 100 / total) : 0;
    if (percent != bar.shown) DrawBar(bar, percent);
    return 1;
}

}  // namespace

bool ParseInteger(const std::string& text, std::int64_t low, std::int64_t high, std::int64_t* value) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return false;
    std::int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > (std::int64_t{1} << 40)) return false;  // far beyond any accepted range
    }
    const std::int64_t result = negative ? -magnitude : magnitude;
    if (result < low || result > high) return false;
    *value = result;
    return true;
}

bool ParseColour(const std::string& text, PixelBGRA* colour) {
    if ((text.size() != 7 && text.size() != 9) || text[0] != '#') return false;
    std::uint8_t bytes[4] = {0, 0, 0, 255};
    for (std::size_t k = 0; k * 2 + 1 < text.size(); ++k) {
        const int high = HexDigit(text[1 + k * 2]);
        const int low = HexDigit(text[2 + k * 2]);
        if (high < 0 || low < 0) return false;
        bytes[k] = static_cast<std::uint8_t>(high * 16 + low);
    }
    *colour = PixelBGRA{bytes[2], bytes[1], bytes[0], bytes[3]};
    return true;
}

bool ParseShape(const std::string& text, std::int32_t* shape) { return ParseNamed(text, kShapeNames, shape); }

bool ParseMode(const std::string& text, std::int32_t* mode) { return ParseNamed(text, kModeNames, mode); }

bool ParseRect(const std::string& text, ProcessRect* rect) {
    std::int64_t values[4];
    std::size_t start = 0;
    for (int k = 0; k < 4; ++k) {
        const std::size_t comma = text.find(',', start);
        const bool last = k == 3;
        if (last != (comma == std::string::npos)) return false;
        const std::string part = text.substr(start, last ? std::string::npos : comma - start);
        if (!ParseInteger(part, INT32_MIN, INT32_MAX, &values[k])) return false;
        start = comma + 1;
    }
    if (values[0] > values[2] || values[1] > values[3]) return false;
    *rect = ProcessRect{static_cast<std::int32_t>(values[0]), static_cast<std::int32_t>(values[1]),
                        static_cast<std::int32_t>(values[2]), static_cast<std::int32_t>(values[3])};
    return true;
}

std::string UsageText() {
    return "Usage: parallelogram INPUT OUTPUT [options]\n"
           "\n"
           "Shears an image into a parallelogram and writes it as an 8-bit RGBA PNG.\n"
           "INPUT may be PNG, JPEG, BMP, GIF, TGA, PSD, HDR, PIC or PNM; OUTPUT is always PNG.\n"
           "\n"
           "Options:\n"
           "  --shape S          which lines shift: top-bottom (default), top, bottom shift rows\n"
           "                     sideways; left-right, left, right shift columns; or 0..5\n"
           "  --dimension D      shift in percent of the rectangle's extent, -100..100 (default 0:\n"
           "                     the output is an exact copy)\n"
           "  --undefined M      what fills positions beyond the image's edge: edge (default),\n"
           "                     original, repeat, fold, drawing, background; or 0..5\n"
           "  --fill '#RRGGBBAA' colour of the drawing and background modes (default #000000FF;\n"
           "                     #RRGGBB means alpha FF)\n"
           "  --transparent      pixels from beyond the edge get alpha 0, and so does the fill\n"
           "  --rect L,T,R,B     only produce pixels L <= x < R, T <= y < B (default: the whole\n"
           "                     image); it must lie inside the image; an empty one copies\n"
           "  --quiet            no progress bar (it is only shown when stderr is a terminal)\n"
           "  --help             show this text and exit\n"
           "\n"
           "Options also take the form --option=VALUE; '--' ends the options.\n"
           "Exit status: 0 success, 1 the image could not be read, sheared or written,\n"
           "2 the command line is malformed.  On failure no output file is left behind.\n";
}

ParseResult ParseArguments(const std::vector<std::string>& args) {
    ParseResult result;
    for (const std::string& arg : args) {
        if (arg == "--") break;
        if (arg == "--help" || arg == "-h") {
            result.status = ParseStatus::Help;
            return result;
        }
    }

    Options& options = result.options;
    std::vector<std::string> positional;
    auto fail = [&result](const std::string& message) {
        result.status = ParseStatus::Error;
        result.error = message;
        return result;
    };

    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = arg;
        std::string value;
        bool hasValue = false;
        const std::size_t equals = arg.find('=');
        if (arg.compare(0, 2, "--") == 0 && equals != std::string::npos) {
            name = arg.substr(0, equals);
            value = arg.substr(equals + 1);
            hasValue = true;
        }

        if (name == "--transparent" || name == "--quiet") {
            if (hasValue) return fail("option " + name + " takes no value");
            (name == "--transparent" ? options.transparent : options.quiet) = true;
            continue;
        }
        if (name != "--shape" && name != "--dimension" && name != "--undefined" && name != "--fill" &&
            name != "--rect") {
            return fail("unknown option " + Quoted(name));
        }
        if (!hasValue) {
            // The next argument is the value even when it starts with '-'
            // (a negative dimension).
            if (i + 1 >= args.size()) return fail("option " + name + " needs a value");
            value = args[++i];
        }

        if (name == "--shape") {
            if (!ParseShape(value, &options.shape))
                return fail("invalid --shape " + Quoted(value) +
                            ": expected top-bottom, top, bottom, left-right, left, right or 0..5");
        } else if (name == "--dimension") {
            std::int64_t dimension = 0;
            if (!ParseInteger(value, -100, 100, &dimension))
                return fail("invalid --dimension " + Quoted(value) + ": expected an integer from -100 to 100");
            options.dimension = static_cast<std::int32_t>(dimension);
        } else if (name == "--undefined") {
            if (!ParseMode(value, &options.mode))
                return fail("invalid --undefined " + Quoted(value) +
                            ": expected edge, original, repeat, fold, drawing, background or 0..5");
        } else if (name == "--fill") {
            if (!ParseColour(value, &options.fill))
                return fail("invalid --fill " + Quoted(value) + ": expected #RRGGBBAA or #RRGGBB");
        } else {
            if (!ParseRect(value, &options.rect))
                return fail("invalid --rect " + Quoted(value) +
                            ": expected LEFT,TOP,RIGHT,BOTTOM with LEFT <= RIGHT and TOP <= BOTTOM");
            options.hasRect = true;
        }
    }

    if (positional.size() != 2) {
        return fail("expected INPUT and OUTPUT, got " + std::to_string(positional.size()) +
                    (positional.size() == 1 ? " file argument" : " file arguments"));
    }
    options.input = positional[0];
    options.output = positional[1];
    result.status = ParseStatus::Run;
    return result;
}

Image ImageFromRgba(const std::uint8_t* rgba, std::int32_t width, std::int32_t height) {
    Image image;
    image.width = width;
    image.height = height;
    image.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
        const std::uint8_t* p = rgba + i * 4;
        image.pixels[i] = PixelBGRA{p[2], p[1], p[0], p[3]};
    }
    return image;
}

std::vector<std::uint8_t> RgbaFromImage(const Image& image) {
    std::vector<std::uint8_t> rgba(image.pixels.size() * 4);
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
        const PixelBGRA& p = image.pixels[i];
        rgba[i * 4 + 0] = p.red;
        rgba[i * 4 + 1] = p.green;
        rgba[i * 4 + 2] = p.blue;
        rgba[i * 4 + 3] = p.alpha;
    }
    return rgba;
}

bool ShearImage(const Image& source, const Options& options, const ProgressSink& sink, Image* result,
                std::string* error) {
    const ProcessRect rect = options.hasRect ? options.rect : ProcessRect{0, 0, source.width, source.height};
    if (rect.left < 0 || rect.top < 0 || rect.left > rect.right || rect.top > rect.bottom ||
        rect.right > source.width || rect.bottom > source.height) {
        *error = "--rect " + std::to_string(rect.left) + "," + std::to_string(rect.top) + "," +
                 std::to_string(rect.right) + "," + std::to_string(rect.bottom) + " does not lie inside the " +
                 std::to_string(source.width) + "x" + std::to_string(source.height) + " image";
        return false;
    }
    if (!IsValidShape(options.shape) || !IsValidUndefinedAreaMode(options.mode) || options.dimension < -100 ||
        options.dimension > 100) {
        *error = "shape, undefined-area mode or dimension out of range";
        return false;
    }

    // Pixels outside the rectangle keep the input's values.
    *result = source;
    if (options.dimension == 0) return true;

    ParallelogramSettings settings{};
    settings.shape = options.shape;
    settings.dimension = options.dimension;
    settings.policy.mode = options.mode;
    settings.policy.fill = options.fill;
    settings.policy.transparent = options.transparent ? 1 : 0;
    // As the filter does: with the transparent option the fill colour loses
    // its alpha, whatever the mode.
    if (options.transparent) settings.policy.fill.alpha = 0;

    return ShearRectangle(source.pixels.data(), result->pixels.data(), rect, source.width, source.height, sink,
                          settings);
}

int RunTool(const Options& options, const ProgressSink& sink, std::string* error) {
    Image source;
    if (!ReadImage(options.input, &source, error)) return kExitFailure;
    Image result;
    if (!ShearImage(source, options, sink, &result, error)) return kExitFailure;
    source = Image();  // release the input before encoding
    if (!WritePngAtomically(options.output, result, error)) return kExitFailure;
    return kExitOk;
}

int Main(int argc, char** argv) {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const ParseResult parsed = ParseArguments(args);
    if (parsed.status == ParseStatus::Help) {
        std::fputs(UsageText().c_str(), stdout);
        return std::fflush(stdout) == 0 ? kExitOk : kExitFailure;
    }
    if (parsed.status == ParseStatus::Error) {
        std::fprintf(stderr, "parallelogram: %s (see --help)\n", parsed.error.c_str());
        return kExitUsage;
    }

    ProgressBar bar{stderr, -1};
    ProgressSink sink{0, nullptr};
    if (!parsed.options.quiet && isatty(fileno(stderr))) {
        sink = ProgressSink{reinterpret_cast<ProgressUserData>(&bar), OnProgress};
    }
    std::string error;
    const int status = RunTool(parsed.options, sink, &error);
    if (bar.shown >= 0) {
        if (status == kExitOk) DrawBar(bar, 100);
        std::fputc('\n', stderr);
    }
    if (status != kExitOk) std::fprintf(stderr, "parallelogram: %s\n", error.c_str());
    return status;
}

}  // namespace pgcli
