// plugin-host compare A B: exit 0 when the two images decode to the same
// size and the same RGBA pixels.
#include <cstdio>
#include <string>

#include "host/host_commands.h"
#include "host/host_image.h"

int CommandCompare(int argc, char** argv) {
    if (argc != 4) {
        PrintError("usage: plugin-host compare IMAGE1 IMAGE2");
        return kExitUsage;
    }
    HostImage first, second;
    std::string error;
    if (!LoadImageFile(argv[2], first, error) || !LoadImageFile(argv[3], second, error)) {
        PrintError(error);
        return kExitUsage;
    }
    if (first.width != second.width || first.height != second.height) {
        std::fprintf(stderr, "differ: sizes %dx%d and %dx%d\n", first.width, first.height, second.width, second.height);
        return kExitFailure;
    }
    std::size_t differing = 0, firstIndex = 0;
    for (std::size_t i = 0; i < first.pixels.size(); ++i) {
        if (first.pixels[i] != second.pixels[i] && differing++ == 0) firstIndex = i;
    }
    if (differing != 0) {
        std::fprintf(stderr, "differ: %zu pixels, the first at (%d, %d)\n", differing,
                     static_cast<int>(firstIndex % first.width), static_cast<int>(firstIndex / first.width));
        return kExitFailure;
    }
    std::printf("same: %dx%d\n", first.width, first.height);
    return kExitSuccess;
}
