#include "app/updater_dlg.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QWindow>
#include <cstdio>

#include "app/hotplug_watcher.h"
#include "app/profile_buttons.h"
#include "device/event_listener.h"
#include "device/sleep.h"
#include "device/write_retries.h"
#include "pages/buttons/dlg_deb.h"
#include "pages/buttons/mouse_set.h"
#include "pages/sensor/sensor_dlg.h"
#include "pages/sensor/support_dlg.h"
#include "settings/settings_image.h"
#include "ui/dialog_keys.h"
#include "ui/message_box.h"

CUpdaterDlg* mainDialog = nullptr;

// The icon lives in this static library's resources, which the linker keeps
// only when something refers to them.
static void InitialiseResources() {
    Q_INIT_RESOURCE(resources);
}

void RefreshApplyState() {
    if (mainDialog) {
        mainDialog->RefreshApplyState();
    }
}

namespace {

constexpr unsigned kArrivalSettleMs = 900;
constexpr unsigned kArrivalRetryMs = 100;
constexpr int kArrivalReadTries = 5;

enum TabIndex { kBasicTab, kAdvancedSensorTab, kButtonsTab, kButtonMappingTab };

// The mouse's interfaces carry its vendor and product in their device path.
bool IsMousePath(const std::string& path) {
    const QString text = QString::fromStdString(path);
    return text.contains("5B29", Qt::CaseInsensitive) && text.contains("0C7E", Qt::CaseInsensitive);
}

// The version's hexadecimal digits are read back as decimal: 0x0107 shows
// V1.07, and a digit a-f ends the number (0x01A3 shows V0.01).
QString FormatFirmwareVersion(unsigned version) {
    const QString hex = QString::number(version, 16);
    int digits = 0;
    while (digits < hex.size() && hex[digits].isDigit()) {
        ++digits;
    }
    const unsigned number = digits == 0 ? 0 : hex.left(digits).toUInt();
    return QString::asprintf("V%.2f", number / 100.0);
}

}  // namespace

CUpdaterDlg::CUpdaterDlg(QWidget* parent) : QDialog(parent) {
    InitialiseResources();
    setWindowIcon(QIcon(":/kestrine-config.svg"));
    BuildLayout();
    ConnectSignals();
    mainDialog = this;
}

CUpdaterDlg::~CUpdaterDlg() {
    // The listener hands events to this window; none may arrive after it.
    StopDeviceEventListener();
    SetDeviceEventHandler({});
    if (mainDialog == this) {
        mainDialog = nullptr;
    }
}

