// Command-line options shared by the host's commands.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/host_image.h"
#include "host/host_plugin.h"
#include "shear/passes.h"

// Which of the shared options a command accepts.
enum HostOptionFlags : unsigned {
    kOptionRect = 1u << 0,
    kOptionMask = 1u << 1,
    kOptionColours = 1u << 2,  // --drawing and --background
};

struct HostOptions {
    std::vector<std::string> positional;
    std::optional<ProcessRect> rect;
    std::string maskPath;
    std::optional<PixelBGRA> drawing;
    std::optional<PixelBGRA> background;
};

// Splits argv[first..argc) into positional arguments and the accepted
// options ("--name value" or "--name=value").  False with a one-line reason
// in `error` for an unknown or malformed option.
bool ParseHostOptions(int argc, char** argv, int first, unsigned accepted, HostOptions& options, std::string& error);

// Puts the parsed colours and mask into the host's answers.
bool ApplyHostAnswers(const HostOptions& options, std::int32_t width, std::int32_t height,
                      std::vector<std::uint8_t>& maskStorage, std::string& error);

// What `run` and `setup` start from: the loaded plug-in, a checked filter
// index, and the source image with the host's answers (mask, colours) in place.
struct FilterSession {
    PluginLibrary plugin;
    std::int32_t index = 0;
    HostImage source;
    std::vector<std::uint8_t> mask;  // the storage behind TheHostAnswers.mask
};

// Opens the session from positional arguments PLUGIN INDEX INPUT (the first
// three of options.positional).  Returns kExitSuccess, or prints the error
// and returns the exit status to end with.
int OpenFilterSession(const HostOptions& options, FilterSession& session);
