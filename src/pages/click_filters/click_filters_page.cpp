#include "pages/click_filters/click_filters_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>

#include "pages/click_filters/wrap_check_box.h"
#include "pages/settings_bits.h"
#include "ui/accessible_slider.h"
#include "ui/digits_only.h"
#include "ui/tab_order.h"

namespace {

constexpr std::array<const char*, CDlgDeb::kFilterSlots> kRowLabels{
    "Left Button Multiclick Filter",   "Right Button Multiclick Filter",
    "Middle Button Multiclick Filter", "Forward Button Multiclick Filter",
    "Back Button Multiclick Filter",
};

// The button names of the rows, for the names of their controls.
constexpr std::array<const char*, CDlgDeb::kSwitchSlots> kSwitchButtonNames{"Left Button",
                                                                            "Right Button"};

constexpr const char* kAcknowledgementText =
    "I understand that the Multiclick Filter is not a traditional debounce slider, lower values "
    "don't affect click latency.";

// The fields take digits only; a long run of them still reads as the top level.
int ReadLevel(const QString& digits) {
    int level = 0;
    for (const QChar digit : digits) {
        level = std::min(CDlgDeb::kFilterLevelMax, level * 10 + digit.digitValue());
    }
    return level;
}

QString Indexed(const char* name, int index) {
    return QString("%1%2").arg(name).arg(index);
}

}  // namespace

CDlgDeb::CDlgDeb(PageHost& host, QWidget* parent) : SettingsPage(host, parent) {
    BuildControls();
    BuildLayout();
    NameControls();
    SetTabOrder();
    ConnectSignals();

    for (QSlider* slider : filterSliders_) {
        slider->setRange(0, kFilterLevelMax);
        slider->setValue(kFilterLevelDefault);
    }
    for (QComboBox* list : switchModeLists_) {
        for (const SwitchMode& mode : SwitchModes()) {
            list->addItem(mode.text);
        }
        list->setCurrentIndex(kSwitchModeOff);
    }
    slamclickFilterCheck_->setChecked(true);
}

void CDlgDeb::BuildControls() {
    slamclickFilterCheck_ = new QCheckBox("Slamclick Filter", this);
    slamclickFilterCheck_->setObjectName("slamclickFilterCheck");

    for (int slot = 0; slot < kFilterSlots; ++slot) {
        filterLabels_[slot] = new QLabel(kRowLabels[slot], this);
        filterLabels_[slot]->setObjectName(Indexed("filterLabel", slot));
        filterSliders_[slot] = new QSlider(Qt::Horizontal, this);
        filterSliders_[slot]->setObjectName(Indexed("filterSlider", slot));
        filterSliders_[slot]->setTickPosition(QSlider::NoTicks);
        filterSliders_[slot]->setMinimumWidth(120);
        filterFields_[slot] = new QLineEdit(this);
        filterFields_[slot]->setObjectName(Indexed("filterField", slot));
        SetDigitsOnly(filterFields_[slot]);
        filterFields_[slot]->setFixedWidth(48);
    }
    for (int slot = 0; slot < kSwitchSlots; ++slot) {
        switchModeLabels_[slot] = new QLabel("SPDT:", this);
        switchModeLabels_[slot]->setObjectName(Indexed("switchModeLabel", slot));
        switchModeLists_[slot] = new QComboBox(this);
        switchModeLists_[slot]->setObjectName(Indexed("switchModeList", slot));
    }

    multiclickAcknowledgeCheck_ = new WrapCheckBox(kAcknowledgementText, this);
    multiclickAcknowledgeCheck_->setObjectName("multiclickAcknowledgeCheck");
}