void CUpdaterDlg::BuildLayout() {
    setWindowTitle("Kestrine XQ3 8k v2 Configuration Tool");
    setWindowFlags(windowFlags() | Qt::WindowMinimizeButtonHint);

    auto* info = new QGroupBox("Info", this);
    firmwareVersionField_ = new QLabel(info);
    firmwareVersionField_->setObjectName("firmwareVersionField");
    firmwareVersionField_->setMinimumWidth(60);
    softwareVersionField_ = new QLabel(info);
    softwareVersionField_->setObjectName("softwareVersionField");
    softwareVersionField_->setText(QStringLiteral("V" KESTRINE_VERSION));
    factoryResetButton_ = new QPushButton("Factory Reset", info);
    factoryResetButton_->setObjectName("factoryResetButton");

    auto* infoLayout = new QGridLayout(info);
    infoLayout->addWidget(new QLabel("Firmware Version :", info), 0, 0);
    infoLayout->addWidget(firmwareVersionField_, 0, 1);
    infoLayout->addWidget(new QLabel("Software Version :", info), 1, 0);
    infoLayout->addWidget(softwareVersionField_, 1, 1);
    infoLayout->setColumnStretch(2, 1);
    infoLayout->addWidget(factoryResetButton_, 0, 3, 2, 1, Qt::AlignVCenter);
    AddProfileButtons(this, info, infoLayout);

    tabs_ = new QTabWidget(this);
    tabs_->setObjectName("pageTabs");
    sensorPage_ = new CSensorDlg;
    supportPage_ = new CSupportDlg;
    buttonsPage_ = new CDlgDeb;
    mappingPage_ = new CMouseSet;
    tabs_->addTab(sensorPage_, "  Basic  ");
    tabs_->addTab(supportPage_, "  Advanced Sensor  ");
    tabs_->addTab(buttonsPage_, "  Buttons  ");
    tabs_->addTab(mappingPage_, "  Button Mapping  ");
    tabs_->setCurrentIndex(kBasicTab);

    applyButton_ = new QPushButton("APPLY", this);
    applyButton_->setObjectName("applyButton");
    applyButton_->setMinimumWidth(110);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(info);
    layout->addSpacing(8);
    layout->addWidget(tabs_, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(applyButton_);
    layout->addLayout(bottom);
}

void CUpdaterDlg::ConnectSignals() {
    connect(applyButton_, &QPushButton::clicked, this, &CUpdaterDlg::OnApply);
    connect(factoryResetButton_, &QPushButton::clicked, this, &CUpdaterDlg::OnFactoryReset);
    connect(tabs_, &QTabWidget::currentChanged, this, &CUpdaterDlg::ShowPage);
}

void CUpdaterDlg::ShowPage(int index) {
    // QTabWidget shows exactly the selected page; only keep the focus sensible.
    if (QWidget* page = tabs_->widget(index)) {
        page->setFocus();
    }
}

void CUpdaterDlg::Initialise() {
    // Enter and Esc never press a button or close the window.
    for (QPushButton* button : findChildren<QPushButton*>()) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    if (!RegisterDeviceNotifications(this)) {
        ShowMessage(this, "RegisterDeviceNotification Failed!");
    }
    LoadDefaultSettings(pendingSettings);
    LoadDefaultSettings(deviceSettings);
    FindDevice(kProductId);
    std::array<uint8_t, kFirmwareBlockSize> block{};
    if (ReadFirmwareInfo(block) == 1) {
        SetConnectedState(true);
        ShowFirmwareVersion(block);
    } else {
        SetConnectedState(false);
    }
    if (ReadSettings() == 1) {
        DecodeSettingsImage(lastReadImage, deviceSettings);
        LoadAllPages();
    }
    SetDeviceEventHandler([this](uint8_t code, uint8_t value) {
        // Records and widgets belong to the UI thread: hand the event over to
        // this window (the destructor stops the listener before it goes).
        QMetaObject::invokeMethod(
            this, [this, code, value] { OnDeviceEvent(code, value); }, Qt::QueuedConnection);
    });
    StartDeviceEventListener();
    applyButton_->setEnabled(false);
}

void CUpdaterDlg::LoadAllPages() {
    supportPage_->LoadFromSettings();
    sensorPage_->LoadFromSettings();
    buttonsPage_->LoadFromSettings();
    mappingPage_->LoadFromSettings();
}

void CUpdaterDlg::RefreshApplyState() {
    applyButton_->setEnabled(SettingsDiffer(pendingSettings, deviceSettings));
}

void CUpdaterDlg::SetConnectedState(bool connected) {
    tabs_->setEnabled(connected);
    factoryResetButton_->setEnabled(connected);
    applyButton_->setEnabled(connected);
    supportPage_->SetDeviceAvailable(connected);
    buttonsPage_->SetDeviceAvailable(connected);
    sensorPage_->SetDeviceAvailable(connected);
    mappingPage_->SetDeviceAvailable(connected);
}

void CUpdaterDlg::ShowFirmwareVersion(const std::array<uint8_t, kFirmwareBlockSize>& block) {
    firmwareVersionField_->setText(FormatFirmwareVersion(block[1] + 256u * block[2]));
}

bool CUpdaterDlg::WritePendingSettings(const std::function<void()>& prepare) {
    if (writeInProgress) {
        return false;
    }
    writeInProgress = true;
    if (!deviceConnected && !FindDevice(kProductId)) {
        writeInProgress = false;
        return false;
    }
    const SettingsRecord deviceBefore = deviceSettings;
    prepare();
    const bool written = WriteSettingsWithRetries(pendingSettings);
    if (written) {
        if (pendingSettings.multiclickAcknowledged == 1) {
            buttonsPage_->HideAcknowledgement();
        }
    } else {
        // The tool must not believe the mouse holds values it never confirmed;
        // APPLY then shows that something is left to send.
        deviceSettings = deviceBefore;
        RefreshApplyState();
    }
    writeInProgress = false;
    return written;
}

void CUpdaterDlg::OnApply() {
    const bool written = WritePendingSettings([this] {
        supportPage_->StoreToSettings();
        sensorPage_->StoreToSettings();
        buttonsPage_->StoreToSettings();
        CopyToDeviceSettings(pendingSettings);
    });
    if (written) {
        applyButton_->setEnabled(false);
    }
}

void CUpdaterDlg::OnFactoryReset() {
    if (!deviceConnected && !FindDevice(kProductId)) {
        return;
    }
    // Keep showing what the mouse holds when it did not confirm the reset.
    if (FactoryReset() != 1) {
        return;
    }
    LoadDefaultSettings(pendingSettings);
    LoadDefaultSettings(deviceSettings);
    LoadAllPages();
    applyButton_->setEnabled(false);
}

void CUpdaterDlg::OnDeviceChange(DeviceChange change, const std::string& devicePath) {
    if (!IsMousePath(devicePath)) {
        return;
    }
    if (change == DeviceChange::Arrival && !deviceConnected) {
        ReconnectAfterArrival();
    } else if (change == DeviceChange::Removal && deviceConnected) {
        // The listener's mouse has gone: it must not outlive it.
        StopDeviceEventListener();
        firmwareVersionField_->clear();
        SetConnectedState(false);
        deviceConnected = false;
    }
}

void CUpdaterDlg::ReconnectAfterArrival() {
    SleepMs(kArrivalSettleMs);
    SetConnectedState(true);
    applyButton_->setEnabled(false);
    FindDevice(kProductId);
    for (int attempt = 0; attempt < kArrivalReadTries; ++attempt) {
        std::array<uint8_t, kFirmwareBlockSize> block{};
        if (ReadFirmwareInfo(block) == 1) {
            ShowFirmwareVersion(block);
            break;
        }
        SleepMs(kArrivalRetryMs);
    }
    for (int attempt = 0; attempt < kArrivalReadTries; ++attempt) {
        if (ReadSettings() == 1) {
            LoadAllPages();
            break;
        }
        SleepMs(kArrivalRetryMs);
    }
    StartDeviceEventListener();
}

void CUpdaterDlg::OnDeviceEvent(uint8_t code, uint8_t value) {
    // A report read just before the mouse went away is no longer news.
    if (!deviceConnected) {
        return;
    }
    // Both records change alike, so whether they differ does not change.
    if (code == kEventLevelChanged) {
        sensorPage_->OnDeviceLevelChanged(value);
    } else if (code == kEventReportRateChanged) {
        sensorPage_->OnDevicePollingRateChanged(value);
    }
}

void CUpdaterDlg::keyPressEvent(QKeyEvent* event) {
    if (!SwallowEnterAndEscape(event)) {
        QDialog::keyPressEvent(event);
    }
}

void CUpdaterDlg::mousePressEvent(QMouseEvent* event) {
    // A press on a free spot moves the window, as if the caption was grabbed.
    if (event->button() == Qt::LeftButton && windowHandle()) {
        windowHandle()->startSystemMove();
    }
    QDialog::mousePressEvent(event);
}
