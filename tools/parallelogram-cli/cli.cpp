#include "tools/parallelogram-cli/cli.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>
#include <mutex>
#include <new>
#include <thread>

#include "programs/progress_bar.h"
#include "programs/text_parsing.h"
#include "tools/parallelogram-cli/output_file.h"

namespace pgcli {

namespace {

struct Name {
    const char* text;
    std::int32_t value;
};

const Name kShapeNames[] = {{"top-bottom", ValueOf(ShapeKind::TopAndBottom)},
                            {"top", ValueOf(ShapeKind::Top)},
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
    if (!programs::ParseInteger(text, 0, static_cast<std::int64_t>(N) - 1, &number)) return false;
    *value = static_cast<std::int32_t>(number);
    return true;
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

std::string FileNameOf(const std::string& path) {
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
    const std::size_t slash = trimmed.find_last_of('/');
    return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

// ".png" for "dir/out.png"; empty when the file name has no suffix.
std::string SuffixOf(const std::string& path) {
    const std::string name = FileNameOf(path);
    const std::size_t dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? "" : name.substr(dot);
}

// Shares of a file's progress: reading, shearing, writing (per mille).
constexpr int kDecodedAt = 300;
constexpr int kShearedAt = 450;

struct ShearProgress {
    const FileProgress* progress;
};

std::int32_t PG_STDCALL OnShearProgress(std::int32_t done, std::int32_t total, ProgressUserData userData) {
    const auto& context = *reinterpret_cast<const ShearProgress*>(userData);
    if (total > 0) {
        (*context.progress)(kDecodedAt +
                            static_cast<int>(static_cast<std::int64_t>(done) * (kShearedAt - kDecodedAt) / total));
    }
    return 1;
}

}  // namespace

bool ParseShape(const std::string& text, std::int32_t* shape) { return ParseNamed(text, kShapeNames, shape); }

bool ParseMode(const std::string& text, std::int32_t* mode) { return ParseNamed(text, kModeNames, mode); }

std::string UsageText() {
    return "Usage: parallelogram INPUT OUTPUT [options]\n"
           "       parallelogram --out-dir DIR INPUT... [options]\n"
           "\n"
           "Shears an image into a parallelogram.  INPUT is any image libvips reads (PNG, JPEG,\n"
           "WebP, TIFF, GIF, HEIF, PNM, BMP, ...), '-' for standard input.  OUTPUT is written in\n"
           "the format its suffix names, with the input's metadata; '-' writes PNG to standard\n"
           "output.  With --out-dir every INPUT is written to DIR under its own file name.\n"
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
           "  --out-dir DIR      process every INPUT into DIR, several at once\n"
           "  --max-pixels N     refuse larger images before decoding them (default 100000000)\n"
           "  --quiet            no progress bar (it is only shown when stderr is a terminal)\n"
           "  --help             show this text and exit\n"
           "\n"
           "Options also take the form --option=VALUE; '--' ends the options.\n"
           "Exit status: 0 success, 1 an image could not be read, sheared or written (with\n"
           "--out-dir: any of them), 2 the command line is malformed.  A failed file leaves its\n"
           "output untouched.\n";
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
    bool hasOutDir = false;
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
            name != "--rect" && name != "--out-dir" && name != "--max-pixels") {
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
            if (!programs::ParseInteger(value, -100, 100, &dimension))
                return fail("invalid --dimension " + Quoted(value) + ": expected an integer from -100 to 100");
            options.dimension = static_cast<std::int32_t>(dimension);
        } else if (name == "--undefined") {
            if (!ParseMode(value, &options.mode))
                return fail("invalid --undefined " + Quoted(value) +
                            ": expected edge, original, repeat, fold, drawing, background or 0..5");
        } else if (name == "--fill") {
            if (!programs::ParseColour(value, &options.fill))
                return fail("invalid --fill " + Quoted(value) + ": expected #RRGGBBAA or #RRGGBB");
        } else if (name == "--rect") {
            if (!programs::ParseRect(value, &options.rect))
                return fail("invalid --rect " + Quoted(value) +
                            ": expected LEFT,TOP,RIGHT,BOTTOM with LEFT <= RIGHT and TOP <= BOTTOM");
            options.hasRect = true;
        } else if (name == "--max-pixels") {
            // Each side is at most 2^31 - 1; the product fits 62 bits.
            if (!programs::ParseInteger(value, 1, std::int64_t{1} << 53, &options.maxPixels))
                return fail("invalid --max-pixels " + Quoted(value) + ": expected a positive integer");
        } else {
            if (value.empty()) return fail("option --out-dir needs a folder");
            options.outDir = value;
            hasOutDir = true;
        }
    }