void CDlgDeb::BuildLayout() {
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(14);
    grid->addWidget(slamclickFilterCheck_, 0, 0, 1, 5);
    for (int slot = 0; slot < kFilterSlots; ++slot) {
        const int row = slot + 1;
        grid->addWidget(filterLabels_[slot], row, 0);
        grid->addWidget(filterSliders_[slot], row, 1);
        grid->addWidget(filterFields_[slot], row, 2);
    }
    for (int slot = 0; slot < kSwitchSlots; ++slot) {
        grid->addWidget(switchModeLabels_[slot], slot + 1, 3);
        grid->addWidget(switchModeLists_[slot], slot + 1, 4);
    }
    grid->setColumnStretch(1, 1);

    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(24, 24, 24, 24);
    page->addLayout(grid);
    page->addSpacing(12);
    page->addWidget(multiclickAcknowledgeCheck_);
    page->addStretch();
}

// A row's label names its track bar; the field beside it and the switch-mode
// list get the row's name too, as "SPDT:" alone does not say which button.
// Lists are announced by their labels on Linux, so each "SPDT:" label carries
// the full name for the screen reader while it shows the short one.
void CDlgDeb::NameControls() {
    for (int slot = 0; slot < kFilterSlots; ++slot) {
        filterLabels_[slot]->setBuddy(filterSliders_[slot]);
        filterFields_[slot]->setAccessibleName(QString(kRowLabels[slot]) + " level");
        ReportSliderPosition(filterSliders_[slot]);
    }
    for (int slot = 0; slot < kSwitchSlots; ++slot) {
        const QString name = QString(kSwitchButtonNames[slot]) + " SPDT";
        switchModeLabels_[slot]->setBuddy(switchModeLists_[slot]);
        switchModeLabels_[slot]->setAccessibleName(name);
        switchModeLists_[slot]->setAccessibleName(name);
    }
}

// Row by row: each switch-mode list right after its own row's field.
void CDlgDeb::SetTabOrder() {
    std::vector<QWidget*> order{slamclickFilterCheck_};
    for (int slot = 0; slot < kFilterSlots; ++slot) {
        order.push_back(filterSliders_[slot]);
        order.push_back(filterFields_[slot]);
        if (slot < kSwitchSlots) {
            order.push_back(switchModeLists_[slot]);
        }
    }
    order.push_back(multiclickAcknowledgeCheck_);
    SetTabOrderChain(order);
}

// Only user actions reach the handlers: the page's own changes to the
// controls raise none of these signals.
void CDlgDeb::ConnectSignals() {
    for (int slot = 0; slot < kSwitchSlots; ++slot) {
        connect(switchModeLists_[slot], &QComboBox::activated, this,
                [this, slot] { OnSwitchModeChanged(slot); });
    }
    connect(slamclickFilterCheck_, &QCheckBox::clicked, this, &CDlgDeb::OnSlamclickClicked);
    connect(multiclickAcknowledgeCheck_, &QCheckBox::clicked, this, &CDlgDeb::OnAcknowledgeClicked);
    for (int slot = 0; slot < kFilterSlots; ++slot) {
        connect(filterFields_[slot], &QLineEdit::textEdited, this,
                [this, slot](const QString& text) { OnFilterEdited(slot, text); });
        connect(filterSliders_[slot], &QSlider::actionTriggered, this,
                [this, slot] { OnFilterSliderAction(slot); });
    }
}

// A list with nothing selected (index -1) counts as OFF.
bool CDlgDeb::SwitchModeOff(int slot) const {
    return slot >= kSwitchSlots || switchModeLists_[slot]->currentIndex() <= kSwitchModeOff;
}

uint8_t CDlgDeb::FilterByteOf(int slot) const {
    if (!SwitchModeOff(slot)) {
        return SwitchModes()[switchModeLists_[slot]->currentIndex()].filterByte;
    }
    return static_cast<uint8_t>(filterSliders_[slot]->value());
}

void CDlgDeb::ShowLevel(int slot, int level) {
    filterSliders_[slot]->setValue(level);
    filterFields_[slot]->setText(QString::number(level));
}

