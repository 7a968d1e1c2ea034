#include "pages/basic/cpi_level_rows.h"

#include <QApplication>
#include <QColor>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QWheelEvent>

#include "pages/basic/cpi_field_reader.h"
#include "pages/basic/level_controls.h"
#include "pages/settings_bits.h"
#include "settings/cpi_scale.h"
#include "ui/accessible_slider.h"
#include "ui/colour_swatch.h"
#include "ui/digits_only.h"
#include "ui/message_box.h"

namespace {

const std::array<QColor, kCpiLevelCount> kSwatchColours{QColor(0, 0, 255), QColor(0, 255, 0),
                                                        QColor(255, 255, 0), QColor(255, 0, 0)};
// What the rows show until the first settings are loaded.
constexpr std::array<uint32_t, kCpiLevelCount> kInitialCpi{400, 800, 1600, 3200};
constexpr int kActiveLevelFallback = 1;
const char* const kEnterPositiveInteger = "Enter a positive integer.";

// An unchanged text is left alone: rewriting it would drop the selection
// that makes the next typing replace it.
void ShowNumber(QLineEdit* field, uint32_t value) {
    const QString text = QString::number(value);
    if (field->text() != text) {
        field->setText(text);
    }
}

QString AxisName(int axis) {
    return axis == 0 ? QStringLiteral("X") : QStringLiteral("Y");
}

// Positive: turned away from the user.
int WheelTurn(const QWheelEvent& event) {
    for (const QPoint delta : {event.angleDelta(), event.pixelDelta()}) {
        if (delta.y() != 0) {
            return delta.y();
        }
        if (delta.x() != 0) {
            return delta.x();
        }
    }
    return 0;
}

}  // namespace

CpiLevelRows::CpiLevelRows(MouseSession& session, QWidget* parent)
    : QGroupBox(parent), session_(session) {
    auto* grid = new QGridLayout(this);
    grid->setColumnStretch(3, 1);
    for (int level = 0; level < kCpiLevelCount; ++level) {
        BuildRow(level);
        const Row& row = rows_[level];
        const int line = 2 * level;
        grid->addWidget(row.radio, line, 0);
        grid->addWidget(row.label, line, 1);
        grid->addWidget(row.swatch, line + 1, 1, Qt::AlignLeft | Qt::AlignVCenter);
        for (int axis = 0; axis < 2; ++axis) {
            grid->addWidget(row.axisLabels[axis], line + axis, 2);
            grid->addWidget(row.sliders[axis], line + axis, 3);
            grid->addWidget(row.fields[axis], line + axis, 4);
        }
        NameRow(level);
        ConnectRow(level);
    }
    ShowInitialValues();
}

CpiLevelRows::~CpiLevelRows() {
    // Fields lose the focus while they are torn down; that must not reach
    // the handlers of rows that are already gone.
    for (const Row& row : rows_) {
        for (QLineEdit* field : row.fields) {
            field->removeEventFilter(this);
        }
    }
}

void CpiLevelRows::BuildRow(int level) {
    Row& row = rows_[level];
    const QString n = QString::number(level);
    row.radio = new LevelRadioButton(this);
    row.radio->setObjectName("cpiLevelRadio" + n);
    row.label = new LevelLabel(QStringLiteral("CPI %1").arg(level + 1), this);
    row.label->setObjectName("cpiLevelLabel" + n);
    row.swatch = new CQyxStatic(this);
    row.swatch->setObjectName("cpiSwatch" + n);
    row.swatch->backgroundColour = kSwatchColours[level];
    row.swatch->setFixedSize(40, 14);

    for (int axis = 0; axis < 2; ++axis) {
        const QString name = AxisName(axis);
        row.axisLabels[axis] = new QLabel(name + ":", this);
        row.axisLabels[axis]->setObjectName("cpiLevel" + name + "Label" + n);

        QSlider* slider = new QSlider(Qt::Horizontal, this);
        slider->setObjectName("cpiLevel" + name + "Slider" + n);
        slider->setRange(kMinTrackPosition, kMaxTrackPosition);
        slider->setSingleStep(1);
        slider->setTickInterval(1);
        slider->setTickPosition(QSlider::NoTicks);
        slider->setMinimumWidth(240);
        row.sliders[axis] = slider;

        QLineEdit* field = new QLineEdit(this);
        field->setObjectName("cpiLevel" + name + "Field" + n);
        SetKeyboardDigitsOnly(field);  // pasted text goes to the change reader
        field->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        // Room for "30000" and a digit more, inside the frame and margins.
        field->setFixedWidth(field->fontMetrics().horizontalAdvance(QStringLiteral("300000")) + 16);
        field->installEventFilter(this);
        row.fields[axis] = field;
    }
}

