#pragma once

#include <string>
#include <utility>

// Keeps a second copy of the tool from starting for the same user: an flock
// on a file in the user's runtime folder. The lock dies with the process, so
// a crash never leaves it stale, and another user can never hold it. The
// window and commands share one lock (one of them at a time may change the
// mouse); the background agent has one of its own (one agent per user).
//
// A folder is trusted only when it is a real folder (not a link) owned by
// this user that nobody else may enter (no group or other permissions).
class InstanceLock {
public:
    // Who holds the lock, written into the lock file so that a refused
    // start or command can say who is in its way.
    // Unknown also names a look at who holds the lock (it holds it a moment).
    enum class Holder { Unknown, Window, Command, Agent };
    struct HolderInfo {
        Holder holder = Holder::Unknown;
        long pid = 0;  // 0 = not known
    };

    static constexpr char kWindowLockName[] = "kestrine-config.lock";
    static constexpr char kAgentLockName[] = "kestrine-config-agent.lock";

    explicit InstanceLock(Holder self = Holder::Window, std::string name = kWindowLockName)
        : self_(self), name_(std::move(name)) {}
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    enum class Result { Acquired, HeldElsewhere, Unavailable };
    // `folder` empty = $XDG_RUNTIME_DIR when it is trusted, otherwise a
    // private folder under /tmp named with the uid, made only then. A given
    // folder is used alone, after the same checks.
    Result Acquire(const std::string& folder = {});
    // The same with both places given.
    Result Acquire(const std::string& runtimeFolder, const std::string& fallbackFolder);

    // The folder of the lock, once Acquire found one (Acquired or HeldElsewhere);
    // the running instance listens beside it.
    const std::string& Folder() const { return folder_; }
    // Why no lock could be had, naming the folder (after Unavailable).
    const std::string& Problem() const { return problem_; }
    // Who held it, as that holder recorded it (after HeldElsewhere).
    const HolderInfo& HeldBy() const { return heldBy_; }

    // Whether some process holds the lock `name` in `folder` now, seen in
    // /proc/locks without opening the file: a look that neither takes the
    // lock for a moment nor makes an inotify watcher of the file wake up.
    static bool HeldNow(const std::string& folder, const std::string& name = kWindowLockName);

private:
    Result LockIn(const std::string& folder);
    void RecordSelf();
    void ReadHolder();

    Holder self_;
    std::string name_;
    HolderInfo heldBy_;
    int fd_ = -1;
    std::string folder_;
    std::string problem_;
};

// The folder the per-user locks live in: $XDG_RUNTIME_DIR when it is trusted,
// otherwise the private folder under /tmp (made only then). Empty with the
// reason in `problem` when neither can be used.
std::string UserLockFolder(std::string& problem);
