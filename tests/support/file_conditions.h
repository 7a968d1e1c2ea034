#pragma once

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>

// Conditions of the file system that tests of files set up for as long as
// they live.

// Files of this process may not grow past `bytes`: a write fails part way, as
// on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        savedHandler_ = std::signal(SIGXFSZ, SIG_IGN);  // the write fails instead
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, savedHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*savedHandler_)(int) = SIG_DFL;
};

// New files of this process get `mask`'s bits cleared, as under a user's umask.
class FileCreationMask {
public:
    explicit FileCreationMask(mode_t mask) : saved_(::umask(mask)) {}
    ~FileCreationMask() { ::umask(saved_); }
    FileCreationMask(const FileCreationMask&) = delete;
    FileCreationMask& operator=(const FileCreationMask&) = delete;

private:
    mode_t saved_;
};

// What a new file's mode is under each umask: an editor's ordinary permissions.
struct NewFileMode {
    mode_t umask;
    mode_t mode;
};
inline constexpr NewFileMode kNewFileModes[] = {{022, 0644}, {077, 0600}, {002, 0664}};

// Root may write anywhere, so where the tests run as root they act as the
// unprivileged user "nobody" meanwhile; otherwise nothing changes.
class Unprivileged {
public:
    static constexpr uid_t kNobody = 65534;

    Unprivileged() : wasRoot_(::geteuid() == 0) {
        if (wasRoot_) {
            Check(::setegid(kNobody));
            Check(::seteuid(kNobody));
        }
    }
    ~Unprivileged() {
        if (wasRoot_) {
            Check(::seteuid(0));
            Check(::setegid(0));
        }
    }
    Unprivileged(const Unprivileged&) = delete;
    Unprivileged& operator=(const Unprivileged&) = delete;

    static bool RunningAsRoot() { return ::geteuid() == 0; }

private:
    static void Check(int result) {
        if (result != 0) {
            std::abort();  // a test left running as the wrong user proves nothing
        }
    }
    bool wasRoot_;
};
