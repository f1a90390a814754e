#include "tools/parallelogram-cli/output_file.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

namespace pgcli {

namespace {

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

std::string SystemError(int number) { return std::strerror(number); }

std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// ---- Temporary files the signal handler removes ----
//
// A fixed table, so that the handler touches only memory that exists for
// the whole run: a slot is claimed (1), filled, then published (2); the
// handler unlinks the published ones.

constexpr int kSlots = 16;
struct TemporarySlot {
    std::atomic<int> state{0};
    char path[PATH_MAX];
};
TemporarySlot temporarySlots[kSlots];

int PublishTemporary(const std::string& path) {
    if (path.size() >= PATH_MAX) return -1;
    for (int i = 0; i < kSlots; ++i) {
        int expected = 0;
        if (temporarySlots[i].state.compare_exchange_strong(expected, 1)) {
            std::memcpy(temporarySlots[i].path, path.c_str(), path.size() + 1);
            temporarySlots[i].state.store(2);
            return i;
        }
    }
    return -1;
}

void WithdrawTemporary(int slot) {
    if (slot >= 0) temporarySlots[slot].state.store(0);
}

extern "C" void RemoveTemporariesAndDie(int signal) {
    for (TemporarySlot& slot : temporarySlots) {
        if (slot.state.load() == 2) unlink(slot.path);
    }
    // End as the signal would have ended the process.
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
    raise(signal);
}

// The permissions a new file gets, read once: reading the mask means
// setting it, which must not race with files being created on other threads.
mode_t ProcessUmask() {
    static const mode_t mask = [] {
        const mode_t current = umask(0);
        umask(current);
        return current;
    }();
    return mask;
}

}  // namespace

void RemoveTemporaryFilesOnSignals() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
            struct sigaction previous {};
            sigaction(signal, nullptr, &previous);
            if (previous.sa_handler == SIG_IGN) continue;  // e.g. under nohup: stay immune
            struct sigaction action {};
            action.sa_handler = RemoveTemporariesAndDie;
            sigemptyset(&action.sa_mask);
            sigaction(signal, &action, nullptr);
        }
    });
}

bool PlanOutput(const std::string& output, OutputPlan* plan, std::string* error) {
    *plan = OutputPlan();
    if (output == "-") {
        plan->kind = OutputPlan::Kind::StandardOutput;
        return true;
    }
    if (output.empty()) {
        *error = "the output name is empty";
        return false;
    }
    std::string path = output;
    struct stat status {};
    if (lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode)) {
        // Write to the file the link names, and keep the link.
        char* resolved = realpath(output.c_str(), nullptr);
        if (resolved == nullptr) {
            *error = "cannot write " + Quoted(output) + ": it is a symbolic link to a missing file";
            return false;
        }
        path = resolved;
        std::free(resolved);
    }
    const std::string directory = DirectoryOf(path);
    if (stat(path.c_str(), &status) == 0) {
        if (S_ISFIFO(status.st_mode) || S_ISCHR(status.st_mode)) {
            if (access(path.c_str(), W_OK) != 0) {
                *error = "cannot write " + Quoted(output) + ": " + SystemError(errno);
                return false;
            }
            plan->kind = OutputPlan::Kind::Stream;
            plan->path = path;
            return true;
        }
        if (!S_ISREG(status.st_mode)) {
            *error = "cannot write " + Quoted(output) + ": " +
                     (S_ISDIR(status.st_mode) ? "it is a directory" : "it is not a regular file");
            return false;
        }
        // Read-only for everybody counts even for a user (root) whom the
        // system would let write.
        if ((status.st_mode & 0222) == 0 || access(path.c_str(), W_OK) != 0) {
            *error = "cannot write " + Quoted(output) + ": the file is read-only";
            return false;
        }
        plan->exists = true;
        plan->mode = status.st_mode & 07777;
    } else if (errno != ENOENT) {
        *error = "cannot write " + Quoted(output) + ": " + SystemError(errno);
        return false;
    } else {
        plan->mode = 0666 & ~ProcessUmask();
    }
    struct stat folder {};
    if (stat(directory.c_str(), &folder) != 0) {
        *error = "cannot write " + Quoted(output) + ": the folder " + Quoted(directory) + " does not exist";
        return false;
    }
    if (!S_ISDIR(folder.st_mode)) {
        *error = "cannot write " + Quoted(output) + ": " + Quoted(directory) + " is not a folder";
        return false;
    }
    if (access(directory.c_str(), W_OK | X_OK) != 0) {
        *error = "cannot write " + Quoted(output) + ": the folder " + Quoted(directory) + " is not writable";
        return false;
    }
    plan->kind = OutputPlan::Kind::File;
    plan->path = path;
    plan->directory = directory;
    return true;
}

