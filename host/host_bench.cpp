// plugin-host bench PLUGIN [--size N] [--repeat K] [--case NAME ...]
//
// Times the plug-in's RXF_Execute on a large image, in this one process, for
// a few fixed settings, against a plain memcpy of the same number of bytes.
// Each case writes its settings into knfilters.ini beside the plug-in, the
// file the filter reads on every run; the file the user had there (or its
// absence) is put back afterwards, also when the run is interrupted.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "host/host_commands.h"
#include "host/host_plugin.h"
#include "host/host_state.h"
#include "programs/median.h"
#include "settings/settings_names.h"

namespace {

constexpr long kDefaultSize = 4096;
constexpr long kDefaultRepeat = 5;
constexpr long kMaxSize = 16384;
constexpr long kMaxRepeat = 1000;

struct BenchCase {
    const char* name;
    int shape;
    int dimension;
    int mode;
    int transparent;
};

const BenchCase kCases[] = {
    {"rows-d30-repeat", 0, 30, 2, 0},
    {"rows-d100-fold-transparent", 0, 100, 3, 1},
    {"columns-d30-repeat", 3, 30, 2, 0},
    {"columns-d100-fold-transparent", 3, 100, 3, 1},
};

const char kUsage[] = "usage: plugin-host bench PLUGIN [--size N] [--repeat K] [--case NAME ...]";

struct BenchOptions {
    std::string pluginPath;
    long size = kDefaultSize;
    long repeat = kDefaultRepeat;
    std::vector<const BenchCase*> cases;
};

bool ParseCount(const std::string& text, long low, long high, long& value) {
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || parsed < low || parsed > high) return false;
    value = parsed;
    return true;
}

bool ParseBenchOptions(int argc, char** argv, BenchOptions& options, std::string& error) {
    std::vector<std::string> positional;
    for (int i = 2; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument.compare(0, 2, "--") != 0) {
            positional.push_back(argument);
            continue;
        }
        std::string name = argument;
        std::string value;
        const std::size_t equals = argument.find('=');
        if (equals != std::string::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
        } else if (name == "--size" || name == "--repeat" || name == "--case") {
            if (i + 1 >= argc) {
                error = "option " + name + " needs a value";
                return false;
            }
            value = argv[++i];
        }
        if (name == "--size") {
            if (!ParseCount(value, 1, kMaxSize, options.size)) {
                error = "--size needs a whole number from 1 to " + std::to_string(kMaxSize) + ", not '" + value + "'";
                return false;
            }
        } else if (name == "--repeat") {
            if (!ParseCount(value, 1, kMaxRepeat, options.repeat)) {
                error =
                    "--repeat needs a whole number from 1 to " + std::to_string(kMaxRepeat) + ", not '" + value + "'";
                return false;
            }
        } else if (name == "--case") {
            const BenchCase* found = nullptr;
            for (const BenchCase& candidate : kCases) {
                if (value == candidate.name) found = &candidate;
            }
            if (found == nullptr) {
                error = "unknown case '" + value + "' (cases:";
                for (const BenchCase& candidate : kCases) error += std::string(" ") + candidate.name;
                error += ")";
                return false;
            }
            if (std::find(options.cases.begin(), options.cases.end(), found) == options.cases.end()) {
                options.cases.push_back(found);
            }
        } else {
            error = "unknown option '" + argument + "'";
            return false;
        }
    }
    if (positional.size() != 1) {
        error = kUsage;
        return false;
    }
    options.pluginPath = positional[0];
    if (options.cases.empty()) {
        for (const BenchCase& candidate : kCases) options.cases.push_back(&candidate);
    }
    return true;
}

// ------------------------------------------------------------ settings file

// The settings file the user had beside the plug-in, put back by Restore.
// Restore may run on the console's control thread when the user interrupts
// the run, so it runs at most once.
class SettingsFileGuard {
public:
    bool Save(const std::string& path, std::string& error) {
        path_ = path;
        existed_ = false;
        bytes_.clear();
        FILE* file = std::fopen(path.c_str(), "rb");
        if (file == nullptr) {
            if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
                error = "cannot read the existing settings file '" + path + "'";
                return false;
            }
        } else {
            existed_ = true;
            char chunk[4096];
            std::size_t count = 0;
            while ((count = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
                bytes_.insert(bytes_.end(), chunk, chunk + count);
            }
            const bool failed = std::ferror(file) != 0;
            std::fclose(file);
            if (failed) {
                error = "cannot read the existing settings file '" + path + "'";
                return false;
            }
        }
        armed_.store(true);
        return true;
    }

