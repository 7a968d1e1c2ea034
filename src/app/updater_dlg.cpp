#include "app/updater_dlg.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>
#include <cstdio>

#include "app/busy_cursor.h"
#include "app/hotplug_watcher.h"
#include "app/profile_buttons.h"
#include "app/status_line.h"
#include "device/event_listener.h"
#include "device/sleep.h"
#include "device/write_retries.h"
#include "pages/buttons/dlg_deb.h"
#include "pages/buttons/mouse_set.h"
#include "pages/sensor/sensor_dlg.h"
#include "pages/sensor/support_dlg.h"
#include "settings/firmware_version.h"
#include "settings/settings_image.h"
#include "ui/dialog_keys.h"
#include "ui/keyboard_focus.h"
#include "ui/message_box.h"
#include "ui/tab_switching.h"

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

// Waits between tries, none after the last; true at the first that succeeds.
template <typename Read>
bool TryUpTo(int tries, Read read) {
    for (int attempt = 0; attempt < tries; ++attempt) {
        if (attempt > 0) {
            SleepMs(kArrivalRetryMs);
        }
        if (read()) {
            return true;
        }
    }
    return false;
}

enum TabIndex { kBasicTab, kAdvancedSensorTab, kButtonsTab, kButtonMappingTab };

// The mouse's interfaces carry its vendor and product in their device path.
bool IsMousePath(const std::string& path) {
    const QString text = QString::fromStdString(path);
    return text.contains("5B29", Qt::CaseInsensitive) && text.contains("0C7E", Qt::CaseInsensitive);
}

}  // namespace

