// CSensorDlg: the Basic page.
#pragma once

#include <cstdint>

#include "pages/settings_page.h"
#include "settings/settings_image.h"

class QComboBox;
class QCheckBox;
class QGridLayout;
class QPushButton;
class CpiLevelRows;
class ReportRateView;

// The "  Basic  " page: CPI levels, active level, polling rate, lift-off distance.
//
// Every edit goes into pendingSettings at once. The choice of the active
// level is also written to the mouse straight away, and only that choice:
// the other edits wait for APPLY. Handlers are bound to user-only signals
// (activated, clicked), so the page's own changes to its controls never run them.
class CSensorDlg : public SettingsPage {
    Q_OBJECT
public:
    explicit CSensorDlg(PageHost& host, QWidget* parent = nullptr);

    QString Title() const override { return QStringLiteral("  Basic  "); }
    void LoadFromSettings() override;
    void StoreToSettings() override;
    void SetDeviceAvailable(bool connected) override;
    void OnDeviceEvent(uint8_t code, uint8_t value) override;

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    void BuildLayout();
    QGridLayout* BuildSettingsLines();
    void ConnectSignals();
    void InitialiseState();
    // What a screen reader says for each control, and the Tab key's order.
    void NameControls();
    void SetTabOrder();

    void OnXySettingsClicked();
    void OnCpiLevelCountChosen(int index);
    void StoreLevelCount();
    void SelectCpiLevel(int level);
    void OnDeviceLevelChanged(uint8_t level);
    // Measures the CPI the sensor really has, in a dialog of its own.
    void OpenCpiCheck();

    void OnPollingRateChosen(int index);
    void OnLiftOffChosen(int index);
    void OnAngleSnappingClicked();
    void OnLiftOffLedClicked();
    void FillLiftOffList(bool glass);
    void OnDevicePollingRateChanged(uint8_t code);

    // Which lift-off list is shown: the glass one after loading glass mode.
    bool glassLiftOff_ = false;

    CpiLevelRows* cpiRows_ = nullptr;
    QComboBox* cpiLevelsList_ = nullptr;
    QCheckBox* xySettingsCheck_ = nullptr;
    QPushButton* cpiCheckButton_ = nullptr;
    QComboBox* pollingRateList_ = nullptr;
    QComboBox* liftOffList_ = nullptr;
    QCheckBox* angleSnappingCheck_ = nullptr;
    QCheckBox* liftOffLedCheck_ = nullptr;
    ReportRateView* meter_ = nullptr;
};
