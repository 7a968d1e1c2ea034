#include "pages/advanced_sensor/advanced_sensor_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QVBoxLayout>
#include <array>

#include "pages/advanced_sensor/sensor_angle_text.h"
#include "pages/settings_bits.h"
#include "settings/sensor_choices.h"
#include "ui/accessible_slider.h"
#include "ui/message_box.h"

namespace {

void FillTuningList(QComboBox* list, std::span<const SensorChoice> entries) {
    list->clear();
    for (const SensorChoice& entry : entries) {
        list->addItem(entry.text);
    }
}

QCheckBox* NewCheckBox(const char* text, const char* name, QWidget* parent) {
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(name);
    return box;
}

QLabel* NewLabel(const char* text, const char* name, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

// The two hidden boxes keep their place, so the visible controls sit where
// they always have.
void HideKeepingPlace(QWidget* widget) {
    QSizePolicy policy = widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(policy);
    widget->hide();
}

}  // namespace

CSupportDlg::CSupportDlg(PageHost& host, QWidget* parent) : SettingsPage(host, parent) {
    BuildControls();
    BuildLayout();
    NameControls();
    ConnectSignals();

    ShowTransfer();
    FillTuningList(downshiftTuningList_, CpiDownshiftChoices());
    downshiftTuningList_->setCurrentIndex(kCpiDownshiftInitialIndex);
    smoothingTuningList_->setCurrentIndex(kSmoothingInitialIndex);
    HideKeepingPlace(motionJitterFilterCheck_);
    HideKeepingPlace(sensorGlassModeCheck_);
    sensorAngleSlider_->setRange(kAngleMin, kAngleMax);
    sensorAngleSlider_->setValue(0);
}

void CSupportDlg::BuildControls() {
    downshiftTuningLabel_ = NewLabel("CPI Downshift Tuning", "downshiftTuningLabel", this);
    downshiftTuningList_ = new QComboBox(this);
    downshiftTuningList_->setObjectName("downshiftTuningList");

    smoothingTuningLabel_ = NewLabel("Smoothing Tuning", "smoothingTuningLabel", this);
    smoothingTuningList_ = new QComboBox(this);
    smoothingTuningList_->setObjectName("smoothingTuningList");
    FillTuningList(smoothingTuningList_, SmoothingChoices());

    motionJitterFilterCheck_ = NewCheckBox("Motion Jitter Filter", "motionJitterFilterCheck", this);
    motionSyncCheck_ = NewCheckBox("Motion Sync", "motionSyncCheck", this);
    forceMaxFpsCheck_ = NewCheckBox("Force max Sensor fps", "forceMaxFpsCheck", this);
    sensorGlassModeCheck_ = NewCheckBox("Sensor Glass Mode", "sensorGlassModeCheck", this);

    sensorAngleLabel_ = NewLabel("Sensor Angle Tuning", "sensorAngleLabel", this);
    sensorAngleSlider_ = new QSlider(Qt::Horizontal, this);
    sensorAngleSlider_->setObjectName("sensorAngleSlider");
    sensorAngleSlider_->setTickPosition(QSlider::NoTicks);
    sensorAngleField_ = new QLineEdit(this);
    sensorAngleField_->setObjectName("sensorAngleField");
    sensorAngleField_->setFixedWidth(64);
}

void CSupportDlg::BuildLayout() {
    for (QComboBox* list : {downshiftTuningList_, smoothingTuningList_}) {
        list->setMinimumWidth(200);
        list->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(14);
    grid->addWidget(downshiftTuningLabel_, 0, 0);
    grid->addWidget(downshiftTuningList_, 0, 1, Qt::AlignLeft);
    grid->addWidget(smoothingTuningLabel_, 1, 0);
    grid->addWidget(smoothingTuningList_, 1, 1, Qt::AlignLeft);
    grid->addWidget(motionJitterFilterCheck_, 1, 2);

    auto* switches = new QHBoxLayout;
    switches->setSpacing(24);
    switches->addWidget(motionSyncCheck_);
    switches->addWidget(forceMaxFpsCheck_);
    switches->addWidget(sensorGlassModeCheck_);
    switches->addStretch();
    grid->addLayout(switches, 2, 0, 1, 3);

    grid->addWidget(sensorAngleLabel_, 3, 0);
    grid->addWidget(sensorAngleSlider_, 3, 1);
    grid->addWidget(sensorAngleField_, 3, 2);
    grid->setColumnStretch(1, 1);

    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(24, 24, 24, 24);
    page->addLayout(grid);
    page->addStretch();
}

// Each label names the control beside it; the angle field stands beside the
// track bar that its label already names. The Tab order is the creation order,
// which reads row by row.
void CSupportDlg::NameControls() {
    downshiftTuningLabel_->setBuddy(downshiftTuningList_);
    smoothingTuningLabel_->setBuddy(smoothingTuningList_);
    sensorAngleLabel_->setBuddy(sensorAngleSlider_);
    sensorAngleField_->setAccessibleName(sensorAngleLabel_->text());
    ReportSliderPosition(sensorAngleSlider_);
}

// Only user actions reach the handlers: the page's own changes to the
// controls raise none of these signals.
void CSupportDlg::ConnectSignals() {
    connect(motionSyncCheck_, &QCheckBox::clicked, this, &CSupportDlg::OnMotionSyncClicked);
    connect(motionJitterFilterCheck_, &QCheckBox::clicked, this,
            &CSupportDlg::OnMotionJitterFilterClicked);
    connect(forceMaxFpsCheck_, &QCheckBox::clicked, this, &CSupportDlg::OnForceMaxFpsClicked);
    connect(sensorAngleField_, &QLineEdit::textEdited, this, &CSupportDlg::OnAngleEdited);
    connect(sensorAngleSlider_, &QSlider::actionTriggered, this, &CSupportDlg::OnAngleSliderAction);
    connect(downshiftTuningList_, &QComboBox::activated, this, &CSupportDlg::OnTuningChanged);
    connect(smoothingTuningList_, &QComboBox::activated, this, &CSupportDlg::OnTuningChanged);
    // "Sensor Glass Mode" is bound to nothing: it has no effect.
}

void CSupportDlg::ShowTransfer() {
    motionSyncCheck_->setChecked(motionSyncTicked);
    const QString text = QString::number(angleValue);
    if (sensorAngleField_->text() != text) {
        sensorAngleField_->setText(text);
    }
}

bool CSupportDlg::ReadTransfer() {
    motionSyncTicked = motionSyncCheck_->isChecked();
    const std::optional<int> angle =
        ReadWholeInteger(sensorAngleField_->text(), kAngleMin, kAngleMax);
    if (!angle) {
        ShowMessage(this, "Enter an integer.");
        sensorAngleField_->setFocus();
        sensorAngleField_->selectAll();
        return false;
    }
    angleValue = *angle;
    return true;
}

uint8_t CSupportDlg::TuningFrom(uint8_t oldTuning) const {
    return SensorTuningFor(oldTuning, downshiftTuningList_->currentIndex(),
                           smoothingTuningList_->currentIndex());
}

void CSupportDlg::LoadFromSettings() {
    const SettingsRecord& record = Session().pendingSettings;
    motionSyncCheck_->setChecked(record.motionSync == 1);
    motionSyncTicked = motionSyncCheck_->isChecked();
    motionJitterFilterCheck_->setChecked(record.featureFlags & kMotionJitterFilterFlag);
    forceMaxFpsCheck_->setChecked(record.forceMaxFps == 1);

    // -128 lies outside the track bar's range and shows as 0.
    angleValue = record.sensorAngle == -128 ? 0 : record.sensorAngle;
    sensorAngleSlider_->setValue(angleValue);

    smoothingTuningList_->setCurrentIndex(SmoothingIndexToShow(record.sensorTuning));
    downshiftTuningList_->setCurrentIndex(CpiDownshiftIndexToShow(record.sensorTuning));
    ShowTransfer();
}

void CSupportDlg::StoreToSettings() {
    SettingsRecord& record = Session().pendingSettings;
    record.motionSync = SwitchByte(motionSyncCheck_->isChecked());
    SetFlag(record.featureFlags, kMotionJitterFilterFlag, motionJitterFilterCheck_->isChecked());
    record.forceMaxFps = SwitchByte(forceMaxFpsCheck_->isChecked());
    record.sensorAngle = static_cast<int8_t>(sensorAngleSlider_->value());
    record.sensorTuning = TuningFrom(record.sensorTuning);
}

void CSupportDlg::SetDeviceAvailable(bool connected) {
    QWidget* const controls[] = {
        motionSyncCheck_,  motionJitterFilterCheck_, forceMaxFpsCheck_,    sensorGlassModeCheck_,
        sensorAngleField_, sensorAngleSlider_,       downshiftTuningList_, smoothingTuningList_};
    for (QWidget* control : controls) {
        control->setEnabled(connected);
    }
}

void CSupportDlg::OnMotionSyncClicked() {
    // A bad angle text is reported but does not keep Motion Sync from switching.
    ReadTransfer();
    Session().pendingSettings.motionSync = SwitchByte(motionSyncTicked);
    RefreshApplyState();
}

void CSupportDlg::OnMotionJitterFilterClicked() {
    SetFlag(Session().pendingSettings.featureFlags, kMotionJitterFilterFlag,
            motionJitterFilterCheck_->isChecked());
    RefreshApplyState();
}

void CSupportDlg::OnForceMaxFpsClicked() {
    Session().pendingSettings.forceMaxFps = SwitchByte(forceMaxFpsCheck_->isChecked());
    RefreshApplyState();
}

void CSupportDlg::OnAngleEdited(const QString& text) {
    // Left alone so that a negative number can be typed.
    if (text.isEmpty() || text == "-") {
        return;
    }
    angleValue = ReadLeadingInteger(text, kAngleMin, kAngleMax);
    Session().pendingSettings.sensorAngle = static_cast<int8_t>(angleValue);
    sensorAngleSlider_->setValue(angleValue);
    ShowTransfer();
    RefreshApplyState();
}

// actionTriggered comes before the slider takes its new value, so the
// position is the one to read.
void CSupportDlg::OnAngleSliderAction() {
    angleValue = sensorAngleSlider_->sliderPosition();
    Session().pendingSettings.sensorAngle = static_cast<int8_t>(angleValue);
    ShowTransfer();
    RefreshApplyState();
}

void CSupportDlg::OnTuningChanged() {
    Session().pendingSettings.sensorTuning = TuningFrom(Session().pendingSettings.sensorTuning);
    RefreshApplyState();
}
