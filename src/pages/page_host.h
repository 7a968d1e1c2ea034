#pragma once

class MouseSession;

// What a page may ask of the window it sits in, and nothing more: pages never
// include the window, so the window can change without them.
class PageHost {
public:
    // The records the page shows (pendingSettings) and the mouse holds.
    virtual MouseSession& Session() = 0;
    // The page changed pendingSettings: APPLY and the status line follow.
    virtual void RefreshApplyState() = 0;
    // Writes the choice of the CPI level the page shows (active level, level
    // count, that level's CPI) to the mouse now, and nothing else; true when
    // the mouse confirmed it.
    virtual bool WriteLevelChoice() = 0;
    // While APPLY or a level write talks to the mouse.
    virtual bool WriteInProgress() const = 0;

protected:
    ~PageHost() = default;
};