// The "X:" labels do not say which level: each control gets a name of its own.
void CpiLevelRows::NameRow(int level) {
    const Row& row = rows_[level];
    const QString levelName = QStringLiteral("CPI %1").arg(level + 1);
    row.radio->setAccessibleName(QStringLiteral("Active CPI level %1").arg(level + 1));
    row.swatch->setAccessibleName(levelName + " colour");
    for (Axis axis : {kAxisX, kAxisY}) {
        const QString axisName = levelName + (axis == kAxisX ? " X" : " Y");
        row.sliders[axis]->setAccessibleName(axisName);
        row.fields[axis]->setAccessibleName(axisName);
        ReportSliderValue(row.sliders[axis],
                          SliderScale{
                              [](int position) { return double(TrackPositionToCpi(position)); },
                              [](double cpi) { return CpiToTrackPosition(uint32_t(cpi)); },
                              [this, level, axis] { return double(Value(level, axis)); },
                              double(kMinLevelCpi),
                              double(kMaxLevelCpi),
                              QStringLiteral("CPI"),
                          });
    }
}

void CpiLevelRows::ConnectRow(int level) {
    const Row& row = rows_[level];
    connect(row.radio, &QAbstractButton::clicked, this, [this, level] { emit LevelChosen(level); });
    connect(row.label, &LevelLabel::clicked, this, [this, level] { OnMarkerClicked(level); });
    connect(row.swatch, &CQyxStatic::clicked, this, [this, level] { OnMarkerClicked(level); });
    for (Axis axis : {kAxisX, kAxisY}) {
        connect(row.fields[axis], &QLineEdit::textEdited, this,
                [this, level, axis] { OnFieldEdited(level, axis); });
        connect(row.sliders[axis], &QAbstractSlider::actionTriggered, this,
                [this, level, axis] { OnTrackBarMoved(level, axis); });
    }
    // Field focus, Enter and the wheel over a field: eventFilter.
}

void CpiLevelRows::ShowInitialValues() {
    for (int level = 0; level < kCpiLevelCount; ++level) {
        levelX[level] = kInitialCpi[level];
        levelY[level] = kInitialCpi[level];
        for (Axis axis : {kAxisX, kAxisY}) {
            rows_[level].sliders[axis]->setValue(CpiToTrackPosition(kInitialCpi[level]));
        }
    }
    RewriteFields();
}

bool CpiLevelRows::eventFilter(QObject* watched, QEvent* event) {
    const std::optional<FieldId> id = FieldOf(watched);
    if (!id) {
        return QGroupBox::eventFilter(watched, event);
    }
    switch (event->type()) {
        case QEvent::FocusIn:
        case QEvent::FocusOut:
            CommitField(id->level, id->axis);
            break;
        case QEvent::KeyPress: {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                CommitField(id->level, id->axis);
                RewriteFields();
            }
            break;
        }
        case QEvent::Wheel: {
            auto* field = static_cast<QWidget*>(watched);
            if (!field->isVisible() || !field->isEnabled()) {
                break;
            }
            const int turn = WheelTurn(*static_cast<QWheelEvent*>(event));
            // Scroll phases without any turn (touchpads) are no notch.
            if (turn != 0) {
                OnWheel(id->level, id->axis, turn > 0);
            }
            return true;
        }
        default:
            break;
    }
    return QGroupBox::eventFilter(watched, event);
}

// ---------------------------------------------------------------- values

uint32_t& CpiLevelRows::Value(int level, Axis axis) {
    return axis == kAxisX ? levelX[level] : levelY[level];
}

