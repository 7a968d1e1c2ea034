#include "app/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace {

// A private folder under /tmp that only this user owns; anything else found
// there (another user's folder, a symlink) is not trusted.
std::string FallbackFolder() {
    const std::string folder = "/tmp/kestrine-config-" + std::to_string(::getuid());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        return {};
    }
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != ::getuid() || (info.st_mode & 0077) != 0) {
        return {};
    }
    return folder;
}

// The user's runtime folder first, then the private folder under /tmp.
std::vector<std::string> LockFolders() {
    std::vector<std::string> folders;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime) {
        folders.emplace_back(runtime);
    }
    if (std::string fallback = FallbackFolder(); !fallback.empty()) {
        folders.push_back(std::move(fallback));
    }
    return folders;
}

}  // namespace

InstanceLock::~InstanceLock() {
    if (fd_ >= 0) {
        ::close(fd_);  // releases the lock
    }
}

InstanceLock::Result InstanceLock::Acquire(const std::string& folder) {
    for (const std::string& directory :
         folder.empty() ? LockFolders() : std::vector<std::string>{folder}) {
        const std::string path = directory + "/kestrine-config.lock";
        fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd_ < 0) {
            continue;  // not writable here: try the next folder
        }
        if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
            return Result::Acquired;
        }
        const bool held = errno == EWOULDBLOCK;
        ::close(fd_);
        fd_ = -1;
        if (held) {
            return Result::HeldElsewhere;
        }
    }
    return Result::Unavailable;
}
