#include "device/mouse_memory_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

std::string Describe(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

bool WriteAll(int fd, const uint8_t* data, size_t length) {
    while (length > 0) {
        const ssize_t written = ::write(fd, data, length);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += written;
        length -= static_cast<size_t>(written);
    }
    return true;
}

}  // namespace

bool LoadOrCreateMemoryFile(const std::string& path, const SettingsImage& factory,
                            SettingsImage& image, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT) {
            error = Describe("cannot read", path);
            return false;
        }
        image = factory;
        return SaveMemoryFile(path, image, error);
    }
    // One byte more than expected tells a longer file from an exact one.
    std::vector<uint8_t> contents(kSettingsImageSize + 1);
    size_t total = 0;
    bool readFailed = false;
    while (total < contents.size()) {
        const ssize_t got = ::read(fd, contents.data() + total, contents.size() - total);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            error = Describe("cannot read", path);
            readFailed = true;
            break;
        }
        if (got == 0) {
            break;
        }
        total += static_cast<size_t>(got);
    }
    ::close(fd);
    if (readFailed) {
        return false;
    }
    if (total != kSettingsImageSize) {
        error = path + ": not a mouse memory file (expected exactly " +
                std::to_string(kSettingsImageSize) + " bytes)";
        return false;
    }
    std::memcpy(image.data(), contents.data(), kSettingsImageSize);
    return true;
}

bool SaveMemoryFile(const std::string& path, const SettingsImage& image, std::string& error) {
    // A link is written through to the file it names, and the file keeps its permissions.
    std::string target = path;
    if (char* resolved = ::realpath(path.c_str(), nullptr)) {
        target = resolved;
        std::free(resolved);
    }
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;

    // Written beside the target and renamed over it, which replaces it atomically.
    std::string temporary = target + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        error = Describe("cannot write", path);
        return false;
    }
    if (exists) {
        ::fchmod(fd, existing.st_mode & 07777);
    }
    const bool written = WriteAll(fd, image.data(), image.size()) && ::fsync(fd) == 0;
    const int savedErrno = errno;
    ::close(fd);
    if (!written || ::rename(temporary.c_str(), target.c_str()) != 0) {
        errno = written ? errno : savedErrno;
        error = Describe("cannot write", path);
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}