std::optional<CpiLevelRows::FieldId> CpiLevelRows::FieldOf(const QObject* object) const {
    if (object == nullptr) {
        return std::nullopt;
    }
    for (int level = 0; level < kCpiLevelCount; ++level) {
        for (Axis axis : {kAxisX, kAxisY}) {
            if (rows_[level].fields[axis] == object) {
                return FieldId{level, axis};
            }
        }
    }
    return std::nullopt;
}

// The axis takes a value on the grid: its track bar and its text follow.
void CpiLevelRows::SetAxis(int level, Axis axis, uint32_t value) {
    Value(level, axis) = value;
    rows_[level].sliders[axis]->setValue(CpiToTrackPosition(value));
    ShowNumber(rows_[level].fields[axis], value);
}

void CpiLevelRows::StoreAxis(int level, Axis axis) {
    CpiLevel& record = session_.pendingSettings.cpiLevels[level];
    (axis == kAxisX ? record.x : record.y) = static_cast<uint16_t>(Value(level, axis));
}

void CpiLevelRows::StoreLevel(int level) {
    CpiLevel& record = session_.pendingSettings.cpiLevels[level];
    record.x = static_cast<uint16_t>(levelX[level]);
    record.y = static_cast<uint16_t>(levelY[level]);
    record.separateXY = SwitchByte(levelX[level] != levelY[level]);
}

void CpiLevelRows::RewriteFields() {
    for (int level = 0; level < kCpiLevelCount; ++level) {
        for (Axis axis : {kAxisX, kAxisY}) {
            ShowNumber(rows_[level].fields[axis], Value(level, axis));
        }
    }
}

void CpiLevelRows::CommitField(int level, Axis axis) {
    TakeValue(level, axis,
              NormalizeLevelCpi(ReadCommittedCpiText(rows_[level].fields[axis]->text())));
}

// The axis, and its twin while the axes are linked, show and store `value`.
void CpiLevelRows::TakeValue(int level, Axis axis, uint32_t value) {
    SetAxis(level, axis, value);
    StoreAxis(level, axis);
    if (linked_) {
        SetAxis(level, Twin(axis), value);
        StoreAxis(level, Twin(axis));
    }
    emit Edited();
}

void CpiLevelRows::CommitFocusedField() {
    if (const std::optional<FieldId> id = FieldOf(QApplication::focusWidget())) {
        CommitField(id->level, id->axis);
    }
}

// While the user types, the value follows the text; the text stays as typed
// and is put on the grid when the field is committed.
void CpiLevelRows::OnFieldEdited(int level, Axis axis) {
    const std::optional<uint32_t> number = ReadEditedCpiText(rows_[level].fields[axis]->text());
    if (!number) {
        ReportUnreadableField(level, axis);
        return;
    }
    Value(level, axis) = NormalizeLevelCpi(*number);
    StoreAxis(level, axis);
    emit Edited();
}

void CpiLevelRows::OnTrackBarMoved(int level, Axis axis) {
    // actionTriggered comes before the slider takes the new value.
    const int position = rows_[level].sliders[axis]->sliderPosition();
    Value(level, axis) = TrackPositionToCpi(position);
    StoreAxis(level, axis);
    if (linked_) {
        Value(level, Twin(axis)) = Value(level, axis);
        rows_[level].sliders[Twin(axis)]->setValue(position);
        StoreAxis(level, Twin(axis));
    }
    RewriteFields();
    emit Edited();
}

void CpiLevelRows::OnWheel(int level, Axis axis, bool awayFromUser) {
    TakeValue(level, axis, WheelStepCpi(Value(level, axis), awayFromUser));
}

void CpiLevelRows::CopyXToY() {
    for (int level = 0; level < kCpiLevelCount; ++level) {
        levelY[level] = levelX[level];
        rows_[level].sliders[kAxisY]->setValue(rows_[level].sliders[kAxisX]->value());
        ShowNumber(rows_[level].fields[kAxisY], levelY[level]);
        session_.pendingSettings.cpiLevels[level].y = static_cast<uint16_t>(levelX[level]);
    }
}

