#include "device/mouse_firmware.h"

#include <algorithm>
#include <cstring>

#include "device/device_link.h"
#include "device/event_listener.h"

namespace {

// What the firmware answers for a command it does not know.
constexpr uint8_t kStatusFailed = 2;
// Where the firmware keeps the two values its own buttons change.
constexpr size_t kPollingRateCodeOffset = 5;
constexpr size_t kActiveCpiLevelOffset = 13;
// Block byte 1 of the firmware information, i.e. report byte 17.
constexpr size_t kFirmwareVersionOffset = kReportPayloadOffset + 1;

// The first `length` bytes of a whole answer: a short request gets a short answer.
template <size_t N>
int Deliver(const std::array<uint8_t, N>& answer, uint8_t* data, size_t length) {
    const size_t count = std::min(length, N);
    std::memcpy(data, answer.data(), count);
    return static_cast<int>(count);
}

}  // namespace

MouseFirmware::MouseFirmware() : memory_(FactoryImage()) {}

SettingsImage MouseFirmware::FactoryImage() {
    SettingsRecord record{};
    LoadDefaultSettings(record);
    SettingsImage image{};
    EncodeSettingsImage(record, image);
    return image;
}

bool MouseFirmware::SetFeature(const uint8_t* data, size_t length) {
    if (length < 2)
        return false;
    if (data[0] == kCommandReportId) {
        RunCommand(data[1]);
        return true;
    }
    if (data[0] != kSettingsReportId || length < kReportPayloadOffset + kSettingsImageSize)
        return false;
    lastCommand_ = data[1];
    if (data[1] != kCommandWriteSettings) {
        lastStatus_ = kStatusFailed;
        return true;
    }
    SettingsImage image;
    std::memcpy(image.data(), data + kReportPayloadOffset, image.size());
    lastStatus_ = kStatusDone;
    StoreMemory(image);
    return true;
}

void MouseFirmware::RunCommand(uint8_t command) {
    lastCommand_ = command;
    switch (command) {
        case kCommandReadFirmware:
        case kCommandReadSettings:
            lastStatus_ = kStatusDone;
            break;
        case kCommandFactoryReset:
            lastStatus_ = kStatusDone;
            StoreMemory(FactoryImage());
            break;
        default:  // 0x11 without its image, or a code we do not know
            lastStatus_ = kStatusFailed;
            break;
    }
}

std::vector<uint8_t> MouseFirmware::PressCpiButton() {
    SettingsRecord record{};
    DecodeSettingsImage(memory_, record);
    const bool countValid = record.cpiLevelCount >= 1 && record.cpiLevelCount <= kCpiLevelCount;
    const int count = countValid ? record.cpiLevelCount : kCpiLevelCount;
    const auto level = static_cast<uint8_t>((record.activeCpiLevel + 1) % count);
    SettingsImage image = memory_;
    image[kActiveCpiLevelOffset] = level;
    StoreMemory(image);
    return {kEventReportId, kEventLevelChanged, level, 0, 0, 0, 0, 0};
}

std::vector<uint8_t> MouseFirmware::SwitchReportRate(uint8_t pollingRateCode) {
    SettingsImage image = memory_;
    image[kPollingRateCodeOffset] = pollingRateCode;
    StoreMemory(image);
    return {kEventReportId, kEventReportRateChanged, pollingRateCode, 0, 0, 0, 0, 0};
}

uint8_t MouseFirmware::PollingRateCode() const {
    return memory_[kPollingRateCodeOffset];
}

void MouseFirmware::StoreMemory(const SettingsImage& image) {
    memory_ = image;
    if (onMemoryChanged)
        onMemoryChanged(memory_);
}

int MouseFirmware::GetFeature(uint8_t* data, size_t length) {
    if (length == 0)
        return -1;
    if (data[0] == kCommandReportId)
        return AnswerCommandReport(data, length);
    if (data[0] == kSettingsReportId)
        return AnswerSettingsReport(data, length);
    return -1;
}

int MouseFirmware::AnswerCommandReport(uint8_t* data, size_t length) {
    std::array<uint8_t, kCommandReportSize> answer{};
    answer[0] = kCommandReportId;
    answer[1] = NextStatus();
    if (lastCommand_ == kCommandReadFirmware) {
        answer[kFirmwareVersionOffset] = static_cast<uint8_t>(firmwareVersion & 0xFF);
        answer[kFirmwareVersionOffset + 1] = static_cast<uint8_t>(firmwareVersion >> 8);
    }
    return Deliver(answer, data, length);
}

int MouseFirmware::AnswerSettingsReport(uint8_t* data, size_t length) {
    std::array<uint8_t, kSettingsReportSize> answer{};
    answer[0] = kSettingsReportId;
    answer[1] = NextStatus();
    std::copy(memory_.begin(), memory_.end(), answer.begin() + kReportPayloadOffset);
    return Deliver(answer, data, length);
}

void MouseFirmware::QueueStatuses(std::initializer_list<uint8_t> statuses) {
    scriptedStatuses_.insert(scriptedStatuses_.end(), statuses.begin(), statuses.end());
}

uint8_t MouseFirmware::NextStatus() {
    if (staysBusy_)
        return kStatusBusy;
    if (scriptedStatuses_.empty())
        return lastStatus_;
    const uint8_t status = scriptedStatuses_.front();
    scriptedStatuses_.pop_front();
    return status;
}
