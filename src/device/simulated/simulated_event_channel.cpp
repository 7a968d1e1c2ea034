#include "device/simulated/simulated_event_channel.h"

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// Only button reports are carried: an id and two bytes.
constexpr size_t kCarriedBytes = 3;

std::string Reason(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

}  // namespace

SimulatedEventChannel::SimulatedEventChannel(std::string memoryFile) : path_(PathFor(memoryFile)) {}

SimulatedEventChannel::~SimulatedEventChannel() {
    if (inotifyFd_ >= 0) {
        ::close(inotifyFd_);
    }
    if (readFd_ >= 0) {
        ::close(readFd_);
    }
}

std::string SimulatedEventChannel::PathFor(const std::string& memoryFile) {
    return memoryFile + ".events";
}

bool SimulatedEventChannel::Publish(const std::vector<uint8_t>& report, std::string& error) {
    if (report.size() < kCarriedBytes) {
        return true;
    }
    const int fd =
        ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        error = Reason("cannot open", path_);
        return false;
    }
    char line[64];
    const int length =
        std::snprintf(line, sizeof line, "%ld %u %u %u\n", static_cast<long>(::getpid()), report[0],
                      report[1], report[2]);
    const bool written = ::write(fd, line, static_cast<size_t>(length)) == length;
    if (!written) {
        error = Reason("cannot write", path_);
    }
    ::close(fd);
    return written;
}

int SimulatedEventChannel::Follow(std::string& error) {
    if (inotifyFd_ >= 0) {
        return inotifyFd_;
    }
    readFd_ = ::open(path_.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (readFd_ < 0) {
        error = Reason("cannot open", path_);
        return -1;
    }
    ::lseek(readFd_, 0, SEEK_END);
    inotifyFd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (inotifyFd_ < 0 || ::inotify_add_watch(inotifyFd_, path_.c_str(), IN_MODIFY) < 0) {
        error = Reason("cannot watch", path_);
        return -1;
    }
    return inotifyFd_;
}

std::vector<std::vector<uint8_t>> SimulatedEventChannel::TakeOthers() {
    std::vector<std::vector<uint8_t>> reports;
    if (inotifyFd_ < 0) {
        return reports;
    }
    std::array<char, 4096> buffer;
    while (::read(inotifyFd_, buffer.data(), buffer.size()) > 0) {
    }
    // A file cut short by hand starts the reading over at its end.
    struct stat info {};
    if (::fstat(readFd_, &info) == 0 && ::lseek(readFd_, 0, SEEK_CUR) > info.st_size) {
        ::lseek(readFd_, 0, SEEK_END);
        partial_.clear();
    }
    ssize_t length;
    while ((length = ::read(readFd_, buffer.data(), buffer.size())) > 0) {
        partial_.append(buffer.data(), static_cast<size_t>(length));
    }
    size_t end;
    while ((end = partial_.find('\n')) != std::string::npos) {
        long pid = 0;
        unsigned id = 0, code = 0, value = 0;
        const std::string line = partial_.substr(0, end);
        partial_.erase(0, end + 1);
        if (std::sscanf(line.c_str(), "%ld %u %u %u", &pid, &id, &code, &value) == 4 &&
            pid != ::getpid() && id <= 0xFF && code <= 0xFF && value <= 0xFF) {
            std::vector<uint8_t> report(8, 0);
            report[0] = static_cast<uint8_t>(id);
            report[1] = static_cast<uint8_t>(code);
            report[2] = static_cast<uint8_t>(value);
            reports.push_back(std::move(report));
        }
    }
    return reports;
}
