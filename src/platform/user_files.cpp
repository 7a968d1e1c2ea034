#include "platform/user_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

// As the kernel's own limit on links in one lookup.
constexpr int kMaxLinkHops = 40;

// Temporaries are named "<file>.kestrine-save-XXXXXX", so a killed run's
// leftovers can be told from anything else in the folder.
constexpr char kTemporaryMark[] = ".kestrine-save-";
constexpr char kTemporaryPattern[] = "XXXXXX";

std::function<void(const std::string&)> readOpenHook;

std::string Reason(const std::string& path, int error = errno) {
    return path + ": " + std::strerror(error);
}

bool IsSharedFolder(const struct stat& folder) {
    return (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
}

// Reads from `fd` until `size` bytes are in or the file ends, through
// interruptions: the count read, or -1 with errno set.
ssize_t ReadUntilFullOrEnd(int fd, char* buffer, size_t size) {
    size_t total = 0;
    while (total < size) {
        const ssize_t got = ::read(fd, buffer + total, size - total);
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

bool WriteAll(int fd, const std::string& text) {
    const char* data = text.data();
    size_t left = text.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, left);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = EIO;
            }
            return false;
        }
        data += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

// A full disk or a failing one is a failure to write; anything else says the
// place cannot be written at all.
WriteResult ResultOf(int error) {
    return error == ENOSPC || error == EDQUOT || error == EIO || error == EFBIG
               ? WriteResult::Failed
               : WriteResult::Refused;
}

std::string NotRegularText(const std::string& path, mode_t mode, const std::string& kind) {
    return path + ": " + FileKindText(mode) + "; " + kind +
           " is written only to a regular file or a new name";
}

// A read-only file is never replaced, though the folder would allow it.
bool CheckWritable(const std::string& path, const std::string& target, const struct stat& info,
                   std::string& error) {
    // Root may replace a file without write bits; the user who cleared them meant no.
    if ((info.st_mode & 0222) == 0 ||
        (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0 && errno == EACCES)) {
        error = path + ": the file is read-only; it was left as it is";
        return false;
    }
    return true;
}

// What may be replaced at `target`: nothing (a new file in an existing
// folder) or a regular file this user may write. `existing` is filled when
// there is a file.
bool CheckDestination(const std::string& path, const std::string& target, const std::string& kind,
                      struct stat& existing, bool& exists, std::string& error) {
    exists = ::lstat(target.c_str(), &existing) == 0;
    if (exists) {
        if (!S_ISREG(existing.st_mode)) {
            error = NotRegularText(path, existing.st_mode, kind);
            return false;
        }
        return CheckWritable(path, target, existing, error);
    }
    if (errno != ENOENT) {
        error = Reason(path);
        return false;
    }
    // A new name, or a link to a file not made yet: the file is made there.
    const std::string folder = FolderOfPath(target);
    struct stat folderInfo {};
    if (::stat(folder.c_str(), &folderInfo) != 0) {
        error =
            errno == ENOENT ? path + ": the folder " + folder + " does not exist" : Reason(folder);
        return false;
    }
    if (!S_ISDIR(folderInfo.st_mode)) {
        error = path + ": " + folder + " is " + FileKindText(folderInfo.st_mode) + ", not a folder";
        return false;
    }
    return true;
}

// A temporary file beside the target, locked while it is written so that the
// clean-up of another start never takes it; removed unless it was renamed.
class Temporary {
public:
    ~Temporary() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        if (!name_.empty() && !kept_) {
            ::unlink(name_.c_str());
        }
    }

    // Takes the existing file's permissions, owner and group when there is
    // one; a new file gets ordinary permissions, as an editor would give.
    bool Create(const std::string& target, const struct stat* existing, const std::string& path,
                std::string& error) {
        std::string name = target + kTemporaryMark + kTemporaryPattern;
        fd_ = ::mkstemp(name.data());
        if (fd_ < 0) {
            error = errno == ENAMETOOLONG
                        ? path + ": the name is too long for the temporary file written beside it"
                        : Reason(path);
            return false;
        }
        name_ = std::move(name);
        ::flock(fd_, LOCK_EX);
        if (existing == nullptr) {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            ::fchmod(fd_, 0666 & ~mask);
            return true;
        }
        struct stat own {};
        if (::fstat(fd_, &own) != 0) {
            error = Reason(path);
            return false;
        }
        if ((own.st_uid != existing->st_uid || own.st_gid != existing->st_gid) &&
            ::fchown(fd_, existing->st_uid, existing->st_gid) != 0) {
            error = path + ": its owner and group (uid " + std::to_string(existing->st_uid) +
                    ", group " + std::to_string(existing->st_gid) +
                    ") cannot be given to the new file (" + std::strerror(errno) +
                    "); it was left as it is";
            return false;
        }
        if (::fchmod(fd_, existing->st_mode & 07777) != 0) {
            error = Reason(path);
            return false;
        }
        return true;
    }

    // The text on the disk before the rename can show it.
    bool WriteAndSync(const std::string& text) {
        const bool good = WriteAll(fd_, text) && ::fsync(fd_) == 0;
        const int failure = errno;
        const bool closed = ::close(fd_) == 0;
        fd_ = -1;
        errno = good ? errno : failure;
        return good && closed;
    }

    const std::string& Name() const { return name_; }
    void Keep() { kept_ = true; }

private:
    std::string name_;
    int fd_ = -1;
    bool kept_ = false;
};

// A new name is never renamed over something that appeared there meanwhile.
int RenameInto(const std::string& from, const std::string& to, bool exists) {
    if (!exists) {
        const int result =
            ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
        if (result == 0 || (errno != EINVAL && errno != ENOSYS)) {
            return result;
        }
    }
    return ::rename(from.c_str(), to.c_str());
}

