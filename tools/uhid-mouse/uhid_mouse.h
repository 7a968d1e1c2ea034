#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "device/mouse_firmware.h"
#include "uhid_device.h"

// The mouse as the kernel sees it: its configuration interface and its event
// interface, each a uhid device, answering feature reports through the same
// MouseFirmware as the in-process simulated mouse.
//
// Driven by text commands, one a line, each answered with one line:
// "ok[ data]" or "error <reason>":
//   plug [events-first]    create both interfaces, the configuration interface
//                          first unless told otherwise; waits until the kernel
//                          has started both
//   unplug                 destroy both
//   input HEX...           send an input report on the event interface
//   await-open             wait until something has the event interface open
//   statuses N...          statuses answered by the next fetches, in order
//   busy on|off            every fetch answers busy
//   silent on|off          leave get-report requests unanswered (a hung mouse)
//   memory [HEX]           the firmware's 1024 bytes, in hex; with 2048 hex
//                          digits, sets them (a mouse changed elsewhere)
//   counts                 "get=N set=N": feature requests answered so far
//   pointer plug|unplug    create or destroy the standard pointer interface
//                          (generic desktop mouse), apart from the other two
//   await-pointer-open     wait until something has the pointer interface open
//   move HZ SECONDS        send motion reports on the pointer interface at HZ
//                          for SECONDS (a poll missed while the machine
//                          stalled sends nothing); "ok N HZ": the number
//                          sent and the rate sent, from the send times
//   pointer-input HEX...   send one pointer report (buttons, X, Y, wheel;
//                          missing bytes are zero)
//   quit                   unplug and end
struct UhidMouseOptions {
    uint16_t vendorId;
    uint16_t productId;
    std::string name;
};

class UhidMouse {
public:
    explicit UhidMouse(UhidMouseOptions options);

    // Opens /dev/uhid twice. false with error() set when it cannot.
    bool Open();
    const std::string& error() const { return error_; }

    // Runs one command; the reply line without its newline. Sets quit().
    std::string Execute(const std::string& line);
    bool quit() const { return quit_; }

    int ConfigFd() const { return config_.Fd(); }
    int EventFd() const { return events_.Fd(); }
    int PointerFd() const { return pointer_.Fd(); }
    // Handles whatever the kernel has sent on either interface.
    void HandleKernelEvents();

private:
    std::string Plug(const std::string& arguments);
    std::string Unplug();
    std::string Input(const std::string& arguments);
    std::string AwaitOpen();
    std::string Statuses(const std::string& arguments);
    std::string Switch(const std::string& arguments, const std::function<void(bool)>& set);
    std::string Memory(const std::string& arguments);
    std::string Counts() const;
    std::string Pointer(const std::string& arguments);
    std::string Move(const std::string& arguments);
    std::string Stroke(const std::string& arguments);
    std::string PointerInput(const std::string& arguments);
    // One input report of `size` bytes, given in hex (the rest zero), on `device`.
    std::string SendReport(UhidDevice& device, const std::string& arguments, size_t size,
                           const std::string& command, const std::string& unplugged);

    void HandleEvent(UhidDevice& device, const uhid_event& event);
    void AnswerGetReport(UhidDevice& device, const uhid_get_report_req& request);
    void AnswerSetReport(UhidDevice& device, const uhid_set_report_req& request);
    // Handles kernel events until done() or the timeout; returns done().
    bool PumpUntil(const std::function<bool()>& done, int timeoutMs);

    UhidMouseOptions options_;
    MouseFirmware firmware_;
    UhidDevice config_;
    UhidDevice events_;
    UhidDevice pointer_;
    bool silent_ = false;
    bool quit_ = false;
    unsigned getCount_ = 0;
    unsigned setCount_ = 0;
    std::string error_;
};
