// plugin-host info PLUGIN: the plug-in's texts.
#include <cstdio>
#include <string>

#include "host/host_commands.h"
#include "host/host_plugin.h"

int CommandInfo(int argc, char** argv) {
    if (argc != 3) {
        PrintError("usage: plugin-host info PLUGIN");
        return kExitUsage;
    }
    PluginLibrary plugin;
    std::string error;
    if (!plugin.Load(argv[2], error)) {
        PrintError(error);
        return kExitFailure;
    }
    char info[256] = {};
    plugin.getPluginInfo(info, sizeof info - 1);
    const std::int32_t count = plugin.filterCount();
    std::string out = "info: " + Cp932ToUtf8(info) + "\nfilters: " + std::to_string(count) + "\n";
    for (std::int32_t i = 0; i < count; ++i) {
        char category[256] = {};
        char menu[256] = {};
        plugin.getName(i, category, sizeof category - 1, menu, sizeof menu - 1);
        out += std::to_string(i) + ": category \"" + Cp932ToUtf8(category) + "\", menu \"" + Cp932ToUtf8(menu) + "\"\n";
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return kExitSuccess;
}
