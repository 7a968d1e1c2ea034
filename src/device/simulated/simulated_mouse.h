#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/hid_transport.h"
#include "device/mouse_firmware.h"

// An in-process mouse behind the HidTransport seam, for tests and --simulate.
// Each mouse shows three interfaces, in this order: an ordinary mouse
// interface (0x0001/0x0002), the configuration interface (0xFF01/2) and the
// event interface (0xFF02/1). Unplugging makes every open connection fail as
// a removed device does (Error); plugging in again gives the interfaces new
// paths, as the kernel gives the device a new name.
//
// The pointer interface carries motion reports (SendPointerReport).
//
// Feature reports reach the firmware only through a configuration interface;
// on the other two they fail with Error. A fetch the firmware answers with
// fewer bytes than asked for fails with Error and the bytes it did not
// deliver are zero, as the hidapi transport does.
//
// Thread-safe: the event listener reads input on its own thread. Configure a
// mouse's firmware (Firmware()) while no other thread sends it reports.
class SimulatedMouse : public HidTransport {
public:
    SimulatedMouse();
    ~SimulatedMouse() override;

    std::vector<HidInterfaceInfo> Enumerate(uint16_t vendorId, uint16_t productId) override;
    std::unique_ptr<HidConnection> Open(const std::string& path) override;
    // Per thread, as errno is: the listener opens on its own thread.
    OpenFailure LastOpenFailure() const override;

    // A further mouse, plugged in and listed after the ones before it (the
    // plug observer hears of it). Returns its index.
    size_t AddMouse();
    MouseFirmware& Firmware(size_t mouse = 0);

    void Unplug(size_t mouse = 0);
    // All of its interfaces; those of a plug-in begun by PlugInterfaces join it.
    void Plug(size_t mouse = 0);
    // Plugs the mouse in with only its first `count` interfaces listed (the
    // plug observer hears of each), as a system may add them one at a time;
    // a later call with a larger count adds the next ones to the same plug-in.
    void PlugInterfaces(size_t count, size_t mouse = 0);
    bool IsPlugged(size_t mouse = 0) const;

    // The device path (udev syspath style, holding "0003:5B29:0C7E.nnnn") of
    // each interface of a mouse as it is now; index 0..2 as listed above.
    // Empty while the mouse is unplugged.
    std::vector<std::string> InterfacePaths(size_t mouse = 0) const;

    // Called once per interface on plug-in (arrived = true) and removal,
    // from the thread that called Plug/Unplug.
    void SetPlugObserver(std::function<void(const std::string& path, bool arrived)> observer);

    // Fault script for the configuration interface (of any mouse): the next
    // `count` sends or fetches fail with `result` (Transient or Error) without
    // reaching the firmware. A new call replaces the previous script.
    void FailSends(HidResult result, int count);
    void FailFetches(HidResult result, int count);
    // Opening this mouse's interfaces fails for this reason (no access, gone
    // meanwhile, or another error) while set; None lets them open again.
    void SetOpenFailure(size_t mouse, OpenFailure reason);

    // The mouse's own buttons pressed: its memory changes and it reports the
    // change on its event interface. Nothing happens while it is unplugged.
    void PressCpiButton(size_t mouse = 0);
    void SwitchReportRate(uint8_t pollingRateCode, size_t mouse = 0);
    // Told after each press of those buttons with the report the mouse sent,
    // on the pressing thread; not for reports sent with SendInputReport.
    void SetButtonObserver(
        std::function<void(const std::vector<uint8_t>& report, size_t mouse)> observer);
    // The memory as another process left it: no save, no report.
    void ReplaceMemory(const SettingsImage& image, size_t mouse = 0);

    // An input report of the event interface, delivered to every connection
    // open on it (dropped when none is open, as hidraw does).
    void SendInputReport(const std::vector<uint8_t>& report, size_t mouse = 0);

    // A motion report of the pointer interface, delivered to every connection
    // open on it. As hidraw does, each connection keeps at most 64 waiting
    // reports and drops the ones that come while it is full.
    void SendPointerReport(const std::vector<uint8_t>& report, size_t mouse = 0);
    // The button bits (the first byte of a pointer report) of the buttons
    // held down now: every pointer report sent from now on carries them.
    void SetPointerButtonsHeld(uint8_t bits, size_t mouse = 0);
    // Pointer reports dropped so far because a reader's queue was full.
    uint64_t PointerReportsDropped() const;
    // As WaitUntilInputTaken, for the pointer-interface connections.
    bool WaitUntilPointerReportsTaken(
        std::chrono::milliseconds limit = std::chrono::seconds(10)) const;
    // The report interval the mouse's memory holds, in units of 125 microseconds.
    uint8_t PollingRateCode(size_t mouse = 0) const;

    // For tests of a reader on another thread: waits (at most `limit`) until
    // every open event-interface connection has handed out all reports sent to
    // it and its reader is back waiting in ReadInput. Connections of a removed
    // mouse count as done. false = the limit passed.
    bool WaitUntilInputTaken(std::chrono::milliseconds limit = std::chrono::seconds(10)) const;
    // Event-interface readers waiting in a ReadInput without a time limit now.
    size_t ReadersWaitingWithoutLimit() const;

    // Every feature report that reached a configuration interface's firmware, in order.
    std::vector<std::vector<uint8_t>> SentReports() const;
    void ClearSentReports();

private:
    struct State;
    class Connection;
    std::shared_ptr<State> state_;
};