    if (hasOutDir) {
        if (positional.empty()) return fail("expected at least one INPUT with --out-dir");
        for (const std::string& input : positional) {
            if (input == "-") return fail("standard input ('-') cannot be one of several inputs");
        }
        options.inputs = positional;
    } else {
        if (positional.size() != 2) {
            return fail("expected INPUT and OUTPUT, got " + std::to_string(positional.size()) +
                        (positional.size() == 1 ? " file argument" : " file arguments"));
        }
        options.inputs = {positional[0]};
        options.output = positional[1];
    }
    result.status = ParseStatus::Run;
    return result;
}

bool ShearImage(const Image& source, const Options& options, const ProgressSink& sink, Image* result,
                std::string* error) {
    const ProcessRect rect = options.hasRect ? options.rect : ProcessRect{0, 0, source.width, source.height};
    if (!programs::RectInsideImage(rect, source.width, source.height)) {
        *error = "--rect " + programs::RectText(rect) + " does not lie inside the " + std::to_string(source.width) +
                 "x" + std::to_string(source.height) + " image";
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

namespace {

int ProcessFileOrThrow(const std::string& input, const std::string& output, const Options& options,
                       const FileProgress& progress, std::string* error) {
    const FileProgress report = progress ? progress : [](int) {};
    const std::string inputName = input == "-" ? "standard input" : input;

    OutputPlan plan;
    if (!PlanOutput(output, &plan, error)) return kExitFailure;
    const std::string suffix = plan.kind == OutputPlan::Kind::StandardOutput ? ".png" : SuffixOf(output);
    if (!CanWriteFormat(suffix)) {
        *error = "cannot write " + Quoted(output) + ": " +
                 (suffix.empty() ? std::string("its name has no suffix to choose the format by")
                                 : "no image format is written as '" + suffix + "'");
        return kExitFailure;
    }

    OpenedImage opened;
    if (!OpenImage(input, &opened, error)) return kExitFailure;
    const std::int64_t width = opened.width();
    const std::int64_t height = opened.height();
    if (width < 1 || height < 1 || width * height > options.maxPixels) {
        *error = Quoted(inputName) + " is " + std::to_string(width) + "x" + std::to_string(height) +
                 " pixels, more than the limit of " + std::to_string(options.maxPixels) + " (see --max-pixels)";
        if (width < 1 || height < 1) *error = Quoted(inputName) + " holds an empty image";
        return kExitFailure;
    }
    if (options.hasRect && !programs::RectInsideImage(options.rect, width, height)) {
        *error = "--rect " + programs::RectText(options.rect) + " does not lie inside the " + std::to_string(width) +
                 "x" + std::to_string(height) + " image " + Quoted(inputName);
        return kExitFailure;
    }

    Image source;
    if (!DecodeImage(
            opened, inputName, [&](int percent) { report(percent * kDecodedAt / 100); }, &source, error)) {
        return kExitFailure;
    }
    report(kDecodedAt);
    Image result;
    ShearProgress shearProgress{&report};
    const ProgressSink sink{reinterpret_cast<ProgressUserData>(&shearProgress), OnShearProgress};
    if (!ShearImage(source, options, sink, &result, error)) return kExitFailure;
    source = Image();  // the input's pixels are no longer needed while encoding
    report(kShearedAt);

    OutputWriter writer(plan);
    int fd = -1;
    if (!writer.Open(&fd, error)) return kExitFailure;
    std::string problem;
    if (!EncodeImage(
            std::move(result), &opened, suffix, fd,
            [&](int percent) { report(kShearedAt + percent * (1000 - kShearedAt) / 100); }, &problem)) {
        *error = "cannot write " + Quoted(output) + ": " + problem;
        return kExitFailure;
    }
    if (!writer.Commit(error)) return kExitFailure;
    report(1000);
    return kExitOk;
}

}  // namespace

int ProcessFile(const std::string& input, const std::string& output, const Options& options,
                const FileProgress& progress, std::string* error) {
    try {
        return ProcessFileOrThrow(input, output, options, progress, error);
    } catch (const std::bad_alloc&) {
        // A size under a raised --max-pixels may still not fit in memory.
        *error = "not enough memory for " + Quoted(input == "-" ? "standard input" : input);
        return kExitFailure;
    }
}

int ProcessBatch(const Options& options, const FileProgress& progress,
                 const std::function<void(const std::string& message)>& report) {
    struct stat folder {};
    if (stat(options.outDir.c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode)) {
        report("the output folder " + Quoted(options.outDir) + " does not exist");
        return kExitFailure;
    }
    const std::size_t count = options.inputs.size();
    // Two inputs of the same file name would write the same output.
    std::vector<std::string> outputs(count), clashes(count);
    std::map<std::string, std::size_t> firstWithName;
    for (std::size_t i = 0; i < count; ++i) {
        outputs[i] = options.outDir + "/" + FileNameOf(options.inputs[i]);
        const auto [found, inserted] = firstWithName.emplace(outputs[i], i);
        if (!inserted) {
            clashes[i] = Quoted(options.inputs[i]) + " and " + Quoted(options.inputs[found->second]) +
                         " would both be written to " + Quoted(outputs[i]);
        }
    }

    unsigned workers = std::max(1u, std::thread::hardware_concurrency());
    workers = static_cast<unsigned>(std::min<std::size_t>(workers, count));
    // Files run side by side; each one's libvips work stays on its thread.
    if (workers > 1) LimitLibraryThreads(1);

    std::mutex lock;
    std::vector<int> permille(count, 0);
    std::atomic<std::size_t> next{0};
    int failures = 0;
    auto update = [&](std::size_t index, int value) {
        std::lock_guard<std::mutex> hold(lock);
        permille[index] = value;
        std::int64_t total = 0;
        for (int p : permille) total += p;
        if (progress) progress(static_cast<int>(total / static_cast<std::int64_t>(count)));
    };
    auto work = [&] {
        for (std::size_t i = next++; i < count; i = next++) {
            std::string error = clashes[i];
            const int status = error.empty() ? ProcessFile(
                                                   options.inputs[i], outputs[i], options,
                                                   [&, i](int value) { update(i, value); }, &error)
                                             : kExitFailure;
            update(i, 1000);
            if (status != kExitOk) {
                std::lock_guard<std::mutex> hold(lock);
                ++failures;
                report(error);
            }
        }
    };
    std::vector<std::thread> threads;
    for (unsigned t = 1; t < workers; ++t) threads.emplace_back(work);
    work();
    for (std::thread& thread : threads) thread.join();
    if (failures > 0) {
        report(std::to_string(failures) + " of " + std::to_string(count) + " files failed");
        return kExitFailure;
    }
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
    RemoveTemporaryFilesOnSignals();
    std::string error;
    if (!StartImageLibrary(&error)) {
        std::fprintf(stderr, "parallelogram: %s\n", error.c_str());
        return kExitFailure;
    }

    const Options& options = parsed.options;
    programs::ProgressBar bar(stderr, "shearing");
    std::mutex barLock;
    const bool showBar = !options.quiet && isatty(fileno(stderr));
    FileProgress progress;
    if (showBar) {
        progress = [&](int permille) {
            std::lock_guard<std::mutex> hold(barLock);
            bar.Show(permille, 1000);
        };
    }
    auto report = [&](const std::string& message) {
        std::lock_guard<std::mutex> hold(barLock);
        bar.Finish();  // the message gets a line of its own; the bar redraws below it
        std::fprintf(stderr, "parallelogram: %s\n", message.c_str());
    };

    int status = kExitOk;
    if (!options.outDir.empty()) {
        status = ProcessBatch(options, progress, report);
    } else {
        status = ProcessFile(options.inputs[0], options.output, options, progress, &error);
        if (status != kExitOk) report(error);
    }
    std::lock_guard<std::mutex> hold(barLock);
    bar.Finish();
    return status;
}

}  // namespace pgcli