    // False when the file could not be put back; the reason is printed.
    bool Restore() {
        if (!armed_.exchange(false)) return true;
        if (!existed_) {
            if (!DeleteFileA(path_.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) {
                PrintError("cannot remove the bench's settings file '" + path_ + "'");
                return false;
            }
            return true;
        }
        FILE* file = std::fopen(path_.c_str(), "wb");
        bool ok = file != nullptr;
        if (ok) {
            ok = bytes_.empty() || std::fwrite(bytes_.data(), 1, bytes_.size(), file) == bytes_.size();
            ok = std::fclose(file) == 0 && ok;
        }
        if (!ok) PrintError("cannot put back the settings file '" + path_ + "'");
        return ok;
    }

private:
    std::string path_;
    bool existed_ = false;
    std::vector<char> bytes_;
    std::atomic<bool> armed_{false};
};

SettingsFileGuard TheSettingsGuard;

BOOL WINAPI OnConsoleControl(DWORD) {
    TheSettingsGuard.Restore();
    return FALSE;  // let the default handler end the process
}

// The settings file in the directory of the loaded module.
bool SettingsPathOf(HMODULE module, std::string& path, std::string& error) {
    char buffer[MAX_PATH * 2];
    const DWORD length = GetModuleFileNameA(module, buffer, sizeof buffer);
    if (length == 0 || length >= sizeof buffer) {
        error = "cannot find the plug-in's file name";
        return false;
    }
    // The last separator, stepping over double-byte characters whose second
    // byte may look like one.
    std::size_t directoryEnd = 0;
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned char byte = static_cast<unsigned char>(buffer[i]);
        if (IsDBCSLeadByte(byte) && i + 1 < length) {
            ++i;
        } else if (byte == '\\' || byte == '/') {
            directoryEnd = i + 1;
        }
    }
    path.assign(buffer, directoryEnd);
    path += kSettingsFileName;
    return true;
}

bool WriteSettings(const std::string& path, const BenchCase& benchCase) {
    const struct {
        const char* key;
        int value;
    } entries[] = {
        {kShapeKey, benchCase.shape},
        {kDimensionKey, benchCase.dimension},
        {kUndefinedAreaKey, benchCase.mode},
        {kTransparentKey, benchCase.transparent},
        {kPreviewKey, 0},
    };
    for (const auto& entry : entries) {
        if (!WritePrivateProfileStringA(kSettingsSection, entry.key, std::to_string(entry.value).c_str(),
                                        path.c_str())) {
            return false;
        }
    }
    return true;
}

// ------------------------------------------------------------------ timing

// Counts the plug-in's progress reports: a run that reaches the pass reports
// once per line besides its opening and closing reports.
std::int32_t WINAPI CountProgress(std::int32_t, std::int32_t, ProgressUserData userData) {
    ++*reinterpret_cast<long*>(userData);
    return 1;
}

double Milliseconds(const LARGE_INTEGER& start, const LARGE_INTEGER& end, const LARGE_INTEGER& frequency) {
    return static_cast<double>(end.QuadPart - start.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// A deterministic image with every channel varied, alpha included.
void FillImage(std::vector<PixelBGRA>& pixels) {
    std::uint32_t state = 0x12345678u;
    for (PixelBGRA& pixel : pixels) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        std::memcpy(&pixel, &state, sizeof pixel);
    }
}

struct Row {
    std::string name;
    double medianMs;
};

void PrintTable(const std::vector<Row>& rows, double memcpyMs, long size) {
    const double megapixels = static_cast<double>(size) * static_cast<double>(size) / 1e6;
    std::printf("%-30s %12s %14s %12s\n", "case", "median ms", "megapixels/s", "vs memcpy");
    for (const Row& row : rows) {
        const double rate = row.medianMs > 0 ? megapixels / (row.medianMs / 1000.0) : 0.0;
        const double ratio = memcpyMs > 0 ? row.medianMs / memcpyMs : 0.0;
        std::printf("%-30s %12.2f %14.1f %11.1fx\n", row.name.c_str(), row.medianMs, rate, ratio);
    }
    std::fflush(stdout);
}

}  // namespace

