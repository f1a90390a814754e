// Support for tests that load the real plug-in into this test program, which
// acts as the host: it closes and records message boxes, records progress
// reports, and loads private copies of the plug-in.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "plugin/host_abi.h"
#include "shear/pixel.h"

// The plug-in to test and its hooked test build (test_hooks.h), as given on
// the command line (Unix or Windows paths).
extern std::string ThePluginPath;
extern std::string TheHookedPluginPath;

// "/a/b" becomes "Z:\a\b"; Windows paths are kept.
std::string ToWindowsPath(const std::string& path);

// Ordered log of what the host saw: "query N" for queries, "box" for message
// boxes (their texts are in Boxes()).
std::vector<std::string>& Events();

struct BoxRecord {
    std::string text;
    std::string caption;
};
std::vector<BoxRecord>& Boxes();

// While alive, every dialog box activated on this thread is recorded and
// closed with OK.
class MessageBoxCloser {
public:
    MessageBoxCloser();
    ~MessageBoxCloser();
    MessageBoxCloser(const MessageBoxCloser&) = delete;
    MessageBoxCloser& operator=(const MessageBoxCloser&) = delete;

private:
    HHOOK hook;
};

// A fresh temporary directory (removed with its files when destroyed).
class TempDirectory {
public:
    explicit TempDirectory(const char* tag);
    ~TempDirectory();
    const std::string& Path() const { return path; }
    std::string File(const std::string& name) const { return path + "\\" + name; }

private:
    std::string path;
};

// Progress reports received through RecordProgress.
struct ProgressReport {
    std::int32_t done, total;
    ProgressUserData userData;
    bool operator==(const ProgressReport& other) const {
        return done == other.done && total == other.total && userData == other.userData;
    }
};
std::vector<ProgressReport>& ProgressReports();
// What RecordProgress answers.
extern std::int32_t TheProgressAnswer;
std::int32_t WINAPI RecordProgress(std::int32_t done, std::int32_t total, ProgressUserData userData);

// A private copy of a plug-in (by default the one to test) in its own
// directory, loaded by path.
class PluginCopy {
public:
    explicit PluginCopy(const std::string& original = ThePluginPath, const std::string& fileName = "parallelogram.dll");
    ~PluginCopy();
    bool Loaded() const { return module != nullptr; }
    const std::string& Directory() const { return directory.Path(); }
    std::string ModulePath() const { return directory.File(fileName); }

    // Writes "knfilters.ini" beside the copy: section Parallelogram with the
    // given raw lines ("key=value").
    void WriteSettings(const std::vector<std::string>& lines) const;
    void RemoveSettings() const;

    GetPluginInfoFunction getPluginInfo = nullptr;
    FilterCountFunction filterCount = nullptr;
    GetNameFunction getName = nullptr;
    ExecuteFunction execute = nullptr;
    SetupFunction setup = nullptr;

private:
    TempDirectory directory;
    std::string fileName;
    HMODULE module = nullptr;
};

// Writes a settings file anywhere (raw lines under [Parallelogram]).
void WriteSettingsFile(const std::string& path, const std::vector<std::string>& lines);

// Clears Events, Boxes and ProgressReports.
void ClearRecords();
