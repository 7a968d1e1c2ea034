#include "device/file_target.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

namespace {

// As the kernel's own limit on links in one lookup.
constexpr int kMaxLinkHops = 40;

bool IsSharedFolder(const struct stat& folder) {
    return (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
}

}  // namespace

std::string FolderOfPath(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string FileKindText(mode_t mode) {
    if (S_ISDIR(mode)) {
        return "a folder";
    }
    if (S_ISFIFO(mode)) {
        return "a FIFO";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    if (S_ISCHR(mode)) {
        return "a character device";
    }
    if (S_ISBLK(mode)) {
        return "a block device";
    }
    if (S_ISLNK(mode)) {
        return "a symbolic link";
    }
    return "not a regular file";
}

bool FollowLinksSafely(const std::string& path, std::string& target, std::string& error) {
    std::string current = path;
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat info {};
        if (::lstat(current.c_str(), &info) != 0) {
            if (errno == ENOENT) {
                target = current;
                return true;
            }
            error = path + ": " + std::strerror(errno);
            return false;
        }
        if (!S_ISLNK(info.st_mode)) {
            target = current;
            return true;
        }
        const std::string folder = FolderOfPath(current);
        struct stat folderInfo {};
        if (::stat(folder.c_str(), &folderInfo) != 0) {
            error = path + ": " + std::strerror(errno);
            return false;
        }
        if (IsSharedFolder(folderInfo) && info.st_uid != ::geteuid() &&
            info.st_uid != folderInfo.st_uid) {
            error = path + ": the link " + current + " belongs to another user (uid " +
                    std::to_string(info.st_uid) + ") in " + folder +
                    ", a folder everyone may write to; it is not followed, so that no one "
                    "else can choose which of your files is replaced";
            return false;
        }
        std::string link(PATH_MAX, '\0');
        const ssize_t length = ::readlink(current.c_str(), link.data(), link.size());
        if (length <= 0) {
            error = path + ": " + std::strerror(length < 0 ? errno : ENOENT);
            return false;
        }
        link.resize(static_cast<size_t>(length));
        current = link.front() == '/' ? link : folder + "/" + link;
    }
    error = path + ": " + std::strerror(ELOOP);
    return false;
}

namespace {

std::function<void(const std::string&)> readOpenHook;

std::string ReadReason(const std::string& path, int error = errno) {
    return path + ": " + std::strerror(error);
}

std::string SizeText(size_t bytes) {
    constexpr size_t kMiB = size_t{1} << 20;
    return bytes % kMiB == 0 ? std::to_string(bytes / kMiB) + " MiB"
                             : std::to_string(bytes) + " bytes";
}

}  // namespace

bool ReadRegularFile(const std::string& path, size_t maxBytes, const std::string& kind,
                     std::string& text, std::string& error) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        error = ReadReason(path);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = path + ": " + FileKindText(info.st_mode) + ", not a regular file";
        return false;
    }
    if (readOpenHook) {
        readOpenHook(path);
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = ReadReason(path);
        return false;
    }
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = path + ": " + FileKindText(info.st_mode) + ", not a regular file";
        ::close(fd);
        return false;
    }
    // One byte more than allowed tells a file that is too large.
    std::string buffer(maxBytes + 1, '\0');
    const ssize_t read = ReadUntilFullOrEnd(fd, buffer.data(), buffer.size());
    if (read < 0) {
        error = ReadReason(path);
        ::close(fd);
        return false;
    }
    ::close(fd);
    const auto total = static_cast<size_t>(read);
    if (total > maxBytes) {
        error = path + ": too large for " + kind + " (more than " + SizeText(maxBytes) + ")";
        return false;
    }
    buffer.resize(total);
    text = std::move(buffer);
    return true;
}

ssize_t ReadUntilFullOrEnd(int fd, void* buffer, size_t size) {
    auto* bytes = static_cast<char*>(buffer);
    size_t total = 0;
    while (total < size) {
        const ssize_t got = ::read(fd, bytes + total, size - total);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return -1;
        }
        if (got == 0) {
            break;
        }
        total += static_cast<size_t>(got);
    }
    return static_cast<ssize_t>(total);
}

void SetReadOpenHook(std::function<void(const std::string& path)> hook) {
    readOpenHook = std::move(hook);
}
