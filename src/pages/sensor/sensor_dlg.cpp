#include "pages/sensor/sensor_dlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSlider>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "device/event_listener.h"
#include "pages/sensor/cpi_field_reader.h"
#include "pages/sensor/level_controls.h"
#include "pages/settings_bits.h"
#include "settings/cpi_scale.h"
#include "settings/sensor_choices.h"
#include "ui/dialog_keys.h"
#include "ui/digits_only.h"
#include "ui/message_box.h"
#include "ui/qyx_static.h"

namespace {

const std::array<QColor, kCpiLevelCount> kSwatchColours{QColor(0, 0, 255), QColor(0, 255, 0),
                                                        QColor(255, 255, 0), QColor(255, 0, 0)};
// What the page shows until the first settings are loaded.
constexpr std::array<uint32_t, kCpiLevelCount> kInitialCpi{400, 800, 1600, 3200};
constexpr int kLevelCountItems = 4;
constexpr int kActiveLevelFallback = 1;
const char* const kEnterPositiveInteger = "Enter a positive integer.";

// The level write sends the chosen level and its count, but the mouse's own
// lift-off, snapping, LED and tuning values and its other levels: those are
// APPLY's to send.
void ExchangeLevelFields(MouseSession& session) {
    SettingsRecord& pendingSettings = session.pendingSettings;
    SettingsRecord& deviceSettings = session.deviceSettings;
    pendingSettings.angleSnapping = deviceSettings.angleSnapping;
    pendingSettings.liftOffDistance = deviceSettings.liftOffDistance;
    pendingSettings.liftOffLed = deviceSettings.liftOffLed;
    pendingSettings.sensorTuning = deviceSettings.sensorTuning;
    deviceSettings.activeCpiLevel = pendingSettings.activeCpiLevel;
    deviceSettings.cpiLevelCount = pendingSettings.cpiLevelCount;
    const int active = pendingSettings.activeCpiLevel;
    if (active >= kCpiLevelCount) {
        return;
    }
    for (int level = 0; level < kCpiLevelCount; ++level) {
        if (level == active) {
            deviceSettings.cpiLevels[level] = pendingSettings.cpiLevels[level];
        } else {
            pendingSettings.cpiLevels[level] = deviceSettings.cpiLevels[level];
        }
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

void FillList(QComboBox* list, std::span<const SensorChoice> choices) {
    list->clear();
    for (const SensorChoice& choice : choices) {
        list->addItem(QString::fromLatin1(choice.text));
    }
}

}  // namespace

CSensorDlg::CSensorDlg(PageHost& host, QWidget* parent) : SettingsPage(host, parent) {
    BuildLayout();
    NameControls();
    SetTabOrder();
    ConnectSignals();
    InitialiseState();
}

CSensorDlg::~CSensorDlg() {
    // Children lose the focus while they are torn down; that must not reach
    // the handlers of a page that is already gone.
    for (const CpiRow& row : rows_) {
        for (QLineEdit* field : row.fields) {
            field->removeEventFilter(this);
        }
    }
}

// ---------------------------------------------------------------- layout

void CSensorDlg::BuildLayout() {
    // Two lines of settings on top, the four CPI rows framed below them.
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(BuildSettingsLines());
    layout->addSpacing(6);
    layout->addWidget(BuildCpiRows());
    layout->addStretch(1);
}

QGridLayout* CSensorDlg::BuildSettingsLines() {
    pollingRateList_ = new QComboBox(this);
    pollingRateList_->setObjectName("pollingRateList");
    liftOffList_ = new QComboBox(this);
    liftOffList_->setObjectName("liftOffList");
    angleSnappingCheck_ = new QCheckBox("Angle Snapping", this);
    angleSnappingCheck_->setObjectName("angleSnappingCheck");
    liftOffLedCheck_ = new QCheckBox("Disable LED on Lift-Off", this);
    liftOffLedCheck_->setObjectName("liftOffLedCheck");
    cpiLevelsList_ = new QComboBox(this);
    cpiLevelsList_->setObjectName("cpiLevelsList");
    for (int item = 1; item <= kLevelCountItems; ++item) {
        cpiLevelsList_->addItem(QString::number(item));
    }
    xySettingsCheck_ = new QCheckBox("X/Y Settings", this);
    xySettingsCheck_->setObjectName("xySettingsCheck");

    // Both lists as wide as the widest entry either may hold.
    FillList(pollingRateList_, PollingRateChoices());
    FillList(liftOffList_, LiftOffChoices(false));
    const int listWidth =
        std::max(pollingRateList_->sizeHint().width(), liftOffList_->sizeHint().width());
    pollingRateList_->setMinimumWidth(listWidth);
    liftOffList_->setMinimumWidth(listWidth);

    auto* levelCountLabel = new QLabel("CPI Levels", this);
    levelCountLabel->setBuddy(cpiLevelsList_);
    auto* levelCount = new QHBoxLayout;
    levelCount->addWidget(levelCountLabel);
    levelCount->addWidget(cpiLevelsList_);
    levelCount->addStretch(1);

    auto* pollingRateLabel = new QLabel("Polling Rate", this);
    pollingRateLabel->setBuddy(pollingRateList_);
    auto* liftOffLabel = new QLabel("LOD", this);
    liftOffLabel->setBuddy(liftOffList_);
    auto* grid = new QGridLayout;
    grid->addWidget(pollingRateLabel, 0, 0);
    grid->addWidget(pollingRateList_, 0, 1);
    grid->addWidget(angleSnappingCheck_, 0, 3);
    grid->addWidget(liftOffLedCheck_, 0, 4);
    grid->addWidget(liftOffLabel, 1, 0);
    grid->addWidget(liftOffList_, 1, 1);
    grid->addLayout(levelCount, 1, 3);
    grid->addWidget(xySettingsCheck_, 1, 4);
    grid->setColumnMinimumWidth(2, 24);
    grid->setColumnStretch(5, 1);
    return grid;
}

QWidget* CSensorDlg::BuildCpiRows() {
    auto* frame = new QGroupBox(this);
    auto* grid = new QGridLayout(frame);
    grid->setColumnStretch(3, 1);
    for (int level = 0; level < kCpiLevelCount; ++level) {
        BuildCpiRow(level);
        const CpiRow& row = rows_[level];
        const int line = 2 * level;
        grid->addWidget(row.radio, line, 0);
        grid->addWidget(row.label, line, 1);
        grid->addWidget(row.swatch, line + 1, 1, Qt::AlignLeft | Qt::AlignVCenter);
        for (int axis = 0; axis < 2; ++axis) {
            grid->addWidget(row.axisLabels[axis], line + axis, 2);
            grid->addWidget(row.sliders[axis], line + axis, 3);
            grid->addWidget(row.fields[axis], line + axis, 4);
        }
    }
    return frame;
}

void CSensorDlg::BuildCpiRow(int level) {
    CpiRow& row = rows_[level];
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

// ---------------------------------------------------------------- bindings

void CSensorDlg::ConnectSignals() {
    connect(cpiLevelsList_, &QComboBox::activated, this, &CSensorDlg::OnCpiLevelCountChosen);
    connect(xySettingsCheck_, &QCheckBox::clicked, this, &CSensorDlg::OnXySettingsClicked);
    connect(pollingRateList_, &QComboBox::activated, this, &CSensorDlg::OnPollingRateChosen);
    connect(liftOffList_, &QComboBox::activated, this, &CSensorDlg::OnLiftOffChosen);
    connect(angleSnappingCheck_, &QCheckBox::clicked, this, &CSensorDlg::OnAngleSnappingClicked);
    connect(liftOffLedCheck_, &QCheckBox::clicked, this, &CSensorDlg::OnLiftOffLedClicked);
    for (int level = 0; level < kCpiLevelCount; ++level) {
        ConnectCpiRow(level);
    }
    // Field focus, Enter and the wheel over a field: eventFilter.
}

void CSensorDlg::ConnectCpiRow(int level) {
    const CpiRow& row = rows_[level];
    connect(row.radio, &QAbstractButton::clicked, this, [this, level] { SelectCpiLevel(level); });
    connect(row.label, &LevelLabel::clicked, this, [this, level] { OnLevelMarkerClicked(level); });
    connect(row.swatch, &CQyxStatic::clicked, this, [this, level] { OnLevelMarkerClicked(level); });
    for (Axis axis : {kAxisX, kAxisY}) {
        connect(row.fields[axis], &QLineEdit::textEdited, this,
                [this, level, axis] { OnFieldEdited(level, axis); });
        connect(row.sliders[axis], &QAbstractSlider::actionTriggered, this,
                [this, level, axis] { OnTrackBarMoved(level, axis); });
    }
}

void CSensorDlg::InitialiseState() {
    cpiLevelsList_->setCurrentIndex(kLevelCountItems - 1);
    pollingRateList_->setCurrentIndex(static_cast<int>(PollingRateChoices().size()) - 1);
    FillLiftOffList(false);
    liftOffList_->setCurrentIndex(LiftOffIndexToShow(false, 3));
    for (int level = 0; level < kCpiLevelCount; ++level) {
        levelX[level] = kInitialCpi[level];
        levelY[level] = kInitialCpi[level];
        for (Axis axis : {kAxisX, kAxisY}) {
            rows_[level].sliders[axis]->setValue(CpiToTrackPosition(kInitialCpi[level]));
        }
    }
    RewriteCpiFields();
}

bool CSensorDlg::eventFilter(QObject* watched, QEvent* event) {
    const std::optional<FieldId> id = FieldOf(watched);
    if (!id) {
        return QWidget::eventFilter(watched, event);
    }
    switch (event->type()) {
        case QEvent::FocusIn:
        case QEvent::FocusOut:
            CommitCpiField(id->level, id->axis);
            break;
        case QEvent::KeyPress: {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                CommitCpiField(id->level, id->axis);
                RewriteCpiFields();
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
    return QWidget::eventFilter(watched, event);
}

void CSensorDlg::keyPressEvent(QKeyEvent* event) {
    // Enter and Escape never close or reset the page.
    if (!SwallowEnterAndEscape(event)) {
        QWidget::keyPressEvent(event);
    }
}

void CSensorDlg::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    // The press stays on the page: the main window would take it as the
    // start of a window move, and a swatch would lose its click.
    event->accept();
    // A swatch lets its press through; a click on it is a level choice, not
    // a click on the page.
    if (qobject_cast<CQyxStatic*>(childAt(event->position().toPoint())) != nullptr) {
        return;
    }
    if (const std::optional<FieldId> id = FieldOf(QApplication::focusWidget())) {
        CommitCpiField(id->level, id->axis);
    }
    RewriteCpiFields();
}

// ---------------------------------------------------------------- CPI values

uint32_t& CSensorDlg::Value(int level, Axis axis) {
    return axis == kAxisX ? levelX[level] : levelY[level];
}

bool CSensorDlg::Linked() const {
    return !xySettingsCheck_->isChecked();
}

std::optional<CSensorDlg::FieldId> CSensorDlg::FieldOf(const QObject* object) const {
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
void CSensorDlg::SetAxis(int level, Axis axis, uint32_t value) {
    Value(level, axis) = value;
    rows_[level].sliders[axis]->setValue(CpiToTrackPosition(value));
    rows_[level].fields[axis]->setText(QString::number(value));
}

void CSensorDlg::StoreAxis(int level, Axis axis) {
    CpiLevel& record = Session().pendingSettings.cpiLevels[level];
    (axis == kAxisX ? record.x : record.y) = static_cast<uint16_t>(Value(level, axis));
}

void CSensorDlg::StoreLevel(int level) {
    CpiLevel& record = Session().pendingSettings.cpiLevels[level];
    record.x = static_cast<uint16_t>(levelX[level]);
    record.y = static_cast<uint16_t>(levelY[level]);
    record.separateXY = SwitchByte(levelX[level] != levelY[level]);
}

void CSensorDlg::RewriteCpiFields() {
    for (int level = 0; level < kCpiLevelCount; ++level) {
        for (Axis axis : {kAxisX, kAxisY}) {
            rows_[level].fields[axis]->setText(QString::number(Value(level, axis)));
        }
    }
}

void CSensorDlg::CommitCpiField(int level, Axis axis) {
    const uint32_t value =
        NormalizeLevelCpi(ReadCommittedCpiText(rows_[level].fields[axis]->text()));
    SetAxis(level, axis, value);
    StoreAxis(level, axis);
    if (Linked()) {
        SetAxis(level, Twin(axis), value);
        StoreAxis(level, Twin(axis));
    }
    RefreshApplyState();
}

// While the user types, the value follows the text; the text stays as typed
// and is put on the grid when the field is committed.
void CSensorDlg::OnFieldEdited(int level, Axis axis) {
    const std::optional<uint32_t> number = ReadEditedCpiText(rows_[level].fields[axis]->text());
    if (!number) {
        ReportUnreadableField(level, axis);
        return;
    }
    Value(level, axis) = NormalizeLevelCpi(*number);
    StoreAxis(level, axis);
    RefreshApplyState();
}

void CSensorDlg::OnTrackBarMoved(int level, Axis axis) {
    // actionTriggered comes before the slider takes the new value.
    const int position = rows_[level].sliders[axis]->sliderPosition();
    Value(level, axis) = TrackPositionToCpi(position);
    StoreAxis(level, axis);
    if (Linked()) {
        Value(level, Twin(axis)) = Value(level, axis);
        rows_[level].sliders[Twin(axis)]->setValue(position);
        StoreAxis(level, Twin(axis));
    }
    RewriteCpiFields();
    RefreshApplyState();
}

void CSensorDlg::OnWheel(int level, Axis axis, bool awayFromUser) {
    const uint32_t value = WheelStepCpi(Value(level, axis), awayFromUser);
    SetAxis(level, axis, value);
    StoreAxis(level, axis);
    if (Linked()) {
        SetAxis(level, Twin(axis), value);
        StoreAxis(level, Twin(axis));
    }
    RefreshApplyState();
}

void CSensorDlg::OnXySettingsClicked() {
    if (!Linked()) {
        return;
    }
    for (int level = 0; level < kCpiLevelCount; ++level) {
        levelY[level] = levelX[level];
        rows_[level].sliders[kAxisY]->setValue(rows_[level].sliders[kAxisX]->value());
        rows_[level].fields[kAxisY]->setText(QString::number(levelY[level]));
        Session().pendingSettings.cpiLevels[level].y = static_cast<uint16_t>(levelX[level]);
    }
    RefreshApplyState();
}

void CSensorDlg::OnCpiLevelCountChosen(int index) {
    const int count = index + 1;
    ShowCpiLevels(count, Session().pendingSettings.activeCpiLevel);
    Session().pendingSettings.cpiLevelCount = static_cast<uint8_t>(count);
    RefreshApplyState();
}

// The active level keeps its check mark even when its row is hidden.
void CSensorDlg::ShowCpiLevels(int count, int active) {
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
    RewriteCpiFields();
}

void CSensorDlg::SetRowVisible(int level, bool visible) {
    const CpiRow& row = rows_[level];
    for (QWidget* widget : std::initializer_list<QWidget*>{row.radio, row.label, row.swatch}) {
        widget->setVisible(visible);
    }
    for (int axis = 0; axis < 2; ++axis) {
        row.axisLabels[axis]->setVisible(visible);
        row.sliders[axis]->setVisible(visible);
        row.fields[axis]->setVisible(visible);
    }
}

// Reads every field in a fixed order; at a field without a number it tells
// the user and stops, so that field and the ones after it keep their values.
bool CSensorDlg::CollectCpiFields() {
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
// text reads as 10), and is ready for new input afterwards. The commit is
// made here too, so it does not depend on how the message box moves the focus.
void CSensorDlg::ReportUnreadableField(int level, Axis axis) {
    QLineEdit* field = rows_[level].fields[axis];
    ShowMessage(this, kEnterPositiveInteger);
    CommitCpiField(level, axis);
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();
}

void CSensorDlg::StoreLevelCount() {
    const int item = cpiLevelsList_->currentIndex();
    if (item >= 0) {
        Session().pendingSettings.cpiLevelCount = static_cast<uint8_t>(item + 1);
    }
}

// ---------------------------------------------------------------- active level

void CSensorDlg::OnLevelMarkerClicked(int level) {
    if (rows_[level].radio->isChecked()) {
        return;
    }
    rows_[level].radio->setChecked(true);
    SelectCpiLevel(level);
}

void CSensorDlg::SelectCpiLevel(int level) {
    CollectCpiFields();
    CheckOnlyLevel(level);
    Session().pendingSettings.activeCpiLevel = static_cast<uint8_t>(level);
    StoreLevelCount();
    StoreLevel(level);
    WriteActiveLevel();
}

// The level goes to the mouse at once. It carries the mouse's own lift-off,
// angle-snapping, LED and tuning values and the mouse's other levels, so the
// only unapplied edits it sends are the chosen level and what no other page
// keeps apart (the polling rate among them).
void CSensorDlg::WriteActiveLevel() {
    host_.WritePendingSettings([this] { ExchangeLevelFields(Session()); });
}

void CSensorDlg::CheckOnlyLevel(int level) {
    for (int other = 0; other < kCpiLevelCount; ++other) {
        rows_[other].radio->setChecked(other == level);
    }
}

void CSensorDlg::OnDeviceEvent(uint8_t code, uint8_t value) {
    if (code == kEventLevelChanged) {
        OnDeviceLevelChanged(value);
    } else if (code == kEventReportRateChanged) {
        OnDevicePollingRateChanged(value);
    }
}

void CSensorDlg::OnDeviceLevelChanged(uint8_t level) {
    Session().pendingSettings.activeCpiLevel = level;
    Session().deviceSettings.activeCpiLevel = level;
    // Level 1 also stands for any level the page has no row for.
    CheckOnlyLevel(level < kCpiLevelCount ? level : kActiveLevelFallback);
}

// ---------------------------------------------------------------- rate, LOD, switches

void CSensorDlg::OnPollingRateChosen(int index) {
    Session().pendingSettings.pollingRateCode = PollingRateCodeForIndex(index);
    RefreshApplyState();
}

void CSensorDlg::OnLiftOffChosen(int index) {
    Session().pendingSettings.liftOffDistance = LiftOffValueForIndex(glassLiftOff_, index);
    RefreshApplyState();
}

void CSensorDlg::OnAngleSnappingClicked() {
    Session().pendingSettings.angleSnapping = SwitchByte(angleSnappingCheck_->isChecked());
    RefreshApplyState();
}

// Ticked means the LED is off on lift-off, which the mouse stores as 0.
void CSensorDlg::OnLiftOffLedClicked() {
    Session().pendingSettings.liftOffLed = SwitchByte(!liftOffLedCheck_->isChecked());
    RefreshApplyState();
}

void CSensorDlg::FillLiftOffList(bool glass) {
    glassLiftOff_ = glass;
    FillList(liftOffList_, LiftOffChoices(glass));
}

void CSensorDlg::OnDevicePollingRateChanged(uint8_t code) {
    const std::optional<int> index = PollingRateIndexForCode(code);
    if (!index) {
        return;
    }
    pollingRateList_->setCurrentIndex(*index);
    Session().pendingSettings.pollingRateCode = code;
    Session().deviceSettings.pollingRateCode = code;
}

// ---------------------------------------------------------------- page operations

void CSensorDlg::LoadFromSettings() {
    const SettingsRecord& settings = Session().pendingSettings;
    const bool glass = settings.glassMode == 1;
    liftOffLedCheck_->setChecked(settings.liftOffLed != 1);
    FillLiftOffList(glass);
    liftOffList_->setCurrentIndex(LiftOffIndexToShow(glass, settings.liftOffDistance));
    angleSnappingCheck_->setChecked(settings.angleSnapping == 1);
    const int count = settings.cpiLevelCount;
    cpiLevelsList_->setCurrentIndex(count >= 1 && count <= 3 ? count - 1 : kLevelCountItems - 1);
    pollingRateList_->setCurrentIndex(PollingRateIndexToShow(settings.pollingRateCode));
    // Glass mode runs at 125 Hz; the record's code is shown as that but kept.
    if (glass) {
        pollingRateList_->setCurrentIndex(kGlassPollingRateIndex);
    }
    pollingRateList_->setEnabled(!glass);

    xySettingsCheck_->setChecked(settings.cpiLevels[0].separateXY != 0);
    for (int level = 0; level < kCpiLevelCount; ++level) {
        SetAxis(level, kAxisX, NormalizeLevelCpi(settings.cpiLevels[level].x));
        SetAxis(level, kAxisY, NormalizeLevelCpi(settings.cpiLevels[level].y));
    }
    ShowCpiLevels(settings.cpiLevelCount, settings.activeCpiLevel);
    RewriteCpiFields();
}

void CSensorDlg::StoreToSettings() {
    CollectCpiFields();
    Session().pendingSettings.liftOffDistance =
        LiftOffValueForIndex(glassLiftOff_, liftOffList_->currentIndex());
    Session().pendingSettings.angleSnapping = SwitchByte(angleSnappingCheck_->isChecked());
    Session().pendingSettings.liftOffLed = SwitchByte(!liftOffLedCheck_->isChecked());
    StoreLevelCount();
    for (int level = 0; level < kCpiLevelCount; ++level) {
        StoreLevel(level);
    }
    // The highest checked level wins; none checked keeps the record's.
    for (int level = 0; level < kCpiLevelCount; ++level) {
        if (rows_[level].radio->isChecked()) {
            Session().pendingSettings.activeCpiLevel = static_cast<uint8_t>(level);
        }
    }
}

void CSensorDlg::SetDeviceAvailable(bool connected) {
    for (const CpiRow& row : rows_) {
        row.radio->setChecked(false);
        row.radio->setEnabled(connected);
    }
    liftOffList_->setEnabled(connected);
    cpiLevelsList_->setEnabled(connected);
    angleSnappingCheck_->setEnabled(connected);
    liftOffLedCheck_->setEnabled(connected);
    // A list that glass mode disabled stays so until settings are loaded.
    if (pollingRateList_->isEnabledTo(this)) {
        pollingRateList_->setEnabled(connected);
    }
    xySettingsCheck_->setEnabled(connected);
    for (const CpiRow& row : rows_) {
        for (int axis = 0; axis < 2; ++axis) {
            row.sliders[axis]->setEnabled(connected);
            row.fields[axis]->setEnabled(connected);
        }
    }
    RewriteCpiFields();
}
