#include "test_support.h"

#include <atomic>
#include <cstdio>
#include <cstring>

std::string ThePluginPath;
std::string TheHookedPluginPath;
std::int32_t TheProgressAnswer = 1;

std::string ToWindowsPath(const std::string& path) {
    if (path.empty() || path[0] != '/') return path;
    std::string converted = "Z:" + path;
    for (char& c : converted)
        if (c == '/') c = '\\';
    return converted;
}

std::vector<std::string>& Events() {
    static std::vector<std::string> events;
    return events;
}

std::vector<BoxRecord>& Boxes() {
    static std::vector<BoxRecord> boxes;
    return boxes;
}

std::vector<ProgressReport>& ProgressReports() {
    static std::vector<ProgressReport> reports;
    return reports;
}

void ClearRecords() {
    Events().clear();
    Boxes().clear();
    ProgressReports().clear();
}

std::int32_t WINAPI RecordProgress(std::int32_t done, std::int32_t total, ProgressUserData userData) {
    ProgressReports().push_back(ProgressReport{done, total, userData});
    Events().push_back("progress " + std::to_string(done));
    return TheProgressAnswer;
}

// ------------------------------------------------------------ message boxes

namespace {

thread_local HHOOK currentHook = nullptr;
thread_local HWND lastRecorded = nullptr;

BOOL CALLBACK FindStaticText(HWND child, LPARAM found) {
    char className[32] = {};
    GetClassNameA(child, className, sizeof className);
    if (_stricmp(className, "Static") != 0) return TRUE;
    char text[1024] = {};
    if (GetWindowTextA(child, text, sizeof text) > 0) {
        *reinterpret_cast<std::string*>(found) = text;
        return FALSE;
    }
    return TRUE;
}

LRESULT CALLBACK CloseBoxes(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        HWND window = reinterpret_cast<HWND>(wParam);
        char className[32] = {};
        GetClassNameA(window, className, sizeof className);
        if (std::strcmp(className, "#32770") == 0 && window != lastRecorded) {
            lastRecorded = window;
            BoxRecord record;
            char caption[512] = {};
            GetWindowTextA(window, caption, sizeof caption);
            record.caption = caption;
            char text[1024] = {};
            if (GetDlgItemTextA(window, 0xFFFF, text, sizeof text) > 0) {
                record.text = text;
            } else {
                EnumChildWindows(window, FindStaticText, reinterpret_cast<LPARAM>(&record.text));
            }
            Boxes().push_back(record);
            Events().push_back("box");
            PostMessageA(window, WM_COMMAND, IDOK, 0);
        }
    } else if (code == HCBT_DESTROYWND && reinterpret_cast<HWND>(wParam) == lastRecorded) {
        lastRecorded = nullptr;
    }
    return CallNextHookEx(currentHook, code, wParam, lParam);
}

}  // namespace

MessageBoxCloser::MessageBoxCloser() : hook(SetWindowsHookExA(WH_CBT, CloseBoxes, nullptr, GetCurrentThreadId())) {
    currentHook = hook;
}

MessageBoxCloser::~MessageBoxCloser() {
    if (hook != nullptr) UnhookWindowsHookEx(hook);
    currentHook = nullptr;
}

// ------------------------------------------------------------- directories

TempDirectory::TempDirectory(const char* tag) {
    static std::atomic<int> counter{0};
    char base[MAX_PATH] = {};
    GetTempPathA(sizeof base, base);
    path =
        std::string(base) + "pg-" + tag + "-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++);
    CreateDirectoryA(path.c_str(), nullptr);
}

TempDirectory::~TempDirectory() {
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA(File(entry.cFileName).c_str());
        } while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryA(path.c_str());
}

// ------------------------------------------------------------ plug-in copy

void WriteSettingsFile(const std::string& path, const std::vector<std::string>& lines) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return;
    std::fputs("[Parallelogram]\r\n", file);
    for (const std::string& line : lines) std::fprintf(file, "%s\r\n", line.c_str());
    std::fclose(file);
}

namespace {

template <typename Function>
void Find(HMODULE module, const char* name, Function& function) {
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

PluginCopy::PluginCopy(const std::string& original, const std::string& name) : directory("plugin"), fileName(name) {
    if (!CopyFileA(ToWindowsPath(original).c_str(), ModulePath().c_str(), FALSE)) return;
    module = LoadLibraryA(ModulePath().c_str());
    if (module == nullptr) return;
    Find(module, "RX_GetPluginInfo", getPluginInfo);
    Find(module, "RXF_FilterCount", filterCount);
    Find(module, "RXF_GetName", getName);
    Find(module, "RXF_Execute", execute);
    Find(module, "RXF_Setup", setup);
}

PluginCopy::~PluginCopy() {
    if (module != nullptr) FreeLibrary(module);
    RemoveSettings();
    DeleteFileA(ModulePath().c_str());
}

void PluginCopy::WriteSettings(const std::vector<std::string>& lines) const {
    WriteSettingsFile(directory.File("knfilters.ini"), lines);
}

void PluginCopy::RemoveSettings() const { DeleteFileA(directory.File("knfilters.ini").c_str()); }
