#pragma once

#include <functional>
#include <memory>
#include <string>

#include "settings/settings_image.h"

class SimulatedMouse;
class SimulatedEventChannel;

// The simulated mouse that --simulate runs the tool against, in the window and
// on the command line alike: it is the HID transport for as long as it lives.
// With a file, its memory starts from the file (created with the factory
// settings when missing) and is saved there after every write or reset.
class SimulatedSession {
public:
    ~SimulatedSession();
    SimulatedSession(const SimulatedSession&) = delete;
    SimulatedSession& operator=(const SimulatedSession&) = delete;

    // nullptr with a message in `error` when the file cannot be used.
    static std::unique_ptr<SimulatedSession> Start(const std::string& memoryFile,
                                                   std::string& error);

    SimulatedMouse& Mouse() { return *mouse_; }
    // The memory file's name; empty when the memory lives for this run only.
    const std::string& MemoryFile() const { return memoryFile_; }
    // What the user should know about the file from the start (empty: nothing).
    const std::string& Notice() const { return notice_; }

    // Told after every save of the memory file: the reason it failed, or
    // empty when it succeeded. The mouse keeps the change either way.
    void SetSaveObserver(std::function<void(const std::string& error)> observer);

    // With a memory file, presses of the mouse's own buttons reach the other
    // processes that run against the same file (see simulated_event_channel.h).
    // A process that wants theirs follows them: the fd becomes readable when
    // some may have come, and CatchUp then takes them. -1 with the reason in
    // `error` without a memory file or when the channel cannot be watched.
    int FollowOtherProcesses(std::string& error);
    // Loads the memory as the other processes left it and delivers their
    // button reports on this mouse's event interface, as the mouse would.
    void CatchUp();

private:
    SimulatedSession();
    void Save(const SettingsImage& memory);

    std::unique_ptr<SimulatedMouse> mouse_;
    std::unique_ptr<SimulatedEventChannel> channel_;
    std::string memoryFile_;
    std::string notice_;
    std::function<void(const std::string&)> saveObserver_;
};
