#pragma once

#include <functional>

class MouseSession;

// What a page may ask of the window it sits in, and nothing more: pages never
// include the window, so the window can change without them.
class PageHost {
public:
    // The records the page shows (pendingSettings) and the mouse holds.
    virtual MouseSession& Session() = 0;
    // The page changed pendingSettings: APPLY and the status line follow.
    virtual void RefreshApplyState() = 0;
    // Writes pendingSettings to the mouse now, `prepare` readying the records
    // just before; true when the mouse confirmed it.
    virtual bool WritePendingSettings(const std::function<void()>& prepare) = 0;
    // While APPLY or a level write talks to the mouse.
    virtual bool WriteInProgress() const = 0;

protected:
    ~PageHost() = default;
};
