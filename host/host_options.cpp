#include "host/host_options.h"

#include <cerrno>
#include <cstdlib>

#include "host/host_commands.h"
#include "host/host_image.h"
#include "host/host_state.h"

namespace {

bool ParseHexByte(const std::string& text, std::size_t at, std::uint8_t& value) {
    unsigned result = 0;
    for (std::size_t i = at; i < at + 2; ++i) {
        const char c = text[i];
        unsigned digit;
        if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f') digit = static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F') digit = static_cast<unsigned>(c - 'A' + 10);
        else return false;
        result = result * 16 + digit;
    }
    value = static_cast<std::uint8_t>(result);
    return true;
}

}  // namespace

bool ParseColour(const std::string& text, PixelBGRA& colour) {
    if ((text.size() != 7 && text.size() != 9) || text[0] != '#') return false;
    PixelBGRA parsed{0, 0, 0, 255};
    if (!ParseHexByte(text, 1, parsed.red) || !ParseHexByte(text, 3, parsed.green) ||
        !ParseHexByte(text, 5, parsed.blue)) {
        return false;
    }
    if (text.size() == 9 && !ParseHexByte(text, 7, parsed.alpha)) return false;
    colour = parsed;
    return true;
}

bool ParseRect(const std::string& text, ProcessRect& rect) {
    std::int32_t values[4];
    const char* cursor = text.c_str();
    for (int i = 0; i < 4; ++i) {
        char* end = nullptr;
        errno = 0;
        const long value = std::strtol(cursor, &end, 10);
        if (end == cursor || errno != 0 || value < INT32_MIN || value > INT32_MAX) return false;
        values[i] = static_cast<std::int32_t>(value);
        if (i < 3 && *end != ',') return false;
        if (i == 3 && *end != '\0') return false;
        cursor = end + 1;
    }
    rect = ProcessRect{values[0], values[1], values[2], values[3]};
    return true;
}

bool ParseHostOptions(int argc, char** argv, int first, unsigned accepted, HostOptions& options,
                      std::string& error) {
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
            if (!ParseRect(value, rect)) {
                error = "--rect wants L,T,R,B (four integers), not '" + value + "'";
                return false;
            }
            options.rect = rect;
        } else if (arg == "--mask") {
            options.maskPath = value;
        } else {
            PixelBGRA colour;
            if (!ParseColour(value, colour)) {
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
        !ApplyHostAnswers(options, session.source.width, session.source.height, session.mask,
                          error)) {
        PrintError(error);
        return kExitFailure;
    }
    return kExitSuccess;
}
