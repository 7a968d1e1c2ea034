#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/user_files.h"

namespace {

constexpr char kWindowWord[] = "window";
constexpr char kCommandWord[] = "command";
constexpr char kAgentWord[] = "agent";

std::string FallbackFolder() {
    return "/tmp/kestrine-config-" + std::to_string(::geteuid());
}

std::string ModeText(mode_t mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}

// Empty when `folder` is a real folder owned by this user that no one else
// may enter; otherwise what is wrong with it, in words.
std::string PrivateFolderProblem(const std::string& folder) {
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0) {
        return std::string("cannot use ") + folder + ": " + std::strerror(errno);
    }
    if (S_ISLNK(info.st_mode)) {
        return folder + " is a symbolic link, not a folder of its own";
    }
    if (!S_ISDIR(info.st_mode)) {
        return folder + " is not a folder";
    }
    if (info.st_uid != ::geteuid()) {
        return folder + " belongs to another user (uid " + std::to_string(info.st_uid) + ")";
    }
    if ((info.st_mode & 0077) != 0) {
        return folder + " may be entered by other users (mode " + ModeText(info.st_mode) +
               "; it must be 0700)";
    }
    return {};
}

// The runtime folder when it is trusted; only then the fallback, made when
// missing. A folder that exists already is checked as it is, never changed.
std::string LockFolder(const std::string& runtimeFolder, const std::string& fallbackFolder,
                       std::string& problem) {
    std::string runtimeProblem = "XDG_RUNTIME_DIR is not set";
    if (!runtimeFolder.empty()) {
        runtimeProblem = PrivateFolderProblem(runtimeFolder);
        if (runtimeProblem.empty()) {
            return runtimeFolder;
        }
    }
    if (::mkdir(fallbackFolder.c_str(), 0700) != 0 && errno != EEXIST) {
        problem =
            runtimeProblem + "; cannot create " + fallbackFolder + ": " + std::strerror(errno);
        return {};
    }
    problem = PrivateFolderProblem(fallbackFolder);
    if (!problem.empty()) {
        problem = runtimeProblem + "; " + problem;
        return {};
    }
    return fallbackFolder;
}

}  // namespace

std::string UserLockFolder(std::string& problem) {
    return LockFolder(RuntimeFolder(), FallbackFolder(), problem);
}

bool InstanceLock::HeldNow(const std::string& folder, const std::string& name) {
    struct stat info {};
    if (::stat((folder + "/" + name).c_str(), &info) != 0) {
        return false;
    }
    // "1: FLOCK  ADVISORY  WRITE 1234 fd:01:5678 0 EOF": the file as MAJOR:MINOR:INODE.
    std::FILE* locks = std::fopen("/proc/locks", "re");
    if (locks == nullptr) {
        return false;
    }
    bool held = false;
    char kind[16];
    unsigned major = 0, minor = 0;
    unsigned long inode = 0;
    char line[256];
    while (!held && std::fgets(line, sizeof line, locks) != nullptr) {
        if (std::sscanf(line, "%*s %15s %*s %*s %*d %x:%x:%lu", kind, &major, &minor, &inode) ==
            4) {
            held = std::strcmp(kind, "FLOCK") == 0 && inode == info.st_ino &&
                   major == ::major(info.st_dev) && minor == ::minor(info.st_dev);
        }
    }
    std::fclose(locks);
    return held;
}

InstanceLock::~InstanceLock() {
    if (fd_ >= 0) {
        ::close(fd_);  // releases the lock
    }
}

InstanceLock::Result InstanceLock::Acquire(const std::string& folder) {
    if (!folder.empty()) {
        return LockIn(folder);
    }
    return Acquire(RuntimeFolder(), FallbackFolder());
}

InstanceLock::Result InstanceLock::Acquire(const std::string& runtimeFolder,
                                           const std::string& fallbackFolder) {
    if (!runtimeFolder.empty()) {
        const Result result = LockIn(runtimeFolder);
        if (result != Result::Unavailable) {
            return result;
        }
    }
    // A runtime folder that could not be used falls back, as UserLockFolder does.
    const std::string folder = LockFolder(runtimeFolder, fallbackFolder, problem_);
    return folder.empty() ? Result::Unavailable : LockIn(folder);
}

InstanceLock::Result InstanceLock::LockIn(const std::string& folder) {
    problem_ = PrivateFolderProblem(folder);
    if (!problem_.empty()) {
        return Result::Unavailable;
    }
    const std::string path = folder + "/" + name_;
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    if (fd_ < 0) {
        problem_ = "cannot open " + path + ": " + std::strerror(errno);
        return Result::Unavailable;
    }
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
        folder_ = folder;
        RecordSelf();
        return Result::Acquired;
    }
    const int error = errno;
    if (error == EWOULDBLOCK) {
        ReadHolder();
    }
    ::close(fd_);
    fd_ = -1;
    if (error == EWOULDBLOCK) {
        folder_ = folder;
        return Result::HeldElsewhere;
    }
    problem_ = "cannot lock " + path + ": " + std::strerror(error);
    return Result::Unavailable;
}

// One line, "window 1234", "command 1234", "agent 1234" or, for a look at
// who holds it, "probe 1234"; the previous holder's line is replaced, so it is
// never mistaken for this one's.
void InstanceLock::RecordSelf() {
    const char* word = self_ == Holder::Command  ? kCommandWord
                       : self_ == Holder::Agent  ? kAgentWord
                       : self_ == Holder::Window ? kWindowWord
                                                 : "probe";
    const std::string line = std::string(word) + " " + std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd_, 0) == 0) {
        (void)!::pwrite(fd_, line.data(), line.size(), 0);
    }
}

void InstanceLock::ReadHolder() {
    heldBy_ = {};
    char text[64] = {};
    const ssize_t length = ::pread(fd_, text, sizeof text - 1, 0);
    if (length <= 0) {
        return;
    }
    char word[16] = {};
    long pid = 0;
    if (std::sscanf(text, "%15s %ld", word, &pid) != 2 || pid <= 0) {
        return;
    }
    if (std::strcmp(word, kWindowWord) == 0) {
        heldBy_ = {Holder::Window, pid};
    } else if (std::strcmp(word, kCommandWord) == 0) {
        heldBy_ = {Holder::Command, pid};
    } else if (std::strcmp(word, kAgentWord) == 0) {
        heldBy_ = {Holder::Agent, pid};
    }
}
