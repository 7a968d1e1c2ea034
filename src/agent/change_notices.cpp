#include "agent/change_notices.h"

#include <ostream>

#include "agent/notifier.h"
#include "device/device_link.h"
#include "device/event_listener.h"
#include "settings/sensor_choices.h"

namespace {

std::string LevelText(const std::optional<SettingsRecord>& known, uint8_t level) {
    const std::string position = "level " + std::to_string(level + 1);
    if (!known || level >= kCpiLevelCount) {
        return "CPI " + position;
    }
    const CpiLevel& cpi = known->cpiLevels[level];
    const std::string value = cpi.x == cpi.y ? std::to_string(cpi.x)
                                             : std::to_string(cpi.x) + "×" + std::to_string(cpi.y);
    const bool countValid = known->cpiLevelCount >= 1 && known->cpiLevelCount <= kCpiLevelCount;
    const int count = countValid ? known->cpiLevelCount : kCpiLevelCount;
    return "CPI " + value + " — " + position + " of " + std::to_string(count);
}

std::string RateText(uint8_t code) {
    const auto index = PollingRateIndexForCode(code);
    if (!index) {
        return "Report rate changed";
    }
    std::string text = PollingRateChoices()[static_cast<size_t>(*index)].text;
    text.insert(text.find("Hz"), " ");
    return "Report rate " + text;
}

}  // namespace

ChangeNotices::ChangeNotices(Notifier& notifier, std::ostream& out, std::ostream& err)
    : notifier_(notifier), out_(out), err_(err) {
    notifier_.SetUnshown(
        [this](const std::string& text, const std::string& problem) { Print(text, problem); });
}

ChangeNotices::~ChangeNotices() {
    notifier_.SetUnshown({});
}

void ChangeNotices::SetBeforeRead(std::function<void()> beforeRead) {
    beforeRead_ = std::move(beforeRead);
}

bool ChangeNotices::ReadMouse() {
    if (beforeRead_) {
        beforeRead_();
    }
    // Counted first: a write that slips in before the read is seen next time.
    writesSeen_ = WritesByAnyProcess();
    const bool read = FindDevice(kProductId) && ReadSettings() == 1;
    // Only the configuration interface's handle; the window may want it.
    ReleaseDevice();
    if (!read) {
        known_.reset();
        return false;
    }
    SettingsRecord record{};
    DecodeSettingsImage(lastReadImage, record);
    known_ = record;
    return true;
}

void ChangeNotices::Forget() {
    known_.reset();
}

std::optional<std::string> ChangeNotices::TextFor(const std::optional<SettingsRecord>& known,
                                                  uint8_t code, uint8_t value) {
    switch (code) {
        case kEventLevelChanged:
            return LevelText(known, value);
        case kEventReportRateChanged:
            return RateText(value);
        default:
            return std::nullopt;
    }
}

void ChangeNotices::OnMouseEvent(uint8_t code, uint8_t value) {
    if (code != kEventLevelChanged && code != kEventReportRateChanged) {
        return;
    }
    if (!known_ || WritesByAnyProcess() != writesSeen_) {
        ReadMouse();
    }
    const std::optional<std::string> text = TextFor(known_, code, value);
    if (known_) {
        (code == kEventLevelChanged ? known_->activeCpiLevel : known_->pollingRateCode) = value;
    }
    if (text) {
        Notify(*text);
    }
}

void ChangeNotices::Notify(const std::string& text) {
    notifier_.Show(text);
}

void ChangeNotices::Print(const std::string& text, const std::string& problem) {
    if (!saidNoService_) {
        saidNoService_ = true;
        err_ << "kestrine-config agent: " << problem << "; notices are printed here instead"
             << std::endl;
    }
    out_ << text << std::endl;
}
