// CSupportDlg: the Advanced Sensor page.
#pragma once

#include <cstdint>

#include "pages/settings_page.h"
#include "settings/settings_image.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSlider;

// The "  Advanced Sensor  " page: sensor tuning, motion sync, sensor angle.
class CSupportDlg : public SettingsPage {
    Q_OBJECT
public:
    explicit CSupportDlg(PageHost& host, QWidget* parent = nullptr);

    QString Title() const override { return QStringLiteral("  Advanced Sensor  "); }

    void LoadFromSettings() override;
    // Collects the controls into pendingSettings (APPLY).
    void StoreToSettings() override;
    void SetDeviceAvailable(bool connected) override;

    static constexpr int kAngleMin = -127;
    static constexpr int kAngleMax = 127;

private:
    void BuildControls();
    void BuildLayout();
    // What a screen reader says for each control.
    void NameControls();
    void ConnectSignals();

    // Mirrors of the Motion Sync box and the angle field.
    void ShowTransfer();
    bool ReadTransfer();
    uint8_t TuningFrom(uint8_t oldTuning) const;

    void OnMotionSyncClicked();
    void OnMotionJitterFilterClicked();
    void OnForceMaxFpsClicked();
    void OnAngleEdited(const QString& text);
    void OnAngleSliderAction();
    void OnTuningChanged();

    int angleValue = 0;
    bool motionSyncTicked = false;

    QLabel* downshiftTuningLabel_ = nullptr;
    QComboBox* downshiftTuningList_ = nullptr;
    QLabel* smoothingTuningLabel_ = nullptr;
    QComboBox* smoothingTuningList_ = nullptr;
    QCheckBox* motionJitterFilterCheck_ = nullptr;
    QCheckBox* motionSyncCheck_ = nullptr;
    QCheckBox* forceMaxFpsCheck_ = nullptr;
    QCheckBox* sensorGlassModeCheck_ = nullptr;
    QLabel* sensorAngleLabel_ = nullptr;
    QSlider* sensorAngleSlider_ = nullptr;
    QLineEdit* sensorAngleField_ = nullptr;
};
