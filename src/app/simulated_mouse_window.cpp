#include "app/simulated_mouse_window.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <algorithm>
#include <array>

#include "device/simulated_mouse.h"
#include "settings/settings_image.h"

namespace {

constexpr uint8_t kEventReportId = 3;
constexpr uint8_t kLevelChangedEvent = 2;
constexpr uint8_t kReportRateChangedEvent = 6;

struct ReportRate {
    const char* text;
    uint8_t code;
};
constexpr std::array<ReportRate, 7> kReportRates{{
    {"8000 Hz", 1},
    {"4000 Hz", 2},
    {"2000 Hz", 4},
    {"1000 Hz", 8},
    {"500 Hz", 16},
    {"250 Hz", 32},
    {"125 Hz", 64},
}};

// A change the mouse makes by itself: edits its memory through the record,
// leaving every byte the record does not hold as it was, and keeps it.
template <typename Edit>
SettingsRecord ChangeMemory(MouseFirmware& firmware, Edit edit) {
    SettingsRecord record{};
    DecodeSettingsImage(firmware.Memory(), record);
    edit(record);
    SettingsImage encoded{};
    EncodeSettingsImage(record, encoded);
    SettingsImage memory = firmware.Memory();
    memory[0] = encoded[0];
    std::copy(encoded.begin() + 5, encoded.begin() + kSettingsFieldEnd, memory.begin() + 5);
    firmware.SetMemory(memory);
    if (firmware.onMemoryChanged) {
        firmware.onMemoryChanged(memory);
    }
    return record;
}

}  // namespace

SimulatedMouseWindow::SimulatedMouseWindow(SimulatedMouse& mouse, QWidget* parent)
    : QWidget(parent, Qt::Window), mouse_(mouse) {
    setWindowTitle("Simulated mouse");
    stateLabel_ = new QLabel(this);
    stateLabel_->setObjectName("simulatedStateLabel");
    plugButton_ = new QPushButton(this);
    plugButton_->setObjectName("simulatedPlugButton");
    cpiButton_ = new QPushButton("CPI button", this);
    cpiButton_->setObjectName("simulatedCpiButton");
    reportRateList_ = new QComboBox(this);
    reportRateList_->setObjectName("simulatedReportRateList");
    for (const ReportRate& rate : kReportRates) {
        reportRateList_->addItem(rate.text);
    }

    auto* layout = new QFormLayout(this);
    layout->addRow("Cable:", stateLabel_);
    layout->addRow(QString(), plugButton_);
    layout->addRow("Mouse button:", cpiButton_);
    layout->addRow("Report rate:", reportRateList_);
    ConnectSignals();
    ShowState();
}

void SimulatedMouseWindow::ConnectSignals() {
    connect(plugButton_, &QPushButton::clicked, this, &SimulatedMouseWindow::TogglePlug);
    connect(cpiButton_, &QPushButton::clicked, this, &SimulatedMouseWindow::StepCpiLevel);
    connect(reportRateList_, &QComboBox::activated, this, &SimulatedMouseWindow::ChooseReportRate);
}

void SimulatedMouseWindow::TogglePlug() {
    if (mouse_.IsPlugged()) {
        mouse_.Unplug();
    } else {
        mouse_.Plug();
    }
    ShowState();
}

void SimulatedMouseWindow::StepCpiLevel() {
    if (!mouse_.IsPlugged()) {
        return;
    }
    const SettingsRecord record = ChangeMemory(mouse_.Firmware(), [](SettingsRecord& r) {
        const int count = r.cpiLevelCount >= 1 && r.cpiLevelCount <= kCpiLevelCount
                              ? r.cpiLevelCount
                              : kCpiLevelCount;
        r.activeCpiLevel = static_cast<uint8_t>((r.activeCpiLevel + 1) % count);
    });
    mouse_.SendInputReport(
        {kEventReportId, kLevelChangedEvent, record.activeCpiLevel, 0, 0, 0, 0, 0});
}

void SimulatedMouseWindow::ChooseReportRate(int index) {
    if (!mouse_.IsPlugged() || index < 0 || index >= int(kReportRates.size())) {
        return;
    }
    const uint8_t code = kReportRates[index].code;
    const SettingsRecord record =
        ChangeMemory(mouse_.Firmware(), [code](SettingsRecord& r) { r.pollingRateCode = code; });
    mouse_.SendInputReport(
        {kEventReportId, kReportRateChangedEvent, record.pollingRateCode, 0, 0, 0, 0, 0});
}

void SimulatedMouseWindow::ShowState() {
    const bool plugged = mouse_.IsPlugged();
    stateLabel_->setText(plugged ? "plugged in" : "unplugged");
    plugButton_->setText(plugged ? "Unplug" : "Plug in");
    cpiButton_->setEnabled(plugged);
    reportRateList_->setEnabled(plugged);
}
