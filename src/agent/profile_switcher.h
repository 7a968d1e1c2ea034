#pragma once

#include <cstdint>
#include <optional>
#include <string>

// When the agent puts a profile on the mouse, decided apart from any window
// system, file or mouse: the caller tells it what happened, with the time in
// milliseconds of one steady clock, and asks it what to apply and when.
//
// A profile is named by its path; empty = none (no rule matched and there is
// no default), and then the mouse is left as it is.
//
// - A window change starts a settle period; every further change restarts
//   it, so Alt+Tab through several windows gives one apply, of the last one.
// - Nothing is applied while the configuration window is open: its pages
//   would go stale. Once it closes, the profile of the window active then is
//   applied after the settle, if it is not the one applied last; so edits
//   made in the window stay until the next switch asks for another profile.
// - A profile is handed out once per change. The one applied or attempted
//   last is not handed out again for another window that wants it too; after
//   a failed attempt it is tried again at the next window change, never in a
//   loop. Whether the mouse already holds it is for the apply itself to find.
class ProfileSwitcher {
public:
    static constexpr int64_t kSettleMs = 300;

    // The active window changed; `profileForWindow` is the profile its rule
    // names (or the default). Also called once at start with the window
    // active then, so the mouse gets its profile.
    void OnActiveWindow(const std::string& profileForWindow, int64_t nowMs);
    void OnConfigWindowOpen(bool open, int64_t nowMs);
    // The rules were read again: the active window's profile under the new
    // rules, handed out after the settle even when its path did not change
    // (the user may have meant it to be applied again).
    void OnRulesChanged(const std::string& profileForWindow, int64_t nowMs);
    // A mouse was plugged in: it may hold anything, so the active window's
    // profile is handed out again after the settle.
    void OnMouseArrived(int64_t nowMs);
    // The profile Due handed out last could not be applied.
    void OnApplyFailed();
    // The profile Due handed out last was not tried, since the configuration
    // window (or a command) held the mouse: it is handed out again later,
    // once that has ended (OnConfigWindowOpen false).
    void OnApplyPostponed();

    // When Due may next have something: the poll's time limit (already past:
    // ask Due at once). Nothing while there is nothing to wait for (no change
    // pending, or the configuration window is open).
    std::optional<int64_t> NextDeadlineMs() const;
    // The profile to apply now, if any; handed out once.
    std::optional<std::string> Due(int64_t nowMs);

private:
    void Settle(int64_t nowMs) { settleEndMs_ = nowMs + kSettleMs; }

    bool windowKnown_ = false;
    std::string wanted_;
    std::optional<int64_t> settleEndMs_;
    bool configOpen_ = false;
    std::optional<std::string> lastHandedOut_;
    std::optional<std::string> handedOutBefore_;
    bool lastFailed_ = false;
    bool force_ = false;
};
