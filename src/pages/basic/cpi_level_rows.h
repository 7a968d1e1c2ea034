#pragma once

#include <QGroupBox>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "device/mouse_session.h"

class QLabel;
class QLineEdit;
class QSlider;
class CQyxStatic;
class LevelLabel;
class LevelRadioButton;

// The Basic page's four CPI levels: each row's level marker (radio button,
// "CPI n" label, colour swatch) and its X and Y as track bar and field. Every
// value change goes into pendingSettings at once and is announced by Edited();
// a click on a level marker by LevelChosen(). Handlers are bound to user-only
// signals, so the rows' own changes to their controls never run them.
class CpiLevelRows : public QGroupBox {
    Q_OBJECT
public:
    CpiLevelRows(MouseSession& session, QWidget* parent);
    ~CpiLevelRows() override;

    // X and Y move together unless the page's X/Y Settings box is ticked.
    void SetLinked(bool linked) { linked_ = linked; }
    // Y takes X on every level, as the linking of the axes asks.
    void CopyXToY();
    // Shows the levels of `settings` on the grid.
    void Load(const SettingsRecord& settings);
    // Shows the first `count` rows and checks the active level.
    void ShowLevels(int count, int active);
    // Reads every field in a fixed order; at a field without a number it tells
    // the user and stops, so that field and the ones after it keep their values.
    bool CollectFields();
    void StoreLevel(int level);
    void CheckOnlyLevel(int level);
    std::optional<int> HighestCheckedLevel() const;
    void SetAvailable(bool connected);
    // A press beside the fields commits the one being typed in.
    void CommitFocusedField();
    void RewriteFields();
    void AppendTabOrder(std::vector<QWidget*>& order) const;

signals:
    void Edited();
    void LevelChosen(int level);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum Axis { kAxisX = 0, kAxisY = 1 };
    struct FieldId {
        int level;
        Axis axis;
    };
    struct Row {
        LevelRadioButton* radio = nullptr;
        LevelLabel* label = nullptr;
        CQyxStatic* swatch = nullptr;
        std::array<QLabel*, 2> axisLabels{};
        std::array<QSlider*, 2> sliders{};
        std::array<QLineEdit*, 2> fields{};
    };

    void BuildRow(int level);
    void ConnectRow(int level);
    void NameRow(int level);
    void ShowInitialValues();

    uint32_t& Value(int level, Axis axis);
    static Axis Twin(Axis axis) { return axis == kAxisX ? kAxisY : kAxisX; }
    std::optional<FieldId> FieldOf(const QObject* object) const;
    void SetAxis(int level, Axis axis, uint32_t value);
    void StoreAxis(int level, Axis axis);
    void CommitField(int level, Axis axis);
    void TakeValue(int level, Axis axis, uint32_t value);
    void OnFieldEdited(int level, Axis axis);
    void OnTrackBarMoved(int level, Axis axis);
    void OnWheel(int level, Axis axis, bool awayFromUser);
    void OnMarkerClicked(int level);
    void SetRowVisible(int level, bool visible);
    void ReportUnreadableField(int level, Axis axis);

    MouseSession& session_;
    bool linked_ = true;
    std::array<uint32_t, kCpiLevelCount> levelX{};
    std::array<uint32_t, kCpiLevelCount> levelY{};
    std::array<Row, kCpiLevelCount> rows_{};
};
