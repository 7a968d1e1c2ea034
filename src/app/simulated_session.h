#pragma once

#include <memory>
#include <string>

class SimulatedMouse;

// The simulated mouse that --simulate runs the tool against: it becomes the
// HID transport and the source of plug notifications for as long as it lives.
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

private:
    SimulatedSession();
    std::unique_ptr<SimulatedMouse> mouse_;
};
