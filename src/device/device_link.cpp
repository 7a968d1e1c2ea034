#include "device/device_link.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "device/critical_section.h"
#include "device/hid_transport.h"
#include "device/sleep.h"
#include "device/user_command_lock.h"

SettingsImage lastReadImage{};

namespace {

// Command results.
constexpr int kResultDone = 1;
constexpr int kResultNotSent = 2;
constexpr int kResultNoAnswer = 255;
constexpr int kWriteNoStatus = 0;

// Transient failures are tried again this often, with this wait after each failed repeat.
constexpr unsigned kRepeatCount = 3;
constexpr unsigned kRepeatWaitMs = 50;
// A busy mouse is polled this often; the wait before each poll, and the step
// by which the extra wait after a still-busy answer grows (0, 100, ... 900).
constexpr unsigned kBusyPollCount = 10;
constexpr unsigned kBusyPollWaitMs = 100;
constexpr unsigned kBusyExtraStepMs = 100;

// What the mouse needs between a command and its answer.
constexpr unsigned kReadSettingsWaitMs = 80;
constexpr unsigned kFirmwareInfoWaitMs = 50;
constexpr unsigned kFactoryResetWaitMs = 1100;

CMyCriticalSection linkLock;

// A command's hold on the mouse: the link's lock against this process's
// other threads, then the user's turn against the other processes.
struct CommandHold {
    CCriticalSectionAutoLock lock{&linkLock};
    UserCommandTurn turn;
};

std::atomic<FindResult> lastFindResult{FindResult::NoMouse};
std::string foundDevicePath;   // written by FindDevice, on the thread that calls it
std::string chosenDevicePath;  // empty = any

FindResult FindResultFor(OpenFailure failure) {
    switch (failure) {
        case OpenFailure::AccessDenied:
            return FindResult::AccessDenied;
        case OpenFailure::Gone:
            return FindResult::Gone;
        case OpenFailure::None:
        case OpenFailure::Other:
            break;
    }
    return FindResult::OpenFailed;
}

// Guards the handle pointer only (not the device): a command keeps its own
// reference, so a FindDevice elsewhere can never close the device under it.
std::mutex handleMutex;
std::shared_ptr<HidConnection> deviceHandle;

std::shared_ptr<HidConnection> Handle() {
    std::lock_guard lock(handleMutex);
    return deviceHandle;
}

void SetHandle(std::shared_ptr<HidConnection> handle) {
    std::lock_guard lock(handleMutex);
    deviceHandle = std::move(handle);
}

using Request = std::vector<uint8_t>;

void Restore(uint8_t* buffer, const Request& request) {
    std::copy(request.begin(), request.end(), buffer);
}

// One get-feature request, starting from the request bytes. An answer for a
// report other than the one asked for is no answer.
HidResult FetchOnce(HidConnection& handle, uint8_t* buffer, const Request& request) {
    Restore(buffer, request);
    const HidResult result = handle.GetFeatureReport(buffer, request.size());
    if (result == HidResult::Ok && buffer[0] != request[0])
        return HidResult::Error;
    return result;
}

bool RepeatFetch(HidConnection& handle, uint8_t* buffer, const Request& request) {
    for (unsigned i = 0; i < kRepeatCount; ++i) {
        if (FetchOnce(handle, buffer, request) == HidResult::Ok)
            return true;
        SleepMs(kRepeatWaitMs);
    }
    return false;
}

// The mouse answered busy: ask again until it is done or the polls run out.
// The caller judges the status of the last poll.
bool PollWhileBusy(HidConnection& handle, uint8_t* buffer, const Request& request) {
    bool fetched = false;
    for (unsigned poll = 0; poll < kBusyPollCount; ++poll) {
        SleepMs(kBusyPollWaitMs);
        fetched = FetchOnce(handle, buffer, request) == HidResult::Ok;
        if (!fetched)
            continue;
        if (buffer[1] == kStatusDone)
            return true;
        if (buffer[1] == kStatusBusy)
            SleepMs(kBusyExtraStepMs * poll);
    }
    return fetched;
}

bool Fetch(HidConnection& handle, uint8_t* buffer, const Request& request) {
    switch (FetchOnce(handle, buffer, request)) {
        case HidResult::Transient:
            return RepeatFetch(handle, buffer, request);
        case HidResult::Error:
            return false;
        case HidResult::Ok:
            break;
    }
    if (request.size() < 2 || buffer[1] != kStatusBusy)
        return true;
    return PollWhileBusy(handle, buffer, request);
}

template <size_t N>
std::array<uint8_t, N> Report(uint8_t reportId, uint8_t command = 0) {
    std::array<uint8_t, N> report{};
    report[0] = reportId;
    report[1] = command;
    return report;
}

auto CommandReport(uint8_t command = 0) {
    return Report<kCommandReportSize>(kCommandReportId, command);
}

// Sends a command report and spends the mouse's wait, whether or not the send got through.
template <size_t N>
bool SendAndWait(std::array<uint8_t, N>& report, unsigned waitMs) {
    const bool sent = SetFeatureReport(report.data(), report.size());
    SleepMs(waitMs);
    return sent;
}

// Fetches the command report through the full retry and busy polling; true when the mouse says
// done.
bool FetchCommandDone(std::array<uint8_t, kCommandReportSize>& answer) {
    answer = CommandReport();
    return GetFeatureReport(answer.data(), answer.size()) && answer[1] == kStatusDone;
}

}  // namespace

