#include "cli/profile_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <istream>
#include <ostream>

namespace {

// A profile is a few kilobytes; anything far larger is not one.
constexpr std::streamsize kMaxProfileBytes = 1 << 20;

std::string Reason(const std::string& path) {
    return path + ": " + std::strerror(errno);
}

bool ReadAll(std::istream& in, const std::string& name, std::string& text, std::string& error) {
    std::string buffer(static_cast<size_t>(kMaxProfileBytes) + 1, '\0');
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    if (in.bad()) {
        error = name + ": cannot be read";
        return false;
    }
    buffer.resize(static_cast<size_t>(in.gcount()));
    if (static_cast<std::streamsize>(buffer.size()) > kMaxProfileBytes) {
        error = name + ": too large for a profile (more than 1 MiB)";
        return false;
    }
    text = std::move(buffer);
    return true;
}

}  // namespace

bool ReadProfileSource(const std::string& path, std::istream& in, std::string& text,
                       std::string& error) {
    if (path == "-") {
        return ReadAll(in, "<stdin>", text, error);
    }
    // A folder or a FIFO would fail or block on reading: only a regular file is a profile.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        error = Reason(path);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = path + ": not a regular file";
        return false;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = Reason(path);
        return false;
    }
    return ReadAll(file, path, text, error);
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
    std::string target = path;
    if (char* resolved = ::realpath(path.c_str(), nullptr)) {
        target = resolved;
        std::free(resolved);
    } else if (struct stat link{}; ::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        error = path + ": a link to nowhere";
        return false;
    }
    std::string temporary = target + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        error = Reason(path);
        return false;
    }
    // Profiles are the user's own text; ordinary permissions, as an editor would give.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    const char* data = text.data();
    size_t left = text.size();
    bool written = true;
    while (left > 0) {
        const ssize_t n = ::write(fd, data, left);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            written = false;
            break;
        }
        data += n;
        left -= static_cast<size_t>(n);
    }
    if (!written || ::fsync(fd) != 0) {
        error = Reason(path);
        ::close(fd);
        ::unlink(temporary.c_str());
        return false;
    }
    if (::close(fd) != 0 || ::rename(temporary.c_str(), target.c_str()) != 0) {
        error = Reason(path);
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}