void CpiLevelRows::Load(const SettingsRecord& settings) {
    for (int level = 0; level < kCpiLevelCount; ++level) {
        SetAxis(level, kAxisX, NormalizeLevelCpi(settings.cpiLevels[level].x));
        SetAxis(level, kAxisY, NormalizeLevelCpi(settings.cpiLevels[level].y));
    }
}

bool CpiLevelRows::CollectFields() {
    for (Axis axis : {kAxisX, kAxisY}) {
        for (int level = 0; level < kCpiLevelCount; ++level) {
            const std::optional<uint32_t> number =
                ReadEditedCpiText(rows_[level].fields[axis]->text());
            if (!number) {
                ReportUnreadableField(level, axis);
                return false;
            }
            Value(level, axis) = NormalizeLevelCpi(*number);
        }
    }
    return true;
}

// The field is committed as the message takes its focus away (the empty
// text reads as 10), and is ready for new input afterwards: its text is
// selected, so what the user types next replaces it. The commit is made here
// too, so it does not depend on how the message box moves the focus.
void CpiLevelRows::ReportUnreadableField(int level, Axis axis) {
    QLineEdit* field = rows_[level].fields[axis];
    ShowMessage(this, kEnterPositiveInteger);
    CommitField(level, axis);
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();
}

// ---------------------------------------------------------------- levels

// The label and the swatch are the round button's: a click on the active
// level writes it again, which also retries a write the mouse did not confirm.
void CpiLevelRows::OnMarkerClicked(int level) {
    rows_[level].radio->setChecked(true);
    emit LevelChosen(level);
}

// The active level keeps its check mark even when its row is hidden.
void CpiLevelRows::ShowLevels(int count, int active) {
    const bool countInRange = count >= 1 && count <= kCpiLevelCount;
    const int shown = count >= 1 && count < kCpiLevelCount ? count : kCpiLevelCount;
    for (int level = 0; level < kCpiLevelCount; ++level) {
        SetRowVisible(level, level < shown);
    }
    if (!countInRange) {
        CheckOnlyLevel(kActiveLevelFallback);
    } else if (active >= 0 && active < kCpiLevelCount) {
        CheckOnlyLevel(active);
    } else if (count == 1) {
        rows_[0].radio->setChecked(true);
    }
    RewriteFields();
}

void CpiLevelRows::SetRowVisible(int level, bool visible) {
    const Row& row = rows_[level];
    for (QWidget* widget : std::initializer_list<QWidget*>{row.radio, row.label, row.swatch}) {
        widget->setVisible(visible);
    }
    for (int axis = 0; axis < 2; ++axis) {
        row.axisLabels[axis]->setVisible(visible);
        row.sliders[axis]->setVisible(visible);
        row.fields[axis]->setVisible(visible);
    }
}

void CpiLevelRows::CheckOnlyLevel(int level) {
    // Level 1 also stands for any level there is no row for.
    const int checked = level >= 0 && level < kCpiLevelCount ? level : kActiveLevelFallback;
    for (int other = 0; other < kCpiLevelCount; ++other) {
        rows_[other].radio->setChecked(other == checked);
    }
}

std::optional<int> CpiLevelRows::HighestCheckedLevel() const {
    std::optional<int> highest;
    for (int level = 0; level < kCpiLevelCount; ++level) {
        if (rows_[level].radio->isChecked()) {
            highest = level;
        }
    }
    return highest;
}

void CpiLevelRows::SetAvailable(bool connected) {
    for (const Row& row : rows_) {
        row.radio->setChecked(false);
        row.radio->setEnabled(connected);
        for (int axis = 0; axis < 2; ++axis) {
            row.sliders[axis]->setEnabled(connected);
            row.fields[axis]->setEnabled(connected);
        }
    }
    RewriteFields();
}

void CpiLevelRows::AppendTabOrder(std::vector<QWidget*>& order) const {
    for (const Row& row : rows_) {
        order.push_back(row.radio);
        for (Axis axis : {kAxisX, kAxisY}) {
            order.push_back(row.sliders[axis]);
            order.push_back(row.fields[axis]);
        }
    }
}
