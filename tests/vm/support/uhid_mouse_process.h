#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "settings/settings_image.h"

// A running uhid-mouse program (tools/uhid-mouse), driven through its
// standard input and output: one command, one reply line.
class UhidMouseProcess {
public:
    // Starts the program named by $KESTRINE_UHID_MOUSE with these arguments.
    explicit UhidMouseProcess(const std::vector<std::string>& arguments = {});
    // Sends "quit" and reaps the program (killed if it does not end).
    ~UhidMouseProcess();
    UhidMouseProcess(const UhidMouseProcess&) = delete;
    UhidMouseProcess& operator=(const UhidMouseProcess&) = delete;

    bool running() const { return pid_ > 0; }
    const std::string& error() const { return error_; }

    // The reply line, or "error ..." when the program did not answer in time
    // or has ended.
    std::string Command(const std::string& line);
    // Gives the mouse this memory, as if changed elsewhere; the reply line.
    std::string SetMemory(const SettingsImage& image);
    // What the mouse holds now; nullopt when the reply is not a whole memory.
    std::optional<SettingsImage> Memory();

private:
    bool ReadLine(std::string& line, int timeoutMs);

    pid_t pid_ = -1;
    int toMouse_ = -1;
    int fromMouse_ = -1;
    std::string buffered_;
    std::string error_;
};

// The image as one run of hex digits, the form the uhid mouse reads and writes.
std::string Hex(const SettingsImage& image);

// Plugs the mouse in with its standard pointer interface and waits until
// hidapi lists it (udev has made the node; bounded). Fails the test if not.
void PlugWithPointer(UhidMouseProcess& mouse);
