// The command-line tool: argument parsing, the in-memory shear of an image,
// and whole runs from input files to output files.  main() only wires these
// to the process; tests call them directly.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "shear/passes.h"
#include "tools/parallelogram-cli/image_io.h"

namespace pgcli {

// Exit codes of the tool.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;  // unreadable or damaged input, rectangle outside the image, write error
constexpr int kExitUsage = 2;    // malformed command line

// Images with more pixels are refused before decoding unless --max-pixels
// raises the limit: a 10000 x 10000 image needs about 1.2 GB.
constexpr std::int64_t kDefaultMaxPixels = 100000000;

struct Options {
    std::vector<std::string> inputs;  // one, or with --out-dir any number
    std::string output;               // without --out-dir
    std::string outDir;               // with --out-dir: each output is DIR/(the input's file name)
    std::int32_t shape = ValueOf(ShapeKind::TopAndBottom);
    std::int32_t dimension = 0;
    std::int32_t mode = ValueOf(UndefinedAreaMode::EdgePixel);
    PixelBGRA fill{0, 0, 0, 255};  // opaque black
    bool transparent = false;
    bool hasRect = false;  // false: the whole image
    ProcessRect rect{0, 0, 0, 0};
    std::int64_t maxPixels = kDefaultMaxPixels;
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

// A name or a number 0..5.
bool ParseShape(const std::string& text, std::int32_t* shape);
bool ParseMode(const std::string& text, std::int32_t* mode);

std::string UsageText();

// Shears `source` as the options say into `result` (which starts as a copy
// of the source).  Fails, with a message, only when the rectangle does not
// lie inside the image.
bool ShearImage(const Image& source, const Options& options, const ProgressSink& sink, Image* result,
                std::string* error);

// Progress of one file, 0..1000 (reading, shearing, writing).
using FileProgress = std::function<void(int permille)>;

// Shears the file `input` ("-": standard input) into `output` ("-":
// standard output, as PNG; otherwise the format its suffix names).  Every
// check that needs no pixels (the output's folder and kind, the format,
// the size limit, the rectangle) is made before decoding.  Returns an exit
// code and sets `error` to a one-line message naming the file on failure;
// the output is then untouched.
int ProcessFile(const std::string& input, const std::string& output, const Options& options,
                const FileProgress& progress, std::string* error);

// Every input into options.outDir, several files at once (one per
// processor).  A failing file does not stop the others: each failure is
// passed to `report`, and the result is kExitFailure if any failed.
int ProcessBatch(const Options& options, const FileProgress& progress,
                 const std::function<void(const std::string& message)>& report);

// The whole program: parse, run, print messages to stdout/stderr.
int Main(int argc, char** argv);

}  // namespace pgcli
