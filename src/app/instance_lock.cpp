#include "app/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

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

std::string LockFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime) {
        return runtime;
    }
    return FallbackFolder();
}

}  // namespace

InstanceLock::~InstanceLock() {
    if (fd_ >= 0) {
        ::close(fd_);  // releases the lock
    }
}

InstanceLock::Result InstanceLock::Acquire(const std::string& folder) {
    const std::string directory = folder.empty() ? LockFolder() : folder;
    if (directory.empty()) {
        return Result::Unavailable;
    }
    const std::string path = directory + "/kestrine-config.lock";
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0) {
        return Result::Unavailable;
    }
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
        return Result::Acquired;
    }
    const Result result = errno == EWOULDBLOCK ? Result::HeldElsewhere : Result::Unavailable;
    ::close(fd_);
    fd_ = -1;
    return result;
}
