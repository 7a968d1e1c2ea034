#pragma once

#include <QWidget>
#include <cstdint>

// The "  Basic  " page: CPI levels, active level, polling rate, lift-off distance.
class CSensorDlg : public QWidget {
    Q_OBJECT
public:
    explicit CSensorDlg(QWidget* parent = nullptr);

    void LoadFromSettings();
    void StoreToSettings();
    void SetDeviceAvailable(bool connected);
    // From the event listener, on the UI thread.
    void OnDeviceLevelChanged(uint8_t level);
    void OnDevicePollingRateChanged(uint8_t code);
};
