#include "vm/support/as_user.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "vm/support/write_all.h"

namespace {

bool DropRoot(uid_t uid, gid_t gid) {
    // Groups first: once the user id has changed, they can no longer be set.
    return setgroups(1, &gid) == 0 && setgid(gid) == 0 && setuid(uid) == 0 && getuid() == uid &&
           geteuid() == uid && getgid() == gid && getegid() == gid && setuid(0) != 0;
}

}  // namespace

std::string RunAsUser(uid_t uid, gid_t gid, const std::function<std::string()>& body) {
    int answer[2];
    if (pipe(answer) != 0) {
        return std::string("error pipe: ") + std::strerror(errno);
    }
    const pid_t child = fork();
    if (child < 0) {
        close(answer[0]);
        close(answer[1]);
        return std::string("error fork: ") + std::strerror(errno);
    }
    if (child == 0) {
        close(answer[0]);
        if (!DropRoot(uid, gid)) {
            _exit(2);
        }
        WriteAll(answer[1], body());
        // No exit handlers: they belong to the parent (gtest, hidapi).
        _exit(0);
    }
    close(answer[1]);
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t length = read(answer[0], buffer, sizeof buffer);
        if (length < 0 && errno == EINTR) {
            continue;
        }
        if (length <= 0) {
            break;
        }
        text.append(buffer, static_cast<size_t>(length));
    }
    close(answer[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 2) {
        return "error the child could not give up root";
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return "error the child died (status " + std::to_string(status) + ")";
    }
    return text;
}
