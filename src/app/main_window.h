// CUpdaterDlg: the main window and its controller.
#pragma once

#include <QDialog>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/device_status.h"
#include "app/profile_buttons.h"
#include "device/device_link.h"
#include "pages/page_host.h"
#include "pages/settings_page.h"

class QLabel;
class QPushButton;
class QTabWidget;
class QTimer;
class StatusLine;

// The main window and the controller: start-up, APPLY, Factory Reset, plug
// and unplug, the enabling of everything while the mouse is present, and the
// status line that says in words what the tool knows about the mouse. It
// treats its pages alike, through SettingsPage, and they reach it only as
// their PageHost. The records live in the MouseSession it is given.
class CUpdaterDlg : public QDialog, public PageHost, public ProfileHost {
    Q_OBJECT
public:
    explicit CUpdaterDlg(MouseSession& session, QWidget* parent = nullptr);
    ~CUpdaterDlg() override;

    // The start-up sequence: find the mouse, read it, load the pages.
    void Initialise();

    const std::vector<SettingsPage*>& Pages() const { return pages_; }
    template <typename Page>
    Page* FindPage() const {
        for (SettingsPage* page : pages_) {
            if (auto* found = qobject_cast<Page*>(page)) {
                return found;
            }
        }
        return nullptr;
    }
    QPushButton* ApplyButton() const { return applyButton_; }
    QPushButton* FactoryResetButton() const { return factoryResetButton_; }
    QTabWidget* Tabs() const { return tabs_; }
    QLabel* FirmwareVersionField() const { return firmwareVersionField_; }
    DeviceStatus Status() const { return status_; }

    // PageHost and ProfileHost
    MouseSession& Session() override { return session_; }
    // APPLY lit exactly while there is something to apply, and the status
    // line no longer calling everything saved once it is lit.
    void RefreshApplyState() override;
    bool WriteLevelChoice() override;
    bool WriteInProgress() const override { return writeInProgress_; }
    QWidget* HostWindow() override { return this; }
    void ShowImportedProfile(int settingsDiffering) override;
    void ShowProfileExported(const QString& path) override;
    void SetConnectedState(bool connected);
    // The one way the status line says what the tool knows about the mouse.
    // `detail` as DeviceStatusText takes it.
    void SetStatus(DeviceStatus status, const QString& detail = {});
    // What a device command about to run waits for, until it sets the status.
    void ShowWaiting(const QString& text);
    // The command waits because another process of the user (`holder`, as
    // its lock records it) holds the mouse.
    void ShowOtherProgramWait(const QString& holder);
    // Before Initialise(): another program of the user (`holder`) holds the
    // mouse, and the window starts once it is done.
    void ShowWaitingToStart(const QString& holder);
    void ShowFirmwareVersion(const std::array<uint8_t, kFirmwareBlockSize>& block);

    void OnApply();
    void OnFactoryReset();
    enum class DeviceChange { Arrival, Removal };
    void OnDeviceChange(DeviceChange change, const std::string& devicePath);
    // A recognised report of the event interface, on the UI thread;
    // `readNumber` is its DeviceEventsRead() number.
    void OnDeviceEvent(uint8_t code, uint8_t value, uint64_t readNumber = UINT64_MAX);

protected:
    // Unapplied edits are not lost without a question.
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void BuildLayout();
    void ConnectSignals();
    // Arrival and removal of the mouse's interfaces; false when none can be delivered.
    bool WatchDeviceChanges();
    void LoadAllPages();
    void UpdateApplyButton();
    void ReconnectAfterArrival();
    // After FindDevice: reads the found mouse (each read up to `tries` times)
    // and enables everything once it answered; otherwise says why not.
    void ConnectFoundMouse(int tries);
    void ShowDisconnected(DeviceStatus status);
    // A mouse that stopped answering: nothing is offered until a plug-in reads it.
    void DropSilentMouse(DeviceStatus status);
    // A command needs the mouse: the one found before, or one found now.
    bool EnsureMouseFound();
    // APPLY and the level write: one write at a time, found mouse first.
    // deviceSettings becomes `record` only when the mouse confirmed it;
    // otherwise the status line says `notConfirmed`.
    bool WriteToMouse(const SettingsRecord& record, DeviceStatus notConfirmed,
                      const QString& waitingText);
    // After a confirmed write: when the listener read reports meanwhile, the
    // mouse is read again and the changes made with its own buttons are taken
    // (`readBefore`: DeviceEventsRead() before the write).
    void TakeChangesMadeOnTheMouse(uint64_t readBefore);

    MouseSession& session_;
    std::vector<SettingsPage*> pages_;
    QLabel* firmwareVersionField_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    QLabel* softwareVersionField_ = nullptr;
    QPushButton* factoryResetButton_ = nullptr;
    QPushButton* applyButton_ = nullptr;
    StatusLine* statusLine_ = nullptr;
    QString waitingFor_;  // the last ShowWaiting() text
    DeviceStatus status_ = DeviceStatus::NoMouse;
    QString statusDetail_;
    // One plug-in brings an arrival for each of the mouse's interfaces: the
    // ones delivered together share this timer, and once a plug-in was tried
    // the later ones wait for the mouse's removal before trying again.
    QTimer* arrivalTimer_ = nullptr;
    // DeviceEventsRead() when the mouse last confirmed a write: reports read
    // until then are older than what the mouse holds now.
    uint64_t readAtLastWrite_ = 0;
    bool plugInTried_ = false;
    // Set while APPLY or the Basic page's level write talks to the mouse.
    bool writeInProgress_ = false;
};
