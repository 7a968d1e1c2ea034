// CSensorDlg: the Basic page.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "pages/settings_page.h"
#include "settings/settings_image.h"

class QCheckBox;
class QGridLayout;
class QComboBox;
class QLabel;
class QLineEdit;
class QSlider;
class CQyxStatic;
class LevelLabel;
class LevelRadioButton;

// The "  Basic  " page: CPI levels, active level, polling rate, lift-off distance.
//
// Every edit goes into pendingSettings at once, except the choice of the
// active level, which is written to the mouse straight away. Handlers are
// bound to user-only signals (activated, textEdited, clicked,
// actionTriggered), so the page's own changes to its controls never run them.
class CSensorDlg : public SettingsPage {
    Q_OBJECT
public:
    explicit CSensorDlg(PageHost& host, QWidget* parent = nullptr);

    QString Title() const override { return QStringLiteral("  Basic  "); }
    ~CSensorDlg() override;

    void LoadFromSettings() override;
    void StoreToSettings() override;
    void SetDeviceAvailable(bool connected) override;
    void OnDeviceEvent(uint8_t code, uint8_t value) override;
    // From the event listener, on the UI thread.
    void OnDeviceLevelChanged(uint8_t level);
    void OnDevicePollingRateChanged(uint8_t code);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    enum Axis { kAxisX = 0, kAxisY = 1 };
    struct FieldId {
        int level;
        Axis axis;
    };
    struct CpiRow {
        LevelRadioButton* radio = nullptr;
        LevelLabel* label = nullptr;
        CQyxStatic* swatch = nullptr;
        std::array<QLabel*, 2> axisLabels{};
        std::array<QSlider*, 2> sliders{};
        std::array<QLineEdit*, 2> fields{};
    };

    void BuildLayout();
    QGridLayout* BuildSettingsLines();
    QWidget* BuildCpiRows();
    void BuildCpiRow(int level);
    void ConnectSignals();
    void ConnectCpiRow(int level);
    void InitialiseState();
    // What a screen reader says for each control, and the Tab key's order.
    void NameControls();
    void SetTabOrder();

    // CPI values and fields.
    uint32_t& Value(int level, Axis axis);
    static Axis Twin(Axis axis) { return axis == kAxisX ? kAxisY : kAxisX; }
    bool Linked() const;
    std::optional<FieldId> FieldOf(const QObject* object) const;
    void SetAxis(int level, Axis axis, uint32_t value);
    void StoreAxis(int level, Axis axis);
    void StoreLevel(int level);
    void RewriteCpiFields();
    void CommitCpiField(int level, Axis axis);
    void OnFieldEdited(int level, Axis axis);
    void OnTrackBarMoved(int level, Axis axis);
    void OnWheel(int level, Axis axis, bool awayFromUser);
    void OnXySettingsClicked();
    void OnCpiLevelCountChosen(int index);
    void ShowCpiLevels(int count, int active);
    void SetRowVisible(int level, bool visible);
    bool CollectCpiFields();
    void ReportUnreadableField(int level, Axis axis);
    void StoreLevelCount();

    // The active level.
    void OnLevelMarkerClicked(int level);
    void SelectCpiLevel(int level);
    void WriteActiveLevel();
    void CheckOnlyLevel(int level);

    // Polling rate, lift-off distance and switches.
    void OnPollingRateChosen(int index);
    void OnLiftOffChosen(int index);
    void OnAngleSnappingClicked();
    void OnLiftOffLedClicked();
    void FillLiftOffList(bool glass);

    std::array<uint32_t, kCpiLevelCount> levelX{};
    std::array<uint32_t, kCpiLevelCount> levelY{};
    // Which lift-off list is shown: the glass one after loading glass mode.
    bool glassLiftOff_ = false;

    std::array<CpiRow, kCpiLevelCount> rows_{};
    QComboBox* cpiLevelsList_ = nullptr;
    QCheckBox* xySettingsCheck_ = nullptr;
    QComboBox* pollingRateList_ = nullptr;
    QComboBox* liftOffList_ = nullptr;
    QCheckBox* angleSnappingCheck_ = nullptr;
    QCheckBox* liftOffLedCheck_ = nullptr;
};
