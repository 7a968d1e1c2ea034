#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

#include "settings/settings_image.h"

// Puts a profile file on the mouse as APPLY puts the window's settings on it:
// the profile is read and checked whole before the mouse is touched, laid
// over one fixed base (ProfileBase), and the result is written whole with
// retries, or not at all. Nothing is written when the mouse already holds
// it, sparing its memory.
enum class ProfileApplyOutcome {
    Applied,       // written and confirmed
    Unchanged,     // the mouse already held these settings; nothing was written
    FileProblem,   // missing, unreadable, not a regular file or too large
    BadProfile,    // not a valid profile; `reason` lists every problem
    NoMouse,       // no mouse could be opened (not connected, no access, ...)
    MouseSilent,   // the mouse did not send its settings; nothing was written
    NotConfirmed,  // sent, but the mouse confirmed none of the three tries
};

struct ProfileApplyResult {
    ProfileApplyOutcome outcome = ProfileApplyOutcome::FileProblem;
    // Why it failed, for a notice and a status line; one line per problem.
    // Empty for Applied and Unchanged.
    std::string reason;

    bool Succeeded() const {
        return outcome == ProfileApplyOutcome::Applied || outcome == ProfileApplyOutcome::Unchanged;
    }
};

// What every profile is laid over, the same for each switch, so that a
// profile gives the same bytes whatever profile came before it (a setting one
// profile sets and the next leaves out does not carry over): what the mouse
// held at the agent's first switch or, later, after the last write by the
// window or a command (the user's own choice), with the rules' default
// profile over that when there is one. Before the first switch there is none:
// it is then what the mouse holds.
struct ProfileBase {
    std::optional<SettingsRecord> held;  // none yet: taken at the next apply
    uint64_t writesSeen = 0;             // the user's write count that `held` includes
    bool afterOtherWrite = false;        // taken after a write by the window or a command
    std::time_t takenAt = 0;
    std::string defaultProfile;  // its path; "" = none
};
// The base in a few words, for `agent --status`.
std::string BaseText(const ProfileBase& base);

// Opens the mouse through the device link (FindDevice), so the caller holds
// the instance lock as a command does. The link is left open; the caller
// releases it (ReleaseDevice) when it wants. `base` is taken from the mouse
// when it has none or another process wrote since.
ProfileApplyResult ApplyProfileFile(const std::string& path, ProfileBase& base);
