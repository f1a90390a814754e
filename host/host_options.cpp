#include "host/host_options.h"

#include "host/host_commands.h"
#include "host/host_image.h"
#include "host/host_state.h"
#include "programs/text_parsing.h"

bool ParseHostOptions(int argc, char** argv, int first, unsigned accepted, HostOptions& options, std::string& error) {
    for (int i = first; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
            options.positional.push_back(arg);
            continue;
        }
        std::string value;
        bool hasValue = false;
        const std::size_t equals = arg.find('=');
        if (equals != std::string::npos) {
            value = arg.substr(equals + 1);
            arg.resize(equals);
            hasValue = true;
        }
        const bool known = (arg == "--rect" && (accepted & kOptionRect)) ||
                           (arg == "--mask" && (accepted & kOptionMask)) ||
                           ((arg == "--drawing" || arg == "--background") && (accepted & kOptionColours));
        if (!known) {
            error = "unknown option '" + arg + "'";
            return false;
        }
        if (!hasValue) {
            if (i + 1 >= argc) {
                error = "the option " + arg + " needs a value";
                return false;
            }
            value = argv[++i];
        }
        if (arg == "--rect") {
            ProcessRect rect;
            if (!programs::ParseRect(value, &rect)) {
                error = "--rect wants L,T,R,B (four integers, L <= R and T <= B), not '" + value + "'";
                return false;
            }
            options.rect = rect;
        } else if (arg == "--mask") {
            options.maskPath = value;
        } else {
            PixelBGRA colour;
            if (!programs::ParseColour(value, &colour)) {
                error = arg + " wants a colour '#RRGGBBAA' or '#RRGGBB', not '" + value + "'";
                return false;
            }
            (arg == "--drawing" ? options.drawing : options.background) = colour;
        }
    }
    return true;
}

bool ApplyHostAnswers(const HostOptions& options, std::int32_t width, std::int32_t height,
                      std::vector<std::uint8_t>& maskStorage, std::string& error) {
    if (options.drawing) TheHostAnswers.drawing = *options.drawing;
    if (options.background) TheHostAnswers.background = *options.background;
    TheHostAnswers.mask = nullptr;
    if (!options.maskPath.empty()) {
        if (!LoadMaskFile(options.maskPath, width, height, maskStorage, error)) return false;
        TheHostAnswers.mask = maskStorage.data();
    }
    return true;
}

int OpenFilterSession(const HostOptions& options, FilterSession& session) {
    std::string error;
    if (!session.plugin.Load(options.positional[0], error)) {
        PrintError(error);
        return kExitFailure;
    }
    if (!session.plugin.ParseFilterIndex(options.positional[1], session.index, error)) {
        PrintError(error);
        return kExitUsage;
    }
    if (!LoadImageFile(options.positional[2], session.source, error) ||
        !ApplyHostAnswers(options, session.source.width, session.source.height, session.mask, error)) {
        PrintError(error);
        return kExitFailure;
    }
    return kExitSuccess;
}
