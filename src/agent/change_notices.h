#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

#include "settings/settings_image.h"

class Notifier;

// What the background agent makes of the mouse's own change reports: a notice
// for each press of its CPI button ("CPI 1600 — level 2 of 4") or its
// report-rate switch ("Report rate 8000 Hz"), one notice replaced in place as
// the button is pressed again. A notice that cannot be shown is printed on
// `out`, and why once on `err`.
//
// The mouse reports only what its own buttons change; a write by the tool
// (APPLY, a level click, a Factory Reset) brings no report, so it never gives
// a notice. It does change what each level's CPI is, so the agent reads the
// mouse again before a notice when any of the user's processes wrote since
// it read last (the count in user_command_lock.h).
class ChangeNotices {
public:
    // Without a notice service, notices go to `out`; `err` hears once why.
    ChangeNotices(Notifier& notifier, std::ostream& out, std::ostream& err);
    ~ChangeNotices();
    ChangeNotices(const ChangeNotices&) = delete;
    ChangeNotices& operator=(const ChangeNotices&) = delete;

    // Called before every read of the mouse (the simulated mouse catches up
    // with the other processes there).
    void SetBeforeRead(std::function<void()> beforeRead);

    // Reads what the mouse holds (after a plug-in). false: it did not answer.
    bool ReadMouse();
    // The mouse was removed.
    void Forget();
    void OnMouseEvent(uint8_t code, uint8_t value);
    // Any other notice of the agent, replacing the one on screen; never waits.
    void Notify(const std::string& text);

    // The text for a report, given what the mouse held before it; nothing for
    // a report that changes nothing a player needs to see.
    static std::optional<std::string> TextFor(const std::optional<SettingsRecord>& known,
                                              uint8_t code, uint8_t value);

private:
    void Print(const std::string& text, const std::string& problem);

    Notifier& notifier_;
    std::ostream& out_;
    std::ostream& err_;
    std::function<void()> beforeRead_;
    std::optional<SettingsRecord> known_;
    uint64_t writesSeen_ = 0;
    bool saidNoService_ = false;
};
