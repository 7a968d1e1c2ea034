#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "settings/settings_image.h"

// The mouse's behaviour alone, without the road its reports travel: its
// 1024-byte memory, the answers to feature reports and a fault script for tests.
// The in-process simulated mouse and the uhid mouse both wrap it.
//
// How it behaves where the real firmware is unknown, kept simple on purpose:
// - every command (0x02, 0x11, 0x12, 0x13) completes at once with status 1,
//   unless the script says otherwise;
// - a write stores the 1024 image bytes exactly as sent;
// - a factory reset stores the settings model's defaults (opaque bytes 0);
// - the status of the last command is answered by every fetch of either
//   report until the next command; before the first command it is 0;
// - an unknown command code, or a settings report whose command is not 0x11,
//   is accepted and answered with the failure status 2, changing nothing;
// - a scripted status changes only the answer, never what the command did;
// - the command report carries the firmware block (version in block bytes
//   1-2, report bytes 17-18, low byte first) only after command 0x02; the
//   settings report always carries the memory;
// - an answer is cut to the requested length, so a short request gets a
//   short answer.
class MouseFirmware {
public:
    MouseFirmware();

    // Feature report from the host, data[0] = report id. false = rejected
    // (unknown report id or a report too short to hold a command).
    bool SetFeature(const uint8_t* data, size_t length);
    // Answer to a get-feature request for data[0]. Returns the number of bytes
    // written (at most length), or -1 for an unknown report id.
    int GetFeature(uint8_t* data, size_t length);

    // The mouse's own buttons: each changes the memory as the firmware does
    // and returns the input report the mouse then sends on its event interface.
    // The CPI button makes the next level in use the active one.
    std::vector<uint8_t> PressCpiButton();
    std::vector<uint8_t> SwitchReportRate(uint8_t pollingRateCode);

    // The report interval its memory holds, in units of 125 microseconds.
    uint8_t PollingRateCode() const;
    const SettingsImage& Memory() const { return memory_; }
    void SetMemory(const SettingsImage& image) { memory_ = image; }
    static SettingsImage FactoryImage();

    uint16_t firmwareVersion = 0x0107;

    // Test script: statuses answered by the next fetches, one each, in order,
    // before the command's own status is answered again.
    void QueueStatuses(std::initializer_list<uint8_t> statuses);
    // While set, every fetch answers busy (3).
    void SetStaysBusy(bool busy) { staysBusy_ = busy; }

    // Called after every write or reset stored into the memory (persistence).
    // The simulated mouse calls it with its lock held: do not call back into it.
    std::function<void(const SettingsImage&)> onMemoryChanged;

private:
    uint8_t NextStatus();
    void RunCommand(uint8_t command);
    void StoreMemory(const SettingsImage& image);
    int AnswerCommandReport(uint8_t* data, size_t length);
    int AnswerSettingsReport(uint8_t* data, size_t length);

    SettingsImage memory_{};
    uint8_t lastCommand_ = 0;
    uint8_t lastStatus_ = 0;
    std::deque<uint8_t> scriptedStatuses_;
    bool staysBusy_ = false;
};
