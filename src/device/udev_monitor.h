#pragma once

#include <memory>
#include <string>
#include <vector>

// Arrival and removal of hidraw nodes, from a libudev monitor on the "udev"
// source (events arrive after udev applied its rules, so permissions are in
// place). Its file descriptor becomes readable when changes are pending; the
// UI watches it and calls ReadChanges.
struct HidrawChange {
    bool arrived;
    std::string syspath;  // holds the HID device name, e.g. 0003:5B29:0C7E.0001
};

class UdevMonitor {
public:
    UdevMonitor();
    ~UdevMonitor();
    UdevMonitor(const UdevMonitor&) = delete;
    UdevMonitor& operator=(const UdevMonitor&) = delete;

    // false when the monitor cannot be created or bound.
    bool Start();
    int Fd() const;
    // Every change pending now, without blocking.
    std::vector<HidrawChange> ReadChanges();

private:
    struct Handles;
    std::unique_ptr<Handles> handles_;
};
