#include "app/main_window.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>
#include <cstdio>

#include "app/agent_check_box.h"
#include "app/device_wait.h"
#include "app/hotplug_watcher.h"
#include "app/profile_buttons.h"
#include "app/settings_pages.h"
#include "app/status_line.h"
#include "device/event_listener.h"
#include "device/sleep.h"
#include "device/user_command_lock.h"
#include "device/write_retries.h"
#include "settings/firmware_version.h"
#include "settings/settings_image.h"
#include "ui/accessible_tabs.h"
#include "ui/dialog_keys.h"
#include "ui/fitting_scroll_area.h"
#include "ui/keyboard_focus.h"
#include "ui/message_box.h"
#include "ui/tab_switching.h"

namespace {

const QString kFactoryResetQuestion =
    "Restore the factory settings? Every setting on the mouse is replaced.";
// Said before a command that may take long, painted before its waits begin.
const QString kWaitingForMouse = "Waiting for the mouse…";
const QString kReadingTheMouse = "the window reads the mouse's settings.";
const QString kWritingSettings = "Writing the settings to the mouse…";
const QString kRestoringFactorySettings = "Restoring the factory settings…";
// Another process of the user (a command, the agent) holds the mouse: what
// this window waits for comes after it.
const QString kOtherProgramWait = "Waiting while another program of yours uses the mouse… (%1).";
const QString kCloseQuestion =
    "Your changes have not been applied to the mouse. Apply them before closing?";
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

// "CPI level 3 (800 CPI)", or "(800 × 1600 CPI)" with the axes apart.
QString LevelChoiceText(const SettingsRecord& record) {
    const uint8_t level = record.activeCpiLevel;
    if (level >= kCpiLevelCount) {
        return QString("CPI level %1").arg(level + 1);
    }
    const CpiLevel& cpi = record.cpiLevels[level];
    const QString value =
        cpi.x == cpi.y ? QString::number(cpi.x) : QString("%1 × %2").arg(cpi.x).arg(cpi.y);
    return QString("CPI level %1 (%2 CPI)").arg(level + 1).arg(value);
}

// The mouse's interfaces carry its vendor and product in their device path.
bool IsMousePath(const std::string& path) {
    const QString text = QString::fromStdString(path);
    return text.contains("5B29", Qt::CaseInsensitive) && text.contains("0C7E", Qt::CaseInsensitive);
}

}  // namespace

CUpdaterDlg::CUpdaterDlg(MouseSession& session, QWidget* parent)
    : QDialog(parent), session_(session) {
    arrivalTimer_ = new QTimer(this);
    arrivalTimer_->setSingleShot(true);
    arrivalTimer_->setInterval(0);
    BuildLayout();
    ConnectSignals();
}

