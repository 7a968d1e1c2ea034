#include "device/simulated/mouse_memory_file.h"

#include "device/file_target.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

namespace {

// Temporaries are named "<file>.kestrine-save-XXXXXX", so a killed run's
// leftovers can be told from anything else in the folder.
constexpr char kTemporaryMark[] = ".kestrine-save-";
constexpr char kTemporaryPattern[] = "XXXXXX";

std::string Describe(const std::string& what, const std::string& path, int error) {
    return what + " " + path + ": " + std::strerror(error);
}

std::string NameOf(const std::string& file) {
    const size_t slash = file.rfind('/');
    return slash == std::string::npos ? file : file.substr(slash + 1);
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

// A temporary file beside the target, locked while it is written so that the
// clean-up of another start never takes it; removed unless it was renamed.
class Temporary {
public:
    ~Temporary() {
        if (fd_ >= 0) {
            if (!kept_) {
                ::unlink(name_.c_str());
            }
            ::close(fd_);
        }
    }

    // Takes the existing file's permissions, owner and group when there is one.
    bool Create(const std::string& target, const struct stat* existing, const std::string& path,
                std::string& error) {
        name_ = target + kTemporaryMark + kTemporaryPattern;
        fd_ = ::mkstemp(name_.data());
        if (fd_ < 0) {
            error = errno == ENAMETOOLONG
                        ? "cannot save " + path +
                              ": the name is too long for the temporary file written beside it"
                        : Describe("cannot save", path, errno);
            return false;
        }
        ::flock(fd_, LOCK_EX);
        if (existing == nullptr) {
            return true;
        }
        struct stat own {};
        if (::fstat(fd_, &own) == 0 &&
            (own.st_uid != existing->st_uid || own.st_gid != existing->st_gid) &&
            ::fchown(fd_, existing->st_uid, existing->st_gid) != 0) {
            error = "cannot save " + path + " keeping its owner and group: " + std::strerror(errno);
            return false;
        }
        if (::fchmod(fd_, existing->st_mode & 07777) != 0) {
            error = Describe("cannot save", path, errno);
            return false;
        }
        return true;
    }

    int Fd() const { return fd_; }
    const std::string& Name() const { return name_; }
    void Keep() { kept_ = true; }

private:
    std::string name_;
    int fd_ = -1;
    bool kept_ = false;
};

// The rename itself reaches the disk only with its folder.
void SyncFolder(const std::string& target) {
    const int fd = ::open(FolderOfPath(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Temporaries of this file that no save holds: a run killed while saving.
void RemoveStaleTemporaries(const std::string& target) {
    const std::string prefix = NameOf(target) + kTemporaryMark;
    const size_t nameLength = prefix.size() + std::strlen(kTemporaryPattern);
    DIR* folder = ::opendir(FolderOfPath(target).c_str());
    if (folder == nullptr) {
        return;
    }
    while (const dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name.size() != nameLength || name.compare(0, prefix.size(), prefix) != 0) {
            continue;
        }
        const int fd = ::openat(::dirfd(folder), entry->d_name,
                                O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (fd < 0) {
            continue;
        }
        struct stat info {};
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            ::unlinkat(::dirfd(folder), entry->d_name, 0);
        }
        ::close(fd);
    }
    ::closedir(folder);
}

// The type is checked before the file is opened, so a FIFO or a device is
// never opened at all, and again on the opened file in case it was swapped.
bool ReadExisting(const std::string& target, const std::string& path, SettingsImage& image,
                  struct stat& info, std::string& error) {
    if (!S_ISREG(info.st_mode)) {
        error = path + ": " + FileKindText(info.st_mode) + ", not a mouse memory file";
        return false;
    }
    const int fd = ::open(target.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = Describe("cannot read", path, errno);
        return false;
    }
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        error = path + ": " + FileKindText(info.st_mode) + ", not a mouse memory file";
        return false;
    }
    // One byte more than expected tells a longer file from an exact one.
    std::vector<uint8_t> contents(kSettingsImageSize + 1);
    const ssize_t total = ReadUntilFullOrEnd(fd, contents.data(), contents.size());
    if (total < 0) {
        error = Describe("cannot read", path, errno);
        ::close(fd);
        return false;
    }
    ::close(fd);
    if (total != static_cast<ssize_t>(kSettingsImageSize)) {
        error = path + ": not a mouse memory file (expected exactly " +
                std::to_string(kSettingsImageSize) + " bytes)";
        return false;
    }
    std::memcpy(image.data(), contents.data(), kSettingsImageSize);
    return true;
}

// A read-only file is never replaced, though the folder would allow it.
bool CheckWritable(const std::string& target, const std::string& path, const struct stat& info,
                   std::string& error) {
    // Root may write a file without write bits; the user who set them meant no.
    if ((info.st_mode & 0222) == 0) {
        error = "cannot save " + path + ": the file is read-only";
        return false;
    }
    if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
        error = errno == EACCES ? "cannot save " + path + ": the file is read-only"
                                : Describe("cannot save", path, errno);
        return false;
    }
    return true;
}

// Everything a later save needs, tried now rather than failing on every
// change: the file is writable, and a temporary beside it can be made with
// the file's owner and group.
bool CheckSavable(const std::string& target, const std::string& path, const struct stat& info,
                  std::string& error) {
    if (!CheckWritable(target, path, info, error)) {
        return false;
    }
    Temporary probe;
    return probe.Create(target, &info, path, error);
}

}  // namespace

bool LoadOrCreateMemoryFile(const std::string& path, const SettingsImage& factory,
                            SettingsImage& image, std::string& error, std::string& notice) {
    notice.clear();
    std::string target;
    if (!FollowLinksSafely(path, target, error)) {
        return false;
    }
    RemoveStaleTemporaries(target);
    struct stat info {};
    if (::stat(target.c_str(), &info) != 0) {
        if (errno != ENOENT) {
            error = Describe("cannot read", path, errno);
            return false;
        }
        image = factory;
        return SaveMemoryFile(path, image, error);
    }
    if (!ReadExisting(target, path, image, info, error) ||
        !CheckSavable(target, path, info, error)) {
        return false;
    }
    if (info.st_nlink > 1) {
        notice = path + " has " + std::to_string(info.st_nlink) +
                 " hard links: each save replaces it under this name only, so the other "
                 "names keep the memory they have now.";
    }
    return true;
}

bool SaveMemoryFile(const std::string& path, const SettingsImage& image, std::string& error) {
    std::string target;
    if (!FollowLinksSafely(path, target, error)) {
        return false;
    }
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && !CheckWritable(target, path, existing, error)) {
        return false;
    }
    Temporary temporary;
    if (!temporary.Create(target, exists ? &existing : nullptr, path, error)) {
        return false;
    }
    if (!WriteAll(temporary.Fd(), image.data(), image.size()) || ::fsync(temporary.Fd()) != 0) {
        error = Describe("cannot save", path, errno);
        return false;
    }
    // Renaming over the target replaces it atomically.
    if (::rename(temporary.Name().c_str(), target.c_str()) != 0) {
        error = Describe("cannot save", path, errno);
        return false;
    }
    temporary.Keep();
    SyncFolder(target);
    return true;
}
