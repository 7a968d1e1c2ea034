#include "device/user_command_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fstream>
#include <mutex>
#include <thread>
#include <utility>

namespace {

constexpr char kLockName[] = "kestrine-config-device.lock";
// Longer than the longest command (a Factory Reset with a busy mouse, about
// 7 s): only a process that hangs holding the file makes a command give up.
constexpr auto kLongestWait = std::chrono::seconds(30);
// Not a device wait: only a second process holding the file makes this
// loop run, so tests of one process never reach it.
constexpr auto kRetryAfter = std::chrono::milliseconds(5);

// The writes' count comes first; the holder's entry after it.
constexpr off_t kHolderOffset = sizeof(uint64_t);
constexpr size_t kHolderSize = 120;

std::mutex fileMutex;
int lockFd = -1;
UserCommandWaitObserver waitObserver;

std::string ReadHolder() {
    char entry[kHolderSize] = {};
    const ssize_t length = ::pread(lockFd, entry, sizeof entry - 1, kHolderOffset);
    std::string holder(entry, length > 0 ? std::strlen(entry) : 0);
    return holder.empty() ? "a program whose name it did not record" : holder;
}

void RecordHolder() {
    char entry[kHolderSize] = {};
    const std::string self = UserCommandHolderText();
    std::memcpy(entry, self.data(), std::min(self.size(), sizeof entry - 1));
    (void)!::pwrite(lockFd, entry, sizeof entry, kHolderOffset);
}

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

std::string UserCommandHolderText() {
    // The program's name and its first argument (the command: "set",
    // "agent"), as the user started it.
    std::string words;
    if (std::ifstream cmdline("/proc/self/cmdline", std::ios::binary); cmdline) {
        std::string argument;
        for (int n = 0; n < 2 && std::getline(cmdline, argument, '\0'); ++n) {
            if (n == 0) {
                argument = argument.substr(argument.rfind('/') + 1);
            } else if (argument.empty() || argument[0] == '-') {
                break;
            }
            words += (n > 0 ? " " : "") + argument;
        }
    }
    return (words.empty() ? std::string("a program") : words) + ", pid " +
           std::to_string(::getpid());
}

std::optional<std::string> UserCommandTurnHolder() {
    std::lock_guard guard(fileMutex);
    if (lockFd < 0) {
        return std::nullopt;
    }
    if (::flock(lockFd, LOCK_EX | LOCK_NB) == 0) {
        ::flock(lockFd, LOCK_UN);
        return std::nullopt;
    }
    return ReadHolder();
}

UserCommandWaitObserver SetUserCommandWaitObserver(UserCommandWaitObserver observer) {
    std::lock_guard guard(fileMutex);
    return std::exchange(waitObserver, std::move(observer));
}

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
    bool told = false;
    while (::flock(lockFd, LOCK_EX | LOCK_NB) != 0) {
        if (std::chrono::steady_clock::now() >= giveUp || StopSignalPending()) {
            return;
        }
        if (!told && waitObserver) {
            waitObserver(ReadHolder());
        }
        told = true;
        std::this_thread::sleep_for(kRetryAfter);
    }
    taken_ = locked_ = true;
    RecordHolder();
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