CUpdaterDlg::CUpdaterDlg(QWidget* parent) : QDialog(parent) {
    InitialiseResources();
    setWindowIcon(QIcon(":/kestrine-config.svg"));
    arrivalTimer_ = new QTimer(this);
    arrivalTimer_->setSingleShot(true);
    arrivalTimer_->setInterval(0);
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
    setWindowTitle(kProgramTitle);
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
    statusLine_ = new StatusLine(this);
    statusLine_->setObjectName("statusLine");

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(info);
    layout->addSpacing(8);
    layout->addWidget(tabs_, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(statusLine_, 1);
    bottom->addWidget(applyButton_, 0, Qt::AlignTop);
    layout->addLayout(bottom);
}

void CUpdaterDlg::ConnectSignals() {
    connect(applyButton_, &QPushButton::clicked, this, &CUpdaterDlg::OnApply);
    connect(factoryResetButton_, &QPushButton::clicked, this, &CUpdaterDlg::OnFactoryReset);
    connect(arrivalTimer_, &QTimer::timeout, this, &CUpdaterDlg::ReconnectAfterArrival);
    InstallTabSwitching(tabs_);
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
    SetDeviceEventHandler([this](uint8_t code, uint8_t value) {
        // Records and widgets belong to the UI thread: hand the event over to
        // this window (the destructor stops the listener before it goes).
        QMetaObject::invokeMethod(
            this, [this, code, value] { OnDeviceEvent(code, value); }, Qt::QueuedConnection);
    });
    BusyCursor busy;
    FindDevice(kProductId);
    ConnectFoundMouse(1);
    PlaceSafeFocus(tabs_);
}

void CUpdaterDlg::ConnectFoundMouse(int tries) {
    if (!deviceConnected) {
        ShowDisconnected(DeviceStatusFor(LastFindResult()));
        return;
    }
    std::array<uint8_t, kFirmwareBlockSize> block{};
    const bool answered = TryUpTo(tries, [&block] { return ReadFirmwareInfo(block) == 1; }) &&
                          TryUpTo(tries, [] { return ReadSettings() == 1; });
    if (!answered) {
        // Pages left at the defaults would offer to write them over whatever
        // the mouse holds: nothing is enabled until it answers.
        deviceConnected = false;
        ReleaseDevice();
        ShowDisconnected(DeviceStatus::NotAnswering);
        return;
    }
    // Both records hold what the mouse sent, after start-up and plug-in alike:
    // a later level write takes the fields it does not send from deviceSettings.
    DecodeSettingsImage(lastReadImage, deviceSettings);
    SetConnectedState(true);
    ShowFirmwareVersion(block);
    LoadAllPages();
    StartDeviceEventListener();
    applyButton_->setEnabled(false);
    SetStatus(DeviceStatus::Connected);
}

void CUpdaterDlg::ShowDisconnected(DeviceStatus status) {
    firmwareVersionField_->clear();
    SetConnectedState(false);
    SetStatus(status);
}

void CUpdaterDlg::LoadAllPages() {
    supportPage_->LoadFromSettings();
    sensorPage_->LoadFromSettings();
    buttonsPage_->LoadFromSettings();
    mappingPage_->LoadFromSettings();
}

void CUpdaterDlg::RefreshApplyState() {
    // After an unconfirmed write the mouse may hold neither record: APPLY
    // stays on offer, as the status line says, even if the edits are undone.
    applyButton_->setEnabled(SettingsDiffer(pendingSettings, deviceSettings) ||
                             status_ == DeviceStatus::NotSaved);
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

void CUpdaterDlg::SetStatus(DeviceStatus status) {
    status_ = status;
    statusLine_->Show(DeviceStatusText(status, firmwareVersionField_->text()),
                      status == DeviceStatus::AccessDenied);
}

void CUpdaterDlg::ShowFirmwareVersion(const std::array<uint8_t, kFirmwareBlockSize>& block) {
    firmwareVersionField_->setText(
        QString::fromStdString(FirmwareVersionText(block[1] + 256u * block[2])));
}

bool CUpdaterDlg::WritePendingSettings(const std::function<void()>& prepare) {
    if (writeInProgress) {
        return false;
    }
    writeInProgress = true;
    BusyCursor busy;
    if (!deviceConnected && !FindDevice(kProductId)) {
        writeInProgress = false;
        SetStatus(DeviceStatusFor(LastFindResult()));
        return false;
    }
    const SettingsRecord deviceBefore = deviceSettings;
    prepare();
    const bool written = WriteSettingsWithRetries(pendingSettings);
    if (written) {
        if (pendingSettings.multiclickAcknowledged == 1) {
            buttonsPage_->HideAcknowledgement();
        }
        // A level write does not save the other edits of an APPLY that failed.
        if (status_ != DeviceStatus::NotSaved) {
            SetStatus(DeviceStatus::Connected);
        }
    } else {
        // The tool must not believe the mouse holds values it never confirmed;
        // APPLY then shows that something is left to send.
        deviceSettings = deviceBefore;
        SetStatus(DeviceStatus::NotSaved);
        RefreshApplyState();
    }
    writeInProgress = false;
    return written;
}

void CUpdaterDlg::OnApply() {
    PlaceSafeFocus(tabs_);
    const bool written = WritePendingSettings([this] {
        supportPage_->StoreToSettings();
        sensorPage_->StoreToSettings();
        buttonsPage_->StoreToSettings();
        CopyToDeviceSettings(pendingSettings);
    });
    if (written) {
        SetStatus(DeviceStatus::Connected);
        applyButton_->setEnabled(false);
    }
}

void CUpdaterDlg::OnFactoryReset() {
    BusyCursor busy;
    PlaceSafeFocus(tabs_);
    if (!deviceConnected && !FindDevice(kProductId)) {
        SetStatus(DeviceStatusFor(LastFindResult()));
        return;
    }
    // Keep showing what the mouse held when it did not confirm the reset.
    if (FactoryReset() != 1) {
        SetStatus(DeviceStatus::ResetNotConfirmed);
        return;
    }
    LoadDefaultSettings(pendingSettings);
    LoadDefaultSettings(deviceSettings);
    LoadAllPages();
    SetStatus(DeviceStatus::Connected);
    applyButton_->setEnabled(false);
}

void CUpdaterDlg::OnDeviceChange(DeviceChange change, const std::string& devicePath) {
    if (!IsMousePath(devicePath)) {
        return;
    }
    if (change == DeviceChange::Arrival) {
        if (!deviceConnected && !plugInTried_) {
            arrivalTimer_->start();
        } else if (deviceConnected && !DeviceEventListenerRunning()) {
            // The event interface may be listed after the configuration one.
            StartDeviceEventListener();
        }
        return;
    }
    // Gone before its plug-in ran, or after it: the next arrival is a new plug-in.
    arrivalTimer_->stop();
    plugInTried_ = false;
    if (deviceConnected) {
        // The listener's mouse has gone: it must not outlive it.
        StopDeviceEventListener();
        deviceConnected = false;
    }
    ShowDisconnected(DeviceStatus::NoMouse);
}

void CUpdaterDlg::ReconnectAfterArrival() {
    BusyCursor busy;
    SleepMs(kArrivalSettleMs);
    FindDevice(kProductId);
    // When no configuration interface was there yet, its own arrival is still
    // to come; a mouse met but not opened or not answering is not tried again
    // (a permission stays denied) until it is unplugged.
    plugInTried_ = LastFindResult() != FindResult::NoMouse;
    ConnectFoundMouse(kArrivalReadTries);
    PlaceSafeFocus(tabs_);
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