int CommandBench(int argc, char** argv) {
    BenchOptions options;
    std::string error;
    if (!ParseBenchOptions(argc, argv, options, error)) {
        PrintError(error);
        return kExitUsage;
    }

    PluginLibrary plugin;
    std::string settingsPath;
    if (!plugin.Load(options.pluginPath, error) || !SettingsPathOf(plugin.module, settingsPath, error)) {
        PrintError(error);
        return kExitFailure;
    }
    if (plugin.filterCount() < 1) {
        PrintError("the plug-in offers no filter");
        return kExitFailure;
    }

    const std::int32_t size = static_cast<std::int32_t>(options.size);
    const std::size_t pixelCount = static_cast<std::size_t>(size) * static_cast<std::size_t>(size);
    std::vector<PixelBGRA> source;
    std::vector<PixelBGRA> destination;
    try {
        source.resize(pixelCount);
        destination.resize(pixelCount);
    } catch (const std::bad_alloc&) {
        PrintError("not enough memory for two " + std::to_string(size) + " x " + std::to_string(size) + " images");
        return kExitFailure;
    }
    FillImage(source);
    destination = source;

    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const std::size_t bytes = pixelCount * sizeof(PixelBGRA);

    // The copy every case is compared with, in the same process and on the
    // same buffers.
    std::vector<double> copyTimes;
    for (long k = 0; k < options.repeat; ++k) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        std::memcpy(destination.data(), source.data(), bytes);
        QueryPerformanceCounter(&end);
        copyTimes.push_back(Milliseconds(start, end, frequency));
    }
    const double memcpyMs = programs::Median(copyTimes);

    if (!TheSettingsGuard.Save(settingsPath, error)) {
        PrintError(error);
        return kExitFailure;
    }
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);

    std::printf("plugin-host bench: %d x %d pixels, %ld timed runs per case (median), settings in %s\n", size, size,
                options.repeat, settingsPath.c_str());
    std::fflush(stdout);

    const ProcessRect rect{0, 0, size, size};
    const long reportsPerRun = static_cast<long>(size) + 2;
    std::vector<Row> rows{{"memcpy", memcpyMs}};
    int status = kExitSuccess;
    for (const BenchCase* benchCase : options.cases) {
        if (!WriteSettings(settingsPath, *benchCase)) {
            PrintError("cannot write the settings file '" + settingsPath + "'");
            status = kExitFailure;
            break;
        }
        // One untimed run first; it also proves the settings were read and
        // the pass ran, so the timings below are of real work.
        long reports = 0;
        const int noticesBefore = TheHostAnswers.errorNotices;
        plugin.execute(0, nullptr, source.data(), destination.data(), 0, &rect, 0, size, size, CountProgress,
                       reinterpret_cast<ProgressUserData>(&reports));
        if (TheHostAnswers.errorNotices != noticesBefore || reports != reportsPerRun) {
            PrintError(std::string("case ") + benchCase->name + ": the filter did not run (" + std::to_string(reports) +
                       " progress reports, expected " + std::to_string(reportsPerRun) + ")");
            status = kExitFailure;
            break;
        }
        std::vector<double> times;
        for (long k = 0; k < options.repeat; ++k) {
            LARGE_INTEGER start, end;
            QueryPerformanceCounter(&start);
            plugin.execute(0, nullptr, source.data(), destination.data(), 0, &rect, 0, size, size, CountProgress,
                           reinterpret_cast<ProgressUserData>(&reports));
            QueryPerformanceCounter(&end);
            times.push_back(Milliseconds(start, end, frequency));
        }
        rows.push_back({benchCase->name, programs::Median(times)});
    }

    if (!TheSettingsGuard.Restore()) status = kExitFailure;
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    PrintTable(rows, memcpyMs, options.size);
    return status;
}
