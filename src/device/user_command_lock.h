#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// The user's processes (the window, a command, the background agent) take
// turns at the mouse: each device command holds an flock on one file in the
// user's lock folder from its start to its return, waits included, so that
// no two processes interleave their reports. Whoever comes second waits;
// commands are short, so a wait is a few hundred milliseconds at most.
//
// The file also counts the writes made to the mouse by any of them, so a
// process that only reads (the agent) can tell that another one changed the
// mouse's settings since it last read them.

// The file also records who holds the turn (its program, command and pid),
// so that whoever waits can say for whom.

// The lock file in `folder` (a private folder, see platform/instance_lock.h);
// empty = this process only, as in tests that run one process.
void UseUserCommandLock(const std::string& folder);
std::string UserCommandLockPath(const std::string& folder);

// Called on the waiting thread when a command of this process has to wait
// for another process's turn, with the holder as the file records it
// ("kestrine-config set, pid 4242"). {} = nobody is told. Returns the one
// it replaces.
using UserCommandWaitObserver = std::function<void(const std::string& holder)>;
UserCommandWaitObserver SetUserCommandWaitObserver(UserCommandWaitObserver observer);
// The holder of the turn when another process holds it now, without waiting.
std::optional<std::string> UserCommandTurnHolder();
// This process's own entry in the file: its program and command, and its pid.
std::string UserCommandHolderText();

// One command's turn, from construction to destruction.
class UserCommandTurn {
public:
    UserCommandTurn();
    ~UserCommandTurn();
    UserCommandTurn(const UserCommandTurn&) = delete;
    UserCommandTurn& operator=(const UserCommandTurn&) = delete;

    // false: another process kept the mouse longer than any command takes
    // (it hangs); the command then does not talk to the mouse.
    bool Taken() const { return taken_; }
    // The writes counted so far by every process of the user.
    uint64_t WritesSoFar() const;
    // Called by a command that writes, before it sends.
    void CountWrite();

private:
    bool taken_ = false;
    bool locked_ = false;
};
