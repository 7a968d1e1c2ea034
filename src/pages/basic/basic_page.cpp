#include "pages/basic/basic_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>
#include <span>

#include "device/event_listener.h"
#include "pages/basic/cpi_check_dialog.h"
#include "pages/basic/cpi_level_rows.h"
#include "pages/basic/report_rate_view.h"
#include "pages/settings_bits.h"
#include "settings/sensor_choices.h"
#include "ui/colour_swatch.h"

namespace {

constexpr int kLevelCountItems = 4;

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

// ---------------------------------------------------------------- layout

void CSensorDlg::BuildLayout() {
    // Two lines of settings on top, the four CPI rows framed below them.
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(BuildSettingsLines());
    layout->addSpacing(6);
    cpiRows_ = new CpiLevelRows(Session(), this);
    layout->addWidget(cpiRows_);
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
    cpiCheckButton_ = new QPushButton("CPI c&heck…", this);
    cpiCheckButton_->setObjectName("cpiCheckButton");
    cpiCheckButton_->setToolTip("Measure the CPI the sensor really has, along a ruler");

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
    grid->addWidget(cpiCheckButton_, 1, 5, Qt::AlignLeft);
    // The measured rate beside the set one.
    meter_ = new ReportRateView(Session(), this);
    grid->addWidget(meter_, 2, 0, 1, 6);
    grid->setColumnMinimumWidth(2, 24);
    grid->setColumnStretch(5, 1);
    return grid;
}

// ---------------------------------------------------------------- bindings

void CSensorDlg::ConnectSignals() {
    connect(cpiLevelsList_, &QComboBox::activated, this, &CSensorDlg::OnCpiLevelCountChosen);
    connect(xySettingsCheck_, &QCheckBox::clicked, this, &CSensorDlg::OnXySettingsClicked);
    connect(pollingRateList_, &QComboBox::activated, this, &CSensorDlg::OnPollingRateChosen);
    connect(liftOffList_, &QComboBox::activated, this, &CSensorDlg::OnLiftOffChosen);
    connect(angleSnappingCheck_, &QCheckBox::clicked, this, &CSensorDlg::OnAngleSnappingClicked);
    connect(liftOffLedCheck_, &QCheckBox::clicked, this, &CSensorDlg::OnLiftOffLedClicked);
    connect(cpiRows_, &CpiLevelRows::Edited, this, [this] { RefreshApplyState(); });
    connect(cpiRows_, &CpiLevelRows::LevelChosen, this, &CSensorDlg::SelectCpiLevel);
    connect(cpiCheckButton_, &QPushButton::clicked, this, &CSensorDlg::OpenCpiCheck);
}

void CSensorDlg::InitialiseState() {
    cpiLevelsList_->setCurrentIndex(kLevelCountItems - 1);
    pollingRateList_->setCurrentIndex(static_cast<int>(PollingRateChoices().size()) - 1);
    FillLiftOffList(false);
    liftOffList_->setCurrentIndex(LiftOffIndexToShow(false, 3));
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
    cpiRows_->CommitFocusedField();
    cpiRows_->RewriteFields();
}

// ---------------------------------------------------------------- CPI levels

void CSensorDlg::OnXySettingsClicked() {
    cpiRows_->SetLinked(!xySettingsCheck_->isChecked());
    if (xySettingsCheck_->isChecked()) {
        return;
    }
    cpiRows_->CopyXToY();
    RefreshApplyState();
}

void CSensorDlg::OnCpiLevelCountChosen(int index) {
    const int count = index + 1;
    cpiRows_->ShowLevels(count, Session().pendingSettings.activeCpiLevel);
    Session().pendingSettings.cpiLevelCount = static_cast<uint8_t>(count);
    RefreshApplyState();
}

void CSensorDlg::StoreLevelCount() {
    const int item = cpiLevelsList_->currentIndex();
    if (item >= 0) {
        Session().pendingSettings.cpiLevelCount = static_cast<uint8_t>(item + 1);
    }
}

// The level goes to the mouse at once, with the level count and the level's
// CPI as shown; the window sends only that choice, so every other edit still
// waits for APPLY.
void CSensorDlg::SelectCpiLevel(int level) {
    cpiRows_->CollectFields();
    cpiRows_->CheckOnlyLevel(level);
    Session().pendingSettings.activeCpiLevel = static_cast<uint8_t>(level);
    StoreLevelCount();
    cpiRows_->StoreLevel(level);
    host_.WriteLevelChoice();
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
    cpiRows_->CheckOnlyLevel(level);
}

void CSensorDlg::OpenCpiCheck() {
    CpiCheckDialog dialog(Session(), this);
    // Modal to the main window only: with --simulate, the simulated mouse's
    // window, where its strokes are made, stays usable.
    dialog.setWindowModality(Qt::WindowModal);
    dialog.exec();
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
    cpiRows_->SetLinked(!xySettingsCheck_->isChecked());
    cpiRows_->Load(settings);
    cpiRows_->ShowLevels(settings.cpiLevelCount, settings.activeCpiLevel);
}

void CSensorDlg::StoreToSettings() {
    cpiRows_->CollectFields();
    SettingsRecord& pending = Session().pendingSettings;
    pending.liftOffDistance = LiftOffValueForIndex(glassLiftOff_, liftOffList_->currentIndex());
    pending.angleSnapping = SwitchByte(angleSnappingCheck_->isChecked());
    pending.liftOffLed = SwitchByte(!liftOffLedCheck_->isChecked());
    StoreLevelCount();
    for (int level = 0; level < kCpiLevelCount; ++level) {
        cpiRows_->StoreLevel(level);
    }
    // The highest checked level wins; none checked keeps the record's.
    if (const std::optional<int> level = cpiRows_->HighestCheckedLevel()) {
        pending.activeCpiLevel = static_cast<uint8_t>(*level);
    }
}

void CSensorDlg::SetDeviceAvailable(bool connected) {
    meter_->SetDeviceAvailable(connected);
    cpiRows_->SetAvailable(connected);
    liftOffList_->setEnabled(connected);
    cpiLevelsList_->setEnabled(connected);
    angleSnappingCheck_->setEnabled(connected);
    liftOffLedCheck_->setEnabled(connected);
    // A list that glass mode disabled stays so until settings are loaded.
    if (pollingRateList_->isEnabledTo(this)) {
        pollingRateList_->setEnabled(connected);
    }
    xySettingsCheck_->setEnabled(connected);
    cpiCheckButton_->setEnabled(connected);
}
