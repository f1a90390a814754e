// The command-line tool: argument parsing, the in-memory shear of an image,
// and the whole run from an input file to an output PNG.  main() only wires
// these to the process; tests call them directly.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "shear/passes.h"

namespace pgcli {

// Exit codes of the tool.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;  // unreadable input, rectangle outside the image, write error
constexpr int kExitUsage = 2;    // malformed command line

struct Options {
    std::string input;
    std::string output;
    std::int32_t shape = ValueOf(ShapeKind::TopAndBottom);
    std::int32_t dimension = 0;
    std::int32_t mode = ValueOf(UndefinedAreaMode::EdgePixel);
    PixelBGRA fill{0, 0, 0, 255};  // opaque black
    bool transparent = false;
    bool hasRect = false;  // false: the whole image
    ProcessRect rect{0, 0, 0, 0};
    bool quiet = false;
};

enum class ParseStatus { Run, Help, Error };

struct ParseResult {
    ParseStatus status = ParseStatus::Error;
    Options options;
    std::string error;  // one line, set when status is Error
};

// `args` excludes the program name.
ParseResult ParseArguments(const std::vector<std::string>& args);

// Strict decimal integer: optional sign, digits only, no spaces, no
// exponent, within [low, high].
bool ParseInteger(const std::string& text, std::int64_t low, std::int64_t high, std::int64_t* value);
// "#RRGGBBAA" or "#RRGGBB" (alpha FF), hexadecimal digits in either case.
bool ParseColour(const std::string& text, PixelBGRA* colour);
// A name or a number 0..5.
bool ParseShape(const std::string& text, std::int32_t* shape);
bool ParseMode(const std::string& text, std::int32_t* mode);
// "LEFT,TOP,RIGHT,BOTTOM" with right and bottom exclusive; left <= right and
// top <= bottom.  Whether it lies inside the image is checked once the image
// is known.
bool ParseRect(const std::string& text, ProcessRect* rect);

std::string UsageText();

// A w x h image in the engine's pixel layout.
struct Image {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<PixelBGRA> pixels;
};

// RGBA bytes (8 bits each, as image files hold them) to and from pixels:
// R, G, B, A land in red, green, blue, alpha unchanged.
Image ImageFromRgba(const std::uint8_t* rgba, std::int32_t width, std::int32_t height);
std::vector<std::uint8_t> RgbaFromImage(const Image& image);

// Shears `source` as the options say into `result` (which starts as a copy
// of the source).  Fails, with a message, only when the rectangle does not
// lie inside the image.
bool ShearImage(const Image& source, const Options& options, const ProgressSink& sink, Image* result,
                std::string* error);

// Reads options.input, shears it and writes options.output as an 8-bit RGBA
// PNG.  The output appears complete or not at all: it is written to a
// temporary file beside it and renamed over it.  Returns an exit code and
// sets `error` to a one-line message on failure.
int RunTool(const Options& options, const ProgressSink& sink, std::string* error);

// The whole program: parse, run, print messages to stdout/stderr.
int Main(int argc, char** argv);

}  // namespace pgcli
