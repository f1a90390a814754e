// plugin-host run PLUGIN INDEX INPUT OUTPUT [--rect L,T,R,B] [--mask MASK]
//                  [--drawing '#RRGGBBAA'] [--background '#RRGGBBAA']
#include <cstdio>
#include <string>
#include <vector>

#include "host/host_commands.h"
#include "host/host_image.h"
#include "host/host_options.h"
#include "host/host_plugin.h"
#include "host/host_state.h"
#include "programs/progress_bar.h"

namespace {

// Draws the progress bar on stderr from the plug-in's reports.
std::int32_t WINAPI DrawProgress(std::int32_t done, std::int32_t total, ProgressUserData) {
    static programs::ProgressBar bar(stderr, "");
    bar.Show(done, total);
    if (total > 0 && done >= total) bar.Finish();
    return 1;
}

}  // namespace

int CommandRun(int argc, char** argv) {
    HostOptions options;
    std::string error;
    if (!ParseHostOptions(argc, argv, 2, kOptionRect | kOptionMask | kOptionColours, options, error)) {
        PrintError(error);
        return kExitUsage;
    }
    if (options.positional.size() != 4) {
        PrintError(
            "usage: plugin-host run PLUGIN INDEX INPUT OUTPUT [--rect L,T,R,B] [--mask MASK.png] "
            "[--drawing '#RRGGBBAA'] [--background '#RRGGBBAA']");
        return kExitUsage;
    }
    FilterSession session;
    if (const int status = OpenFilterSession(options, session); status != kExitSuccess) {
        return status;
    }
    const HostImage& source = session.source;
    const ProcessRect rect = options.rect.value_or(ProcessRect{0, 0, source.width, source.height});

    HostImage destination = source;
    session.plugin.execute(session.index, nullptr, source.pixels.data(), destination.pixels.data(), 0, &rect, 0,
                           source.width, source.height, DrawProgress, 0);
    if (TheHostAnswers.errorNotices != 0) {
        PrintError("the filter reported an error; nothing written");
        return kExitFailure;
    }
    if (!WritePngFile(options.positional[3], destination, error)) {
        PrintError(error);
        return kExitFailure;
    }
    return kExitSuccess;
}