bool IsMouseInterface(const HidInterfaceInfo& info, uint16_t productId, uint16_t usagePage,
                      uint16_t usage) {
    return info.vendorId == kVendorId && info.productId == productId &&
           info.usagePage == usagePage && info.usage == usage;
}

bool FindDevice(uint16_t productId) {
    SetHandle(nullptr);
    HidTransport& transport = CurrentHidTransport();
    FindResult result = FindResult::NoMouse;
    for (const HidInterfaceInfo& info : transport.Enumerate(kVendorId, productId)) {
        if (!IsMouseInterface(info, productId, kConfigUsagePage, kConfigUsage))
            continue;
        if (!chosenDevicePath.empty() && info.path != chosenDevicePath)
            continue;
        std::unique_ptr<HidConnection> connection = transport.Open(info.path);
        if (!connection) {
            result = FindResultFor(transport.LastOpenFailure());
            continue;
        }
        SetHandle(std::move(connection));
        foundDevicePath = info.path;
        lastFindResult = FindResult::Found;
        return true;
    }
    lastFindResult = result;
    return false;
}

std::vector<HidInterfaceInfo> ListMice(uint16_t productId) {
    std::vector<HidInterfaceInfo> mice;
    for (const HidInterfaceInfo& info : CurrentHidTransport().Enumerate(kVendorId, productId)) {
        if (IsMouseInterface(info, productId, kConfigUsagePage, kConfigUsage))
            mice.push_back(info);
    }
    return mice;
}

void ChooseDevice(const std::string& path) {
    chosenDevicePath = path;
}

FindResult LastFindResult() {
    return lastFindResult;
}

const std::string& FoundDevicePath() {
    return foundDevicePath;
}

void ReleaseDevice() {
    SetHandle(nullptr);
}

bool SetFeatureReport(uint8_t* buffer, size_t length) {
    const std::shared_ptr<HidConnection> handle = Handle();
    if (!handle || length == 0)
        return false;
    const HidResult first = handle->SendFeatureReport(buffer, length);
    if (first != HidResult::Transient)
        return first == HidResult::Ok;
    // The first repeat goes out at once; the waits come after failed repeats.
    for (unsigned i = 0; i < kRepeatCount; ++i) {
        if (handle->SendFeatureReport(buffer, length) == HidResult::Ok)
            return true;
        SleepMs(kRepeatWaitMs);
    }
    return false;
}

bool GetFeatureReport(uint8_t* buffer, size_t length) {
    const std::shared_ptr<HidConnection> handle = Handle();
    if (!handle || length == 0)
        return false;
    const Request request(buffer, buffer + length);
    const bool fetched = Fetch(*handle, buffer, request);
    // A failed fetch leaves the request, never part of some earlier or foreign answer.
    if (!fetched)
        Restore(buffer, request);
    return fetched;
}

int ReadSettings() {
    CommandHold hold;
    if (!hold.turn.Taken())
        return kResultNotSent;
    auto command = CommandReport(kCommandReadSettings);
    if (!SendAndWait(command, kReadSettingsWaitMs))
        return kResultNotSent;
    auto report = Report<kSettingsReportSize>(kSettingsReportId);
    if (!GetFeatureReport(report.data(), report.size()) || report[1] != kStatusDone)
        return kResultNotSent;
    std::copy_n(report.begin() + kReportPayloadOffset, lastReadImage.size(), lastReadImage.begin());
    return kResultDone;
}

int WriteSettings(const SettingsRecord& record, uint16_t waitMs) {
    CommandHold hold;
    if (!hold.turn.Taken())
        return kResultNotSent;
    hold.turn.CountWrite();
    SettingsImage image{};
    EncodeSettingsImage(record, image);
    auto report = Report<kSettingsReportSize>(kSettingsReportId, kCommandWriteSettings);
    std::copy(image.begin(), image.end(), report.begin() + kReportPayloadOffset);
    if (!SendAndWait(report, waitMs))
        return kResultNotSent;
    // One plain request: the caller repeats the whole write with a longer wait instead.
    const std::shared_ptr<HidConnection> handle = Handle();
    auto answer = CommandReport();
    const Request request(answer.begin(), answer.end());
    if (!handle || FetchOnce(*handle, answer.data(), request) != HidResult::Ok)
        return kWriteNoStatus;
    return answer[1];
}

int ReadFirmwareInfo(std::array<uint8_t, kFirmwareBlockSize>& block) {
    CommandHold hold;
    if (!hold.turn.Taken())
        return kResultNotSent;
    auto command = CommandReport(kCommandReadFirmware);
    if (!SendAndWait(command, kFirmwareInfoWaitMs))
        return kResultNotSent;
    std::array<uint8_t, kCommandReportSize> answer;
    if (!FetchCommandDone(answer))
        return kResultNoAnswer;
    std::copy_n(answer.begin() + kReportPayloadOffset, block.size(), block.begin());
    return kResultDone;
}

int FactoryReset() {
    CommandHold hold;
    if (!hold.turn.Taken())
        return kResultNoAnswer;
    hold.turn.CountWrite();
    auto command = CommandReport(kCommandFactoryReset);
    if (!SetFeatureReport(command.data(), command.size()))
        return kResultNoAnswer;
    SleepMs(kFactoryResetWaitMs);
    std::array<uint8_t, kCommandReportSize> answer;
    return FetchCommandDone(answer) ? kResultDone : kResultNoAnswer;
}

uint64_t WritesByAnyProcess() {
    CommandHold hold;
    return hold.turn.WritesSoFar();
}
