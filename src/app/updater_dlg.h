#pragma once

#include <QDialog>
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "device/device_link.h"

class QLabel;
class QPushButton;
class QTabWidget;
class CSensorDlg;
class CSupportDlg;
class CDlgDeb;
class CMouseSet;

// The main window and the controller: start-up, APPLY, Factory Reset, plug
// and unplug, and the enabling of everything while the mouse is present.
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

    // Set while APPLY or the Basic page's level write talks to the mouse.
    bool writeInProgress = false;

    void RefreshApplyState();
    void SetConnectedState(bool connected);
    void ShowFirmwareVersion(const std::array<uint8_t, kFirmwareBlockSize>& block);

    // APPLY and the Basic page's level write: one write of pendingSettings at
    // a time, found mouse first. `prepare` readies the records just before the
    // write; when no attempt is confirmed, deviceSettings goes back to what it
    // was, since the mouse may not hold it. true after a confirmed write.
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

    CSensorDlg* sensorPage_ = nullptr;
    CSupportDlg* supportPage_ = nullptr;
    CDlgDeb* buttonsPage_ = nullptr;
    CMouseSet* mappingPage_ = nullptr;
    QLabel* firmwareVersionField_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    QLabel* softwareVersionField_ = nullptr;
    QPushButton* factoryResetButton_ = nullptr;
    QPushButton* applyButton_ = nullptr;
};

// The one main window; null while none exists.
extern CUpdaterDlg* mainDialog;

// Called by every page handler after it changed pendingSettings. Does nothing
// while no main window exists.
void RefreshApplyState();
