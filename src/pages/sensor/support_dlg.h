#pragma once

#include <QWidget>
#include <cstdint>

// The "  Advanced Sensor  " page: sensor tuning, motion sync, sensor angle.
class CSupportDlg : public QWidget {
    Q_OBJECT
public:
    explicit CSupportDlg(QWidget* parent = nullptr);

    void LoadFromSettings();
    void StoreToSettings();
    void SetDeviceAvailable(bool connected);
};
