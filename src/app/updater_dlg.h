#pragma once

#include <QDialog>
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "app/device_status.h"
#include "device/device_link.h"

class QLabel;
class QPushButton;
class QTabWidget;
class QTimer;
class StatusLine;
class CSensorDlg;
class CSupportDlg;
class CDlgDeb;
class CMouseSet;

// The main window and the controller: start-up, APPLY, Factory Reset, plug
// and unplug, the enabling of everything while the mouse is present, and the
// status line that says in words what the tool knows about the mouse.
class CUpdaterDlg : public QDialog {
    Q_OBJECT
public:
    explicit CUpdaterDlg(QWidget* parent = nullptr);
    ~CUpdaterDlg() override;

    // The start-up sequence: find the mouse, read it, load the pages.
    void Initialise();

    CSensorDlg* SensorPage() const { return sensorPage_; }
    CSupportDlg* SupportPage() const { return supportPage_; }
    CDlgDeb* ButtonsPage() const { return buttonsPage_; }
    CMouseSet* MappingPage() const { return mappingPage_; }
    QPushButton* ApplyButton() const { return applyButton_; }
    QPushButton* FactoryResetButton() const { return factoryResetButton_; }
    QTabWidget* Tabs() const { return tabs_; }
    QLabel* FirmwareVersionField() const { return firmwareVersionField_; }
    DeviceStatus Status() const { return status_; }

    // Set while APPLY or the Basic page's level write talks to the mouse.
    bool writeInProgress = false;

    void RefreshApplyState();
    void SetConnectedState(bool connected);
    // The one way the status line changes.
    void SetStatus(DeviceStatus status);
    void ShowFirmwareVersion(const std::array<uint8_t, kFirmwareBlockSize>& block);

    // APPLY and the Basic page's level write: one write of pendingSettings at
    // a time, found mouse first. `prepare` readies the records just before the
    // write; when no attempt is confirmed, deviceSettings goes back to what it
    // was, since the mouse may not hold it, and the status line says "not
    // saved". true after a confirmed write.
    bool WritePendingSettings(const std::function<void()>& prepare);

    void OnApply();
    void OnFactoryReset();
    enum class DeviceChange { Arrival, Removal };
    void OnDeviceChange(DeviceChange change, const std::string& devicePath);
    // A recognised report of the event interface, on the UI thread.
    void OnDeviceEvent(uint8_t code, uint8_t value);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void BuildLayout();
    void ConnectSignals();
    void LoadAllPages();
    void ReconnectAfterArrival();
    // After FindDevice: reads the found mouse (each read up to `tries` times)
    // and enables everything once it answered; otherwise says why not.
    void ConnectFoundMouse(int tries);
    void ShowDisconnected(DeviceStatus status);

    CSensorDlg* sensorPage_ = nullptr;
    CSupportDlg* supportPage_ = nullptr;
    CDlgDeb* buttonsPage_ = nullptr;
    CMouseSet* mappingPage_ = nullptr;
    QLabel* firmwareVersionField_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    QLabel* softwareVersionField_ = nullptr;
    QPushButton* factoryResetButton_ = nullptr;
    QPushButton* applyButton_ = nullptr;
    StatusLine* statusLine_ = nullptr;
    DeviceStatus status_ = DeviceStatus::NoMouse;
    // One plug-in brings an arrival for each of the mouse's interfaces: the
    // ones delivered together share this timer, and once a plug-in was tried
    // the later ones wait for the mouse's removal before trying again.
    QTimer* arrivalTimer_ = nullptr;
    bool plugInTried_ = false;
};

// The one main window; null while none exists.
extern CUpdaterDlg* mainDialog;

// Called by every page handler after it changed pendingSettings. Does nothing
// while no main window exists.
void RefreshApplyState();
