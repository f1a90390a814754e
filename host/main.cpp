// plugin-host: a console host that loads a filter plug-in, shows its texts
// and runs its filters on image files.
#include <windows.h>
#include <commctrl.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "host/host_commands.h"

namespace {

struct Command {
    const char* name;
    int (*run)(int argc, char** argv);
};

const Command kCommands[] = {
    {"info", CommandInfo},   {"run", CommandRun},     {"compare", CommandCompare},
    {"setup", CommandSetup}, {"bench", CommandBench},
};

void PrintUsage() {
    std::fputs(
        "usage: plugin-host info PLUGIN\n"
        "       plugin-host run PLUGIN INDEX INPUT OUTPUT [--rect L,T,R,B] [--mask MASK.png]\n"
        "                   [--drawing '#RRGGBBAA'] [--background '#RRGGBBAA']\n"
        "       plugin-host compare IMAGE1 IMAGE2\n"
        "       plugin-host setup PLUGIN INDEX INPUT [--mask MASK.png] [--drawing ...] [--background ...]\n"
        "                   [--screenshot OUT.png]\n"
        "       plugin-host bench PLUGIN [--size N] [--repeat K] [--case NAME ...]\n",
        stderr);
}

}  // namespace

void PrintError(const std::string& message) { std::fprintf(stderr, "plugin-host: error: %s\n", message.c_str()); }

std::string Cp932ToUtf8(const char* text) {
    const int wideLength = MultiByteToWideChar(932, 0, text, -1, nullptr, 0);
    if (wideLength <= 0) return text;
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    MultiByteToWideChar(932, 0, text, -1, &wide[0], wideLength);
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return text;
    std::string utf8(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, &utf8[0], length, nullptr, nullptr);
    utf8.resize(static_cast<std::size_t>(length - 1));
    return utf8;
}

int main(int argc, char** argv) {
    // A plug-in's dialog may use these classes; registering them is the host's job.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_UPDOWN_CLASS | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    // UTF-8 bytes go to the console unchanged.
    _setmode(_fileno(stdout), _O_BINARY);

    if (argc < 2) {
        PrintUsage();
        return kExitUsage;
    }
    for (const Command& command : kCommands) {
        if (std::strcmp(argv[1], command.name) == 0) return command.run(argc, argv);
    }
    PrintError(std::string("unknown command '") + argv[1] + "'");
    PrintUsage();
    return kExitUsage;
}
