#pragma once

#include <string>

// Keeps a second copy of the tool from starting for the same user: an flock
// on a file in the user's runtime folder. The lock dies with the process, so
// a crash never leaves it stale, and another user can never hold it.
class InstanceLock {
public:
    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    enum class Result { Acquired, HeldElsewhere, Unavailable };
    // `folder` empty = $XDG_RUNTIME_DIR, or where that cannot be written a
    // 0700 folder under /tmp named with the uid.
    Result Acquire(const std::string& folder = {});

private:
    int fd_ = -1;
};
