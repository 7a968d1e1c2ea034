#pragma once

#include <linux/uhid.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One HID device of the kernel, made through /dev/uhid: one open of
// /dev/uhid per device, created and destroyed as often as asked (destroying
// is an unplug as far as the kernel and udev can tell).
struct UhidIdentity {
    std::string name;
    uint16_t vendorId;
    uint16_t productId;
    std::vector<uint8_t> reportDescriptor;
};

class UhidDevice {
public:
    UhidDevice() = default;
    ~UhidDevice();
    UhidDevice(const UhidDevice&) = delete;
    UhidDevice& operator=(const UhidDevice&) = delete;

    // Opens /dev/uhid. false with error() set when it cannot be opened.
    bool Open();
    int Fd() const { return fd_; }
    const std::string& error() const { return error_; }

    bool Create(const UhidIdentity& identity);
    bool Destroy();
    bool created() const { return created_; }
    // Set from the kernel's start/stop and open/close events.
    bool started() const { return started_; }
    bool opened() const { return opened_; }

    // Reads one event; false when none could be read. Start, stop, open and
    // close are tracked here before the event is handed on.
    bool ReadEvent(uhid_event& event);
    bool SendInput(const uint8_t* data, size_t length);
    bool ReplyGetReport(uint32_t id, uint16_t error, const uint8_t* data, size_t length);
    bool ReplySetReport(uint32_t id, uint16_t error);

private:
    bool Write(const uhid_event& event);

    int fd_ = -1;
    bool created_ = false;
    bool started_ = false;
    bool opened_ = false;
    std::string error_;
};
