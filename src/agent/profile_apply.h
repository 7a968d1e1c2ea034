#pragma once

#include <string>

// Puts a profile file on the mouse as APPLY puts the window's settings on it:
// the profile is read and checked whole before the mouse is touched, laid
// over what the mouse holds (what a profile leaves out stays), and the
// result is written whole with retries, or not at all. Nothing is written
// when the mouse already holds it, sparing its memory.
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

// Opens the mouse through the device link (FindDevice), so the caller holds
// the instance lock as a command does. The link is left open; the caller
// releases it (ReleaseDevice) when it wants.
ProfileApplyResult ApplyProfileFile(const std::string& path);
