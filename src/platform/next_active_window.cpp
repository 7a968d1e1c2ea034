#include "platform/next_active_window.h"

#include <poll.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/process_name.h"

namespace {

// A source that names no pid (X11) still names the program.
bool IsOwn(const ActiveWindow& window, long ownPid) {
    if (window.pid != 0) {
        return window.pid == ownPid;
    }
    return !window.program.empty() && window.program == ProgramOfPid(static_cast<uint32_t>(ownPid));
}

}  // namespace

std::optional<ActiveWindow> WaitForNextActiveWindow(WindowSource& source, int cancelFd, int limitMs,
                                                    long ownPid, std::string& error) {
    if (source.Fd() < 0 && !source.Start(error)) {
        return std::nullopt;
    }
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    for (;;) {
        // What the start brought with it waits in the source's buffer, not on the descriptor.
        const std::optional<ActiveWindow> changed = source.ReadChanges();
        if (source.Broken()) {
            error = source.Name() + " closed the connection";
            return std::nullopt;
        }
        if (changed && !changed->Empty() && !IsOwn(*changed, ownPid)) {
            return changed;
        }
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(giveUp - std::chrono::steady_clock::now())
                .count();
        if (left <= 0) {
            const int seconds = (limitMs + 999) / 1000;
            error = "no other window came to the front within " + std::to_string(seconds) +
                    (seconds == 1 ? " second" : " seconds");
            return std::nullopt;
        }
        pollfd fds[2] = {{source.Fd(), POLLIN, 0}, {cancelFd, POLLIN, 0}};
        if (::poll(fds, cancelFd >= 0 ? 2 : 1, static_cast<int>(left)) < 0 && errno != EINTR) {
            error = std::string("waiting for a window failed: ") + std::strerror(errno);
            return std::nullopt;
        }
        if (cancelFd >= 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            error = "no window was picked (cancelled)";
            return std::nullopt;
        }
    }
}