CUpdaterDlg::~CUpdaterDlg() {
    SetUserCommandWaitObserver({});
    // The listener hands events to this window; none may arrive after it.
    StopDeviceEventListener();
    SetDeviceEventHandler({});
    // Pages call back into their host (a CPI field commits itself when it
    // loses the focus, as it does while widgets are torn down): they go while
    // this window is still whole.
    for (SettingsPage* page : pages_) {
        delete page;
    }
    pages_.clear();
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
    factoryResetButton_ = new QPushButton("Factory &Reset", info);
    factoryResetButton_->setObjectName("factoryResetButton");

    auto* infoLayout = new QGridLayout(info);
    auto* firmwareCaption = new QLabel("Firmware Version :", info);
    firmwareCaption->setBuddy(firmwareVersionField_);
    auto* softwareCaption = new QLabel("Software Version :", info);
    softwareCaption->setBuddy(softwareVersionField_);
    infoLayout->addWidget(firmwareCaption, 0, 0);
    infoLayout->addWidget(firmwareVersionField_, 0, 1);
    infoLayout->addWidget(softwareCaption, 1, 0);
    infoLayout->addWidget(softwareVersionField_, 1, 1);
    infoLayout->setColumnStretch(2, 1);
    infoLayout->addWidget(factoryResetButton_, 0, 3, 2, 1, Qt::AlignVCenter);
    AddProfileButtons(this, factoryResetButton_, info, infoLayout);
    AddAgentCheckBox(this, infoLayout);

    tabs_ = new QTabWidget(this);
    tabs_->setObjectName("pageTabs");
    pages_ = CreateSettingsPages(*this);
    for (SettingsPage* page : pages_) {
        tabs_->addTab(page, page->Title());
    }
    tabs_->setCurrentIndex(0);
    tabs_->setAccessibleName("Settings pages");
    ReportSelectedTab(tabs_);

    applyButton_ = new QPushButton("&APPLY", this);  // Alt+A, and Alt+R, Alt+E, Alt+I above
    applyButton_->setObjectName("applyButton");
    applyButton_->setMinimumWidth(110);
    statusLine_ = new StatusLine(this);
    statusLine_->setObjectName("statusLine");

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(info);
    layout->addSpacing(8);
    // On a small screen or at a large scale the pages scroll; the window fits.
    auto* pageArea = new FittingScrollArea(this);
    pageArea->setObjectName("pageArea");
    pageArea->setWidget(tabs_);
    layout->addWidget(pageArea, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(statusLine_, 1);
    bottom->addWidget(applyButton_, 0, Qt::AlignTop);
    layout->addLayout(bottom);
    // As large as the pages ask, within the screen (Qt would stop at two thirds of it).
    resize(sizeHint());
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
    if (!WatchDeviceChanges()) {
        ShowMessage(this, "RegisterDeviceNotification Failed!");
    }
    LoadDefaultSettings(session_.pendingSettings);
    LoadDefaultSettings(session_.deviceSettings);
    SetDeviceEventHandler([this](uint8_t code, uint8_t value) {
        // Records and widgets belong to the UI thread: hand the event over to
        // this window (the destructor stops the listener before it goes).
        const uint64_t readNumber = DeviceEventsRead();
        QMetaObject::invokeMethod(
            this, [this, code, value, readNumber] { OnDeviceEvent(code, value, readNumber); },
            Qt::QueuedConnection);
    });
    // A command or the agent holding the mouse makes every device command
    // wait: the window says so while it waits.
    SetUserCommandWaitObserver([this](const std::string& holder) {
        if (QThread::currentThread() == thread()) {
            ShowOtherProgramWait(QString::fromStdString(holder));
        }
    });
    ShowWaiting(kWaitingForMouse);
    DeviceWait wait;
    session_.deviceConnected = FindDevice(kProductId);
    ConnectFoundMouse(1);
    PlaceSafeFocus(tabs_);
}

bool CUpdaterDlg::WatchDeviceChanges() {
    auto* watcher = new HotplugWatcher(this);
    if (!watcher->Start()) {
        delete watcher;
        return false;
    }
    connect(watcher, &HotplugWatcher::DeviceArrived, this, [this](const QString& path) {
        OnDeviceChange(DeviceChange::Arrival, path.toStdString());
    });
    connect(watcher, &HotplugWatcher::DeviceRemoved, this, [this](const QString& path) {
        OnDeviceChange(DeviceChange::Removal, path.toStdString());
    });
    return true;
}

bool CUpdaterDlg::EnsureMouseFound() {
    if (!session_.deviceConnected) {
        session_.deviceConnected = FindDevice(kProductId);
    }
    return session_.deviceConnected;
}

void CUpdaterDlg::ConnectFoundMouse(int tries) {
    if (!session_.deviceConnected) {
        ShowDisconnected(DeviceStatusFor(LastFindResult()));
        return;
    }
    std::array<uint8_t, kFirmwareBlockSize> block{};
    const bool answered = TryUpTo(tries, [&block] { return ReadFirmwareInfo(block) == 1; }) &&
                          TryUpTo(tries, [] { return ReadSettings() == 1; });
    if (!answered) {
        // Pages left at the defaults would offer to write them over whatever
        // the mouse holds: nothing is enabled until it answers.
        DropSilentMouse(DeviceStatus::NotAnswering);
        return;
    }
    // Both records hold what the mouse sent, after start-up and plug-in alike:
    // a later level write takes the fields it does not send from deviceSettings.
    session_.LoadFromImage(lastReadImage);
    SetConnectedState(true);
    ShowFirmwareVersion(block);
    LoadAllPages();
    StartDeviceEventListener();
    applyButton_->setEnabled(false);
    SetStatus(DeviceStatus::Connected);
}

void CUpdaterDlg::DropSilentMouse(DeviceStatus status) {
    StopDeviceEventListener();
    session_.deviceConnected = false;
    ReleaseDevice();
    ShowDisconnected(status);
}

void CUpdaterDlg::ShowDisconnected(DeviceStatus status) {
    firmwareVersionField_->clear();
    SetConnectedState(false);
    SetStatus(status);
}

void CUpdaterDlg::LoadAllPages() {
    for (SettingsPage* page : pages_) {
        page->LoadFromSettings();
    }
}

void CUpdaterDlg::UpdateApplyButton() {
    // After an unconfirmed write the mouse may hold neither record: APPLY
    // stays on offer, as the status line says, even if the edits are undone.
    applyButton_->setEnabled(session_.HasUnappliedEdits() || status_ == DeviceStatus::NotSaved);
}

void CUpdaterDlg::RefreshApplyState() {
    UpdateApplyButton();
    const bool unapplied = session_.HasUnappliedEdits();
    if (!session_.deviceConnected) {
        return;
    }
    // A confirmation is no longer the whole truth once an edit waits for
    // APPLY; an import's count of differences not after a further edit.
    if (unapplied && (IsSettledStatus(status_) || status_ == DeviceStatus::ProfileLoaded)) {
        SetStatus(DeviceStatus::Unapplied);
    } else if (!unapplied &&
               (status_ == DeviceStatus::Unapplied || status_ == DeviceStatus::ProfileLoaded)) {
        SetStatus(DeviceStatus::Connected);
    }
}

void CUpdaterDlg::SetConnectedState(bool connected) {
    tabs_->setEnabled(connected);
    factoryResetButton_->setEnabled(connected);
    applyButton_->setEnabled(connected);
    for (SettingsPage* page : pages_) {
        page->SetDeviceAvailable(connected);
    }
}

void CUpdaterDlg::SetStatus(DeviceStatus status, const QString& detail) {
    status_ = status;
    statusDetail_ = detail;
    waitingFor_.clear();
    // A confirmation is news even when it repeats the last one.
    statusLine_->Show(DeviceStatusText(status, firmwareVersionField_->text(), detail),
                      status == DeviceStatus::AccessDenied,
                      status == DeviceStatus::Saved || status == DeviceStatus::ResetDone ||
                          status == DeviceStatus::LevelSet);
}

void CUpdaterDlg::ShowWaiting(const QString& text) {
    waitingFor_ = text;
    statusLine_->Show(text, false);
    // The UI thread is about to wait: the text must be on screen before.
    statusLine_->repaint();
}

void CUpdaterDlg::ShowOtherProgramWait(const QString& holder) {
    const QString then = waitingFor_.isEmpty() ? QString() : " Then: " + waitingFor_;
    statusLine_->Show(kOtherProgramWait.arg(holder) + then, false);
    statusLine_->repaint();
}

void CUpdaterDlg::ShowWaitingToStart(const QString& holder) {
    SetConnectedState(false);
    waitingFor_ = kReadingTheMouse;
    ShowOtherProgramWait(holder);
}

void CUpdaterDlg::ShowFirmwareVersion(const std::array<uint8_t, kFirmwareBlockSize>& block) {
    firmwareVersionField_->setText(
        QString::fromStdString(FirmwareVersionText(block[1] + 256u * block[2])));
}

bool CUpdaterDlg::WriteToMouse(const SettingsRecord& record, DeviceStatus notConfirmed,
                               const QString& waitingText) {
    if (writeInProgress_) {
        return false;
    }
    writeInProgress_ = true;
    ShowWaiting(waitingText);
    DeviceWait wait;
    bool written = false;
    const uint64_t readBefore = DeviceEventsRead();
    if (!EnsureMouseFound()) {
        SetStatus(DeviceStatusFor(LastFindResult()));
    } else if (WriteSettingsWithRetries(record)) {
        // The caller says in the status line what the write changed.
        session_.CopyToDeviceSettings(record);
        TakeChangesMadeOnTheMouse(readBefore);
        for (SettingsPage* page : pages_) {
            page->OnSettingsWritten();
        }
        written = true;
    } else {
        // deviceSettings stays: the mouse may not hold what it did not confirm.
        SetStatus(notConfirmed);
    }
    writeInProgress_ = false;
    // The caller's status comes next: one change of the line, not two.
    UpdateApplyButton();
    return written;
}

void CUpdaterDlg::TakeChangesMadeOnTheMouse(uint64_t readBefore) {
    // Reports read until now are older than what a read now would show.
    const uint64_t readNow = DeviceEventsRead();
    readAtLastWrite_ = readNow;
    if (readNow == readBefore) {
        return;
    }
    // A report read while the write waited tells of a press of the mouse's
    // own buttons made before the write replaced it, or after, which the
    // mouse holds now: only the mouse knows which, so it is asked.
    if (ReadSettings() != 1) {
        return;  // the confirmed write is the best picture there is
    }
    SettingsRecord held{};
    DecodeSettingsImage(lastReadImage, held);
    if (!SettingsDiffer(held, session_.deviceSettings)) {
        return;
    }
    session_.TakeChangesMadeOnTheMouse(held);
    LoadAllPages();
}

bool CUpdaterDlg::WriteLevelChoice() {
    const SettingsRecord choice = session_.LevelChoice();
    if (!WriteToMouse(choice, DeviceStatus::LevelNotSaved,
                      "Setting " + LevelChoiceText(choice) + " on the mouse…")) {
        return false;
    }
    // A level write does not save the other edits of an APPLY that failed.
    if (status_ == DeviceStatus::NotSaved) {
        SetStatus(DeviceStatus::NotSaved);
    } else {
        // What the mouse holds now, which its own buttons may have changed meanwhile.
        SetStatus(DeviceStatus::LevelSet,
                  LevelChoiceText(session_.deviceSettings) + " set on the mouse." +
                      (session_.HasUnappliedEdits() ? " Other changes wait for APPLY." : ""));
    }
    return true;
}

void CUpdaterDlg::OnApply() {
    PlaceSafeFocus(tabs_);
    if (writeInProgress_) {
        return;
    }
    for (SettingsPage* page : pages_) {
        page->StoreToSettings();
    }
    if (WriteToMouse(session_.pendingSettings, DeviceStatus::NotSaved, kWritingSettings)) {
        SetStatus(DeviceStatus::Saved);
        RefreshApplyState();
    }
}

void CUpdaterDlg::OnFactoryReset() {
    PlaceSafeFocus(tabs_);
    // One click would wipe everything, and nothing brings it back.
    if (AskQuestion(this, kFactoryResetQuestion, {Answer::Yes, Answer::No}, Answer::No,
                    Answer::No) != Answer::Yes) {
        return;
    }
    ShowWaiting(kRestoringFactorySettings);
    DeviceWait wait;
    if (!EnsureMouseFound()) {
        SetStatus(DeviceStatusFor(LastFindResult()));
        return;
    }
    const bool confirmed = FactoryReset() == 1;
    // Reports read from here on may be newer than the read below: they are taken.
    readAtLastWrite_ = DeviceEventsRead();
    // Confirmed or not, the mouse is asked what it holds now: the reset may
    // have happened without its confirmation, and its own factory image
    // clears what the tool cannot show.
    if (ReadSettings() != 1) {
        DropSilentMouse(DeviceStatus::NotAnsweringAfterReset);
        return;
    }
    SettingsRecord held{};
    DecodeSettingsImage(lastReadImage, held);
    if (!confirmed && !SettingsDiffer(held, session_.deviceSettings)) {
        // The mouse holds what it held: the reset did not happen, and the
        // edits on the pages are as true as before it.
        SetStatus(DeviceStatus::ResetNotDone);
        RefreshApplyState();
        return;
    }
    session_.LoadFromImage(lastReadImage);
    LoadAllPages();
    SetStatus(confirmed ? DeviceStatus::ResetDone : DeviceStatus::ResetNotConfirmed);
    RefreshApplyState();
}

void CUpdaterDlg::closeEvent(QCloseEvent* event) {
    if (!session_.deviceConnected || !applyButton_->isEnabled()) {
        QDialog::closeEvent(event);
        return;
    }
    switch (AskQuestion(this, kCloseQuestion, {Answer::Apply, Answer::Discard, Answer::Cancel},
                        Answer::Apply, Answer::Cancel)) {
        case Answer::Apply:
            OnApply();
            // A write the mouse did not confirm keeps the window, and the edits, open.
            if (applyButton_->isEnabled()) {
                event->ignore();
                return;
            }
            break;
        case Answer::Discard:
            break;
        default:
            event->ignore();
            return;
    }
    QDialog::closeEvent(event);
}

void CUpdaterDlg::OnDeviceChange(DeviceChange change, const std::string& devicePath) {
    if (!IsMousePath(devicePath)) {
        return;
    }
    if (change == DeviceChange::Arrival) {
        if (!session_.deviceConnected && !plugInTried_) {
            arrivalTimer_->start();
        } else if (session_.deviceConnected && !DeviceEventListenerRunning()) {
            // The event interface may be listed after the configuration one.
            StartDeviceEventListener();
        }
        return;
    }
    // Gone before its plug-in ran, or after it: the next arrival is a new plug-in.
    arrivalTimer_->stop();
    plugInTried_ = false;
    // The next plug-in reads the mouse anew, which replaces any unapplied
    // edit: the user is told now, while the edits are still on the pages.
    bool editsLost = false;
    if (session_.deviceConnected) {
        // The listener's mouse has gone: it must not outlive it.
        StopDeviceEventListener();
        editsLost = session_.HasUnappliedEdits() || status_ == DeviceStatus::NotSaved;
        session_.deviceConnected = false;
    }
    // Each of the mouse's interfaces reports its removal: the first one says it all.
    if (status_ == DeviceStatus::UnpluggedWithChanges ||
        status_ == DeviceStatus::UnpluggedUnconfirmed) {
        ShowDisconnected(status_);
    } else if (status_ == DeviceStatus::NotSaved) {
        // The write went out and only its confirmation is missing: the mouse
        // may well hold the edits.
        ShowDisconnected(DeviceStatus::UnpluggedUnconfirmed);
    } else {
        ShowDisconnected(editsLost ? DeviceStatus::UnpluggedWithChanges : DeviceStatus::NoMouse);
    }
}

void CUpdaterDlg::ReconnectAfterArrival() {
    ShowWaiting(kWaitingForMouse);
    DeviceWait wait;
    SleepMs(kArrivalSettleMs);
    session_.deviceConnected = FindDevice(kProductId);
    // When no configuration interface was there yet, its own arrival is still
    // to come; a mouse met but not opened or not answering is not tried again
    // (a permission stays denied) until it is unplugged.
    plugInTried_ = LastFindResult() != FindResult::NoMouse;
    ConnectFoundMouse(kArrivalReadTries);
    PlaceSafeFocus(tabs_);
}

void CUpdaterDlg::OnDeviceEvent(uint8_t code, uint8_t value, uint64_t readNumber) {
    // A report read just before the mouse went away is no longer news; one
    // read before the mouse confirmed a write of the tool's tells of a state
    // that write replaced.
    if (!session_.deviceConnected || readNumber <= readAtLastWrite_) {
        return;
    }
    // The mouse's own buttons are the user's newest choice: both records take
    // it, which may also settle an edit of the same field that waited for APPLY.
    for (SettingsPage* page : pages_) {
        page->OnDeviceEvent(code, value);
    }
    // What a level click set is old news once the mouse's own buttons spoke.
    if (status_ == DeviceStatus::LevelSet) {
        SetStatus(session_.HasUnappliedEdits() ? DeviceStatus::Unapplied : DeviceStatus::Connected);
    }
    RefreshApplyState();
}

void CUpdaterDlg::ShowProfileExported(const QString& path) {
    // The mouse's state is unchanged: the line keeps saying it, and adds the file.
    statusLine_->Show(DeviceStatusText(status_, firmwareVersionField_->text(), statusDetail_) +
                          " Profile saved to " + path + ".",
                      false);
}

void CUpdaterDlg::ShowImportedProfile(int settingsDiffering) {
    LoadAllPages();
    UpdateApplyButton();
    if (settingsDiffering > 0) {
        SetStatus(DeviceStatus::ProfileLoaded, QString::number(settingsDiffering));
    } else if (session_.HasUnappliedEdits()) {
        // Only settings a profile does not name differ: APPLY says the rest.
        SetStatus(DeviceStatus::Unapplied);
    } else {
        SetStatus(DeviceStatus::ProfileMatches);
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