OutputWriter::~OutputWriter() { Discard(); }

void OutputWriter::Discard() {
    if (fd_ >= 0 && plan_.kind != OutputPlan::Kind::StandardOutput) close(fd_);
    fd_ = -1;
    if (!temporary_.empty()) {
        unlink(temporary_.c_str());
        WithdrawTemporary(slot_);
        slot_ = -1;
        temporary_.clear();
    }
}

bool OutputWriter::Open(int* fd, std::string* error) {
    switch (plan_.kind) {
        case OutputPlan::Kind::StandardOutput:
            fd_ = STDOUT_FILENO;
            break;
        case OutputPlan::Kind::Stream:
            fd_ = open(plan_.path.c_str(), O_WRONLY | O_CLOEXEC);
            if (fd_ < 0) {
                *error = "cannot write " + Quoted(plan_.path) + ": " + SystemError(errno);
                return false;
            }
            break;
        case OutputPlan::Kind::File: {
            // A short name, so that an output name of any allowed length works.
            std::string pattern = plan_.directory + "/.pg-XXXXXX";
            if (pattern.size() >= PATH_MAX) {
                *error = "cannot write " + Quoted(plan_.path) + ": the path is too long";
                return false;
            }
            std::vector<char> name(pattern.begin(), pattern.end());
            name.push_back('\0');
            // The signals wait while the file is created and entered in the
            // handler's list, so that no moment leaves it unknown to the handler.
            sigset_t cleanupSignals, previous;
            sigemptyset(&cleanupSignals);
            for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&cleanupSignals, signal);
            pthread_sigmask(SIG_BLOCK, &cleanupSignals, &previous);
            fd_ = mkostemp(name.data(), O_CLOEXEC);
            const int savedErrno = errno;
            if (fd_ >= 0) {
                temporary_ = name.data();
                slot_ = PublishTemporary(temporary_);
            }
            pthread_sigmask(SIG_SETMASK, &previous, nullptr);
            if (fd_ < 0) {
                *error = "cannot create a file in " + Quoted(plan_.directory) + ": " + SystemError(savedErrno);
                return false;
            }
            if (fchmod(fd_, plan_.mode) != 0) {
                *error = "cannot set the permissions of the output: " + SystemError(errno);
                Discard();
                return false;
            }
            break;
        }
    }
    *fd = fd_;
    return true;
}

bool OutputWriter::Commit(std::string* error) {
    if (plan_.kind != OutputPlan::Kind::File) {
        const bool flushed = plan_.kind == OutputPlan::Kind::StandardOutput || close(fd_) == 0;
        if (plan_.kind == OutputPlan::Kind::Stream) fd_ = -1;
        if (!flushed) *error = "cannot write " + Quoted(plan_.path) + ": " + SystemError(errno);
        return flushed;
    }
    // The data reaches the disc before the name does, so that a crash never
    // leaves an empty file in place of the old one.
    if (fsync(fd_) != 0 || close(fd_) != 0) {
        *error = "cannot write " + Quoted(plan_.path) + ": " + SystemError(errno);
        fd_ = -1;
        Discard();
        return false;
    }
    fd_ = -1;
    if (std::rename(temporary_.c_str(), plan_.path.c_str()) != 0) {
        *error = "cannot replace " + Quoted(plan_.path) + ": " + SystemError(errno);
        Discard();
        return false;
    }
    WithdrawTemporary(slot_);
    slot_ = -1;
    temporary_.clear();
    return true;
}

}  // namespace pgcli
