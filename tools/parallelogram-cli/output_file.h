// Where the tool's result goes, and writing it there safely.
//
// A regular file (new or existing) is never written in place: the encoder
// writes a temporary file beside it, which is renamed over the output only
// once complete, and removed on every other way out, an interrupt (SIGINT,
// SIGTERM, SIGHUP) included.  An existing output keeps its permissions and
// is not replaced when it is read-only.  "-" is standard output; a FIFO or a
// character device is written into directly, as a plain write would; a
// symbolic link is followed to the file it names; anything else (a
// directory, a socket, a block device) is refused.
#pragma once

#include <sys/types.h>

#include <string>

namespace pgcli {

struct OutputPlan {
    enum class Kind { StandardOutput, Stream, File };
    Kind kind = Kind::File;
    std::string path;       // the file to write (symbolic links resolved); empty for standard output
    std::string directory;  // where the temporary file goes (Kind::File)
    bool exists = false;    // Kind::File: an existing file is replaced
    mode_t mode = 0;        // Kind::File: permissions of the result
};

// Checks, before any work, that `output` can be written, and decides how.
bool PlanOutput(const std::string& output, OutputPlan* plan, std::string* error);

// Installs the handlers that remove unfinished temporary files when the
// process is interrupted or terminated (once; later calls do nothing).
void RemoveTemporaryFilesOnSignals();

// One write of the output as planned: Open gives the descriptor to write
// to, Commit makes the result visible.  Destroying an uncommitted writer
// removes its temporary file.
class OutputWriter {
public:
    explicit OutputWriter(OutputPlan plan) : plan_(std::move(plan)) {}
    ~OutputWriter();
    OutputWriter(const OutputWriter&) = delete;
    OutputWriter& operator=(const OutputWriter&) = delete;

    bool Open(int* fd, std::string* error);
    bool Commit(std::string* error);

private:
    void Discard();

    OutputPlan plan_;
    int fd_ = -1;
    int slot_ = -1;  // the temporary file's entry in the signal handler's list
    std::string temporary_;
};

}  // namespace pgcli
