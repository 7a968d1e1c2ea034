#include "platform/process_name.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

std::string ProgramOfPid(uint32_t pid) {
    if (pid == 0 || pid > static_cast<uint32_t>(INT_MAX)) {
        return {};
    }
    const std::string path = "/proc/" + std::to_string(pid) + "/comm";
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        return {};
    }
    char buffer[64];
    ssize_t got;
    do {
        got = ::read(fd, buffer, sizeof buffer);
    } while (got < 0 && errno == EINTR);
    ::close(fd);
    if (got <= 0) {
        return {};
    }
    std::string name(buffer, static_cast<size_t>(got));
    while (!name.empty() && (name.back() == '\n' || name.back() == '\0')) {
        name.pop_back();
    }
    return name;
}