// The rename itself reaches the disk only with its folder.
void SyncFolder(const std::string& file) {
    const int fd = ::open(FolderOfPath(file).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
        return home;
    }
    // No HOME (a service, su): the password database knows it.
    if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir) {
        return entry->pw_dir;
    }
    return {};
}

}  // namespace

std::string FolderOfPath(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOfPath(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
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

std::string SizeText(size_t bytes) {
    constexpr size_t kKiB = size_t{1} << 10;
    constexpr size_t kMiB = size_t{1} << 20;
    if (bytes % kMiB == 0) {
        return std::to_string(bytes / kMiB) + " MiB";
    }
    return bytes % kKiB == 0 ? std::to_string(bytes / kKiB) + " KiB"
                             : std::to_string(bytes) + " bytes";
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
            error = Reason(path);
            return false;
        }
        if (!S_ISLNK(info.st_mode)) {
            target = current;
            return true;
        }
        const std::string folder = FolderOfPath(current);
        struct stat folderInfo {};
        if (::stat(folder.c_str(), &folderInfo) != 0) {
            error = Reason(path);
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
            error = Reason(path, length < 0 ? errno : ENOENT);
            return false;
        }
        link.resize(static_cast<size_t>(length));
        current = link.front() == '/' ? link : folder + "/" + link;
    }
    errno = ELOOP;
    error = Reason(path);
    return false;
}

bool ReadUserFile(const std::string& path, size_t maxBytes, const std::string& kind,
                  std::string& text, std::string& error) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        const int failure = errno;
        error = Reason(path, failure);
        errno = failure;  // ENOENT tells a missing file from a refused one
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = path + ": " + FileKindText(info.st_mode) + ", not a regular file";
        errno = EINVAL;
        return false;
    }
    if (readOpenHook) {
        readOpenHook(path);
    }
    // Non-blocking: a FIFO swapped in after the check never makes open() wait.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const int failure = errno;
        error = Reason(path, failure);
        errno = failure;
        return false;
    }
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = path + ": " + FileKindText(info.st_mode) + ", not a regular file";
        ::close(fd);
        errno = EINVAL;
        return false;
    }
    // One byte more than allowed tells a file that is too large.
    std::string buffer(maxBytes + 1, '\0');
    const ssize_t read = ReadUntilFullOrEnd(fd, buffer.data(), buffer.size());
    const int failure = errno;
    ::close(fd);
    if (read < 0) {
        error = Reason(path, failure);
        errno = failure;
        return false;
    }
    const auto total = static_cast<size_t>(read);
    if (total > maxBytes) {
        error = path + ": too large for " + kind + " (more than " + SizeText(maxBytes) + ")";
        errno = EFBIG;
        return false;
    }
    buffer.resize(total);
    text = std::move(buffer);
    return true;
}

WriteResult WriteUserFile(const std::string& path, const std::string& text, const std::string& kind,
                          std::string& error) {
    // A file kept as a link (dotfile managers do that) is written where the
    // link points; the link stays.
    std::string target;
    if (!FollowLinksSafely(path, target, error)) {
        return WriteResult::Refused;
    }
    struct stat existing {};
    bool exists = false;
    if (!CheckDestination(path, target, kind, existing, exists, error)) {
        return WriteResult::Refused;
    }
    Temporary temporary;
    if (!temporary.Create(target, exists ? &existing : nullptr, path, error)) {
        return ResultOf(errno);
    }
    if (!temporary.WriteAndSync(text)) {
        const int failure = errno;
        error = Reason(path, failure);
        return ResultOf(failure);
    }
    // Checked once more just before: what stands there now is what is replaced.
    struct stat now {};
    if (::lstat(target.c_str(), &now) == 0 && !S_ISREG(now.st_mode)) {
        error = NotRegularText(path, now.st_mode, kind);
        return WriteResult::Refused;
    }
    if (RenameInto(temporary.Name(), target, exists) != 0) {
        const int failure = errno;
        error = failure == EEXIST
                    ? path + ": something else was created there meanwhile; it was left as it is"
                    : Reason(path, failure);
        return ResultOf(failure);
    }
    temporary.Keep();
    SyncFolder(target);
    return WriteResult::Written;
}

bool CanReplaceUserFile(const std::string& path, std::string& error) {
    std::string target;
    if (!FollowLinksSafely(path, target, error)) {
        return false;
    }
    struct stat existing {};
    if (::stat(target.c_str(), &existing) != 0) {
        error = Reason(path);
        return false;
    }
    if (!CheckWritable(path, target, existing, error)) {
        return false;
    }
    Temporary probe;
    return probe.Create(target, &existing, path, error);
}

void RemoveStaleTemporaries(const std::string& path) {
    std::string target;
    std::string unused;
    if (!FollowLinksSafely(path, target, unused)) {
        return;
    }
    const std::string prefix = NameOfPath(target) + kTemporaryMark;
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
        // A save in progress holds its lock.
        struct stat info {};
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            ::unlinkat(::dirfd(folder), entry->d_name, 0);
        }
        ::close(fd);
    }
    ::closedir(folder);
}

bool MakeFolders(const std::string& folder, std::string& error) {
    const std::string path = folder + "/";
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        struct stat info {};
        if (::stat(part.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
            continue;
        }
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            error = "cannot create " + part + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

std::string ConfigHome() {
    // A relative XDG_CONFIG_HOME is to be ignored, as the XDG rules say.
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/') {
        return xdg;
    }
    return HomeFolder() + "/.config";
}

std::string RuntimeFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return runtime != nullptr ? runtime : "";
}

void SetReadOpenHook(std::function<void(const std::string& path)> hook) {
    readOpenHook = std::move(hook);
}
