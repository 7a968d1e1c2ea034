#include "device/user_command_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <mutex>
#include <thread>

namespace {

constexpr char kLockName[] = "kestrine-config-device.lock";
// Longer than the longest command (a Factory Reset with a busy mouse, about
// 7 s): only a process that hangs holding the file makes a command give up.
constexpr auto kLongestWait = std::chrono::seconds(30);
// Not a device wait: only a second process holding the file makes this
// loop run, so tests of one process never reach it.
constexpr auto kRetryAfter = std::chrono::milliseconds(5);

std::mutex fileMutex;
int lockFd = -1;

// A process that holds its stop signals back to take them in its own loop
// (the agent) must not spend up to kLongestWait here after being told to end.
bool StopSignalPending() {
    sigset_t pending;
    if (::sigpending(&pending) != 0) {
        return false;
    }
    return sigismember(&pending, SIGTERM) == 1 || sigismember(&pending, SIGINT) == 1 ||
           sigismember(&pending, SIGHUP) == 1;
}

}  // namespace

std::string UserCommandLockPath(const std::string& folder) {
    return folder + "/" + kLockName;
}

void UseUserCommandLock(const std::string& folder) {
    std::lock_guard guard(fileMutex);
    if (lockFd >= 0) {
        ::close(lockFd);
        lockFd = -1;
    }
    if (!folder.empty()) {
        // No file (a folder we cannot write): commands still run, one process
        // at a time as the instance lock already ensures for the writers.
        lockFd = ::open(UserCommandLockPath(folder).c_str(),
                        O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    }
}

UserCommandTurn::UserCommandTurn() {
    std::lock_guard guard(fileMutex);
    if (lockFd < 0) {
        taken_ = true;
        return;
    }
    const auto giveUp = std::chrono::steady_clock::now() + kLongestWait;
    while (::flock(lockFd, LOCK_EX | LOCK_NB) != 0) {
        if (std::chrono::steady_clock::now() >= giveUp || StopSignalPending()) {
            return;
        }
        std::this_thread::sleep_for(kRetryAfter);
    }
    taken_ = locked_ = true;
}

UserCommandTurn::~UserCommandTurn() {
    if (locked_) {
        ::flock(lockFd, LOCK_UN);
    }
}

uint64_t UserCommandTurn::WritesSoFar() const {
    uint64_t count = 0;
    if (locked_ && ::pread(lockFd, &count, sizeof count, 0) != sizeof count) {
        count = 0;
    }
    return count;
}

void UserCommandTurn::CountWrite() {
    if (locked_) {
        const uint64_t count = WritesSoFar() + 1;
        (void)!::pwrite(lockFd, &count, sizeof count, 0);
    }
}
