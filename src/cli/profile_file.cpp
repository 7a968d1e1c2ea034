#include "cli/profile_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <istream>
#include <ostream>

#include "device/file_target.h"
#include "profile/profile.h"

namespace {

std::string Reason(const std::string& path, int error = errno) {
    return path + ": " + std::strerror(error);
}

std::string TooLarge(const std::string& name) {
    return name + ": too large for a profile (more than 1 MiB)";
}

bool ReadAll(std::istream& in, const std::string& name, std::string& text, std::string& error) {
    std::string buffer(kMaxProfileBytes + 1, '\0');
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    if (in.bad()) {
        error = name + ": cannot be read";
        return false;
    }
    buffer.resize(static_cast<size_t>(in.gcount()));
    if (buffer.size() > kMaxProfileBytes) {
        error = TooLarge(name);
        return false;
    }
    text = std::move(buffer);
    return true;
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
            return false;
        }
        data += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

// What may be replaced at `target`: nothing (a new file in an existing
// folder) or a regular file this user may write. `existing` is filled when
// there is a file.
bool CheckDestination(const std::string& path, const std::string& target, bool viaLink,
                      struct stat& existing, bool& exists, std::string& error) {
    exists = ::lstat(target.c_str(), &existing) == 0;
    if (!exists) {
        if (errno != ENOENT) {
            error = Reason(path);
            return false;
        }
        if (viaLink) {
            error = path + ": a link to nowhere";
            return false;
        }
        const std::string folder = FolderOfPath(target);
        struct stat folderInfo {};
        if (::stat(folder.c_str(), &folderInfo) != 0) {
            error = errno == ENOENT ? "folder " + folder + " does not exist" : Reason(folder);
            return false;
        }
        if (!S_ISDIR(folderInfo.st_mode)) {
            error = folder + " is " + FileKindText(folderInfo.st_mode) + ", not a folder";
            return false;
        }
        return true;
    }
    if (!S_ISREG(existing.st_mode)) {
        error = path + " is " + FileKindText(existing.st_mode) +
                "; a profile is written only to a regular file or a new name";
        return false;
    }
    // Root may replace a file without write bits; the user who cleared them meant no.
    if ((existing.st_mode & 0222) == 0 ||
        (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0 && errno == EACCES)) {
        error = path + " is read-only; it was left as it is";
        return false;
    }
    return true;
}

// The replacement takes the replaced file's owner, group and permissions.
bool KeepOwnerAndMode(int fd, const std::string& path, const struct stat& existing,
                      std::string& error) {
    struct stat own {};
    if (::fstat(fd, &own) != 0) {
        error = Reason(path);
        return false;
    }
    if ((own.st_uid != existing.st_uid || own.st_gid != existing.st_gid) &&
        ::fchown(fd, existing.st_uid, existing.st_gid) != 0) {
        error = path + " belongs to uid " + std::to_string(existing.st_uid) + ", group " +
                std::to_string(existing.st_gid) + ", which the new file cannot keep (" +
                std::strerror(errno) + "); it was left as it is";
        return false;
    }
    if (::fchmod(fd, existing.st_mode & 07777) != 0) {
        error = Reason(path);
        return false;
    }
    return true;
}

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

void SyncFolder(const std::string& file) {
    const int fd = ::open(FolderOfPath(file).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

bool ReadProfileSource(const std::string& path, std::istream& in, std::string& text,
                       std::string& error) {
    if (path == "-") {
        return ReadAll(in, "<stdin>", text, error);
    }
    // A folder, a FIFO or a device would fail or block on reading (or do
    // something on opening): only a regular file is a profile.
    return ReadRegularFile(path, kMaxProfileBytes, "a profile", text, error);
}

bool WriteProfileDestination(const std::string& path, std::ostream& out, const std::string& text,
                             std::string& error) {
    if (path == "-") {
        out << text;
        out.flush();
        if (!out) {
            error = "<stdout>: cannot be written";
            return false;
        }
        return true;
    }
    // A profile kept as a link (dotfile managers do that) is written where the
    // link points; the link stays.
    std::string target;
    if (!FollowLinksSafely(path, target, error)) {
        return false;
    }
    struct stat existing {};
    bool exists = false;
    if (!CheckDestination(path, target, target != path, existing, exists, error)) {
        return false;
    }
    std::string temporary = target + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        error = Reason(path);
        return false;
    }
    bool kept = true;
    if (exists) {
        kept = KeepOwnerAndMode(fd, path, existing, error);
    } else {
        // A new profile is the user's own text; ordinary permissions, as an editor would give.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    if (!kept) {
        ::close(fd);
        ::unlink(temporary.c_str());
        return false;
    }
    if (!WriteAll(fd, text) || ::fsync(fd) != 0) {
        error = Reason(path);
        ::close(fd);
        ::unlink(temporary.c_str());
        return false;
    }
    if (::close(fd) != 0) {
        error = Reason(path);
        ::unlink(temporary.c_str());
        return false;
    }
    // Checked once more just before: what stands there now is what is replaced.
    struct stat now {};
    if (::lstat(target.c_str(), &now) == 0 && !S_ISREG(now.st_mode)) {
        error = path + " is " + FileKindText(now.st_mode) +
                "; a profile is written only to a regular file or a new name";
        ::unlink(temporary.c_str());
        return false;
    }
    if (RenameInto(temporary, target, exists) != 0) {
        error = errno == EEXIST ? path +
                                      ": something else was created there meanwhile; it was "
                                      "left as it is"
                                : Reason(path);
        ::unlink(temporary.c_str());
        return false;
    }
    SyncFolder(target);
    return true;
}

void SetProfileOpenHook(std::function<void(const std::string& path)> hook) {
    SetReadOpenHook(std::move(hook));
}