void CDlgDeb::EnableFilterControls(bool enable) {
    for (int slot = 0; slot < kFilterSlots; ++slot) {
        const bool levelEnabled = enable && SwitchModeOff(slot);
        filterSliders_[slot]->setEnabled(levelEnabled);
        filterFields_[slot]->setEnabled(levelEnabled);
    }
    for (QComboBox* list : switchModeLists_) {
        list->setEnabled(enable);
    }
}

void CDlgDeb::SetDeviceAvailable(bool connected) {
    slamclickFilterCheck_->setEnabled(connected);
    multiclickAcknowledgeCheck_->setEnabled(connected);
    EnableFilterControls(connected && multiclickAcknowledgeCheck_->isChecked());
}

void CDlgDeb::OnSettingsWritten() {
    if (Session().deviceSettings.multiclickAcknowledged == 1) {
        HideAcknowledgement();
    }
}

void CDlgDeb::HideAcknowledgement() {
    multiclickAcknowledgeCheck_->hide();
}

void CDlgDeb::LoadFromSettings() {
    const SettingsRecord& record = Session().pendingSettings;
    slamclickFilterCheck_->setChecked(record.featureFlags & kSlamclickFilterFlag);

    const bool acknowledged = record.multiclickAcknowledged == 1;
    multiclickAcknowledgeCheck_->setChecked(acknowledged);
    multiclickAcknowledgeCheck_->setVisible(!acknowledged);

    for (int slot = 0; slot < kFilterSlots; ++slot) {
        const uint8_t filterByte = record.buttons[slot].filter;
        int level = std::min<int>(filterByte, kFilterLevelMax);
        if (slot < kSwitchSlots) {
            const int mode = SwitchModeIndexOf(filterByte);
            switchModeLists_[slot]->setCurrentIndex(mode);
            if (mode != kSwitchModeOff) {
                level = kFilterLevelDefault;
            }
        }
        ShowLevel(slot, level);
    }
    EnableFilterControls(acknowledged);
}

void CDlgDeb::StoreToSettings() {
    SettingsRecord& record = Session().pendingSettings;
    SetFlag(record.featureFlags, kSlamclickFilterFlag, slamclickFilterCheck_->isChecked());
    record.multiclickAcknowledged = SwitchByte(multiclickAcknowledgeCheck_->isChecked());
    for (int slot = 0; slot < kFilterSlots; ++slot) {
        record.buttons[slot].filter = FilterByteOf(slot);
    }
}

void CDlgDeb::OnSwitchModeChanged(int slot) {
    if (!SwitchModeOff(slot)) {
        ShowLevel(slot, kFilterLevelDefault);
    }
    Session().pendingSettings.buttons[slot].filter = FilterByteOf(slot);
    EnableFilterControls(multiclickAcknowledgeCheck_->isChecked());
    RefreshApplyState();
}

void CDlgDeb::OnSlamclickClicked() {
    SetFlag(Session().pendingSettings.featureFlags, kSlamclickFilterFlag,
            slamclickFilterCheck_->isChecked());
    RefreshApplyState();
}

// The box stays visible: only a load or a successful write hides it.
void CDlgDeb::OnAcknowledgeClicked() {
    const bool ticked = multiclickAcknowledgeCheck_->isChecked();
    Session().pendingSettings.multiclickAcknowledged = SwitchByte(ticked);
    EnableFilterControls(ticked);
    RefreshApplyState();
}

void CDlgDeb::OnFilterEdited(int slot, const QString& text) {
    // An emptied field keeps the level it had.
    if (text.isEmpty()) {
        return;
    }
    const int level = ReadLevel(text);
    ShowLevel(slot, level);
    Session().pendingSettings.buttons[slot].filter = static_cast<uint8_t>(level);
    RefreshApplyState();
}

// actionTriggered comes before the slider takes its new value, so the
// position is the one to read.
void CDlgDeb::OnFilterSliderAction(int slot) {
    const int level = filterSliders_[slot]->sliderPosition();
    Session().pendingSettings.buttons[slot].filter = static_cast<uint8_t>(level);
    filterFields_[slot]->setText(QString::number(level));
    RefreshApplyState();
}
