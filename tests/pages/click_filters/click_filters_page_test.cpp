#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QVBoxLayout>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "app/main_window.h"
#include "device/hid_transport.h"
#include "device/mouse_firmware.h"
#include "device/simulated/simulated_mouse.h"
#include "pages/click_filters/click_filters_page.h"
#include "settings/settings_image.h"
#include "support/layout_checks.h"
#include "support/message_recorder.h"
#include "support/page_input.h"
#include "support/sleep_recorder.h"
#include "support/test_session.h"

namespace {

constexpr int kSlots = CDlgDeb::kFilterSlots;
const char* const kAcknowledgementText =
    "I understand that the Multiclick Filter is not a traditional debounce slider, lower values "
    "don't affect click latency.";

SettingsRecord AcknowledgedRecord() {
    SettingsRecord record = DefaultRecord();
    record.multiclickAcknowledged = 1;
    return record;
}

// Works on the page standalone or inside a main window.
class ButtonsPageAccess {
public:
    explicit ButtonsPageAccess(CDlgDeb* page) : page_(page) {}

    template <typename T>
    T* Control(const QString& name) const {
        T* control = page_->findChild<T*>(name);
        EXPECT_NE(control, nullptr) << name.toStdString();
        return control;
    }
    QSlider* Slider(int slot) const {
        return Control<QSlider>(QString("filterSlider%1").arg(slot));
    }
    QLineEdit* Field(int slot) const {
        return Control<QLineEdit>(QString("filterField%1").arg(slot));
    }
    QComboBox* ModeList(int slot) const {
        return Control<QComboBox>(QString("switchModeList%1").arg(slot));
    }
    QCheckBox* Acknowledge() const { return Control<QCheckBox>("multiclickAcknowledgeCheck"); }
    QCheckBox* Slamclick() const { return Control<QCheckBox>("slamclickFilterCheck"); }

private:
    CDlgDeb* page_;
};

class DlgDebTest : public ::testing::Test, protected TestPageHost {
protected:
    void SetUp() override { Load(DefaultRecord()); }

    void Load(const SettingsRecord& record) {
        pendingSettings = record;
        deviceSettings = record;
        page.LoadFromSettings();
    }

    CDlgDeb page{*this};
    ButtonsPageAccess ui{&page};
};

TEST(DlgDebInitialTest, ShowsInitialStateBeforeAnyLoad) {
    TestPageHost host;
    CDlgDeb page(host);
    ButtonsPageAccess ui(&page);
    const QStringList rowLabels{"Left Button Multiclick Filter", "Right Button Multiclick Filter",
                                "Middle Button Multiclick Filter",
                                "Forward Button Multiclick Filter",
                                "Back Button Multiclick Filter"};
    for (int slot = 0; slot < kSlots; ++slot) {
        SCOPED_TRACE(slot);
        EXPECT_EQ(ui.Control<QLabel>(QString("filterLabel%1").arg(slot))->text(), rowLabels[slot]);
        EXPECT_EQ(ui.Slider(slot)->minimum(), 0);
        EXPECT_EQ(ui.Slider(slot)->maximum(), 25);
        EXPECT_EQ(ui.Slider(slot)->value(), 8);
        EXPECT_EQ(ui.Slider(slot)->orientation(), Qt::Horizontal);
        EXPECT_EQ(ui.Slider(slot)->tickPosition(), QSlider::NoTicks);
        EXPECT_EQ(ui.Field(slot)->text(), "");
    }
    for (int slot = 0; slot < CDlgDeb::kSwitchSlots; ++slot) {
        SCOPED_TRACE(slot);
        QComboBox* list = ui.ModeList(slot);
        ASSERT_EQ(list->count(), 3);
        EXPECT_EQ(list->itemText(0), "OFF");
        EXPECT_EQ(list->itemText(1), "HV Speed Mode");
        EXPECT_EQ(list->itemText(2), "HV Safe Mode");
        EXPECT_EQ(list->currentText(), "OFF");
        EXPECT_EQ(ui.Control<QLabel>(QString("switchModeLabel%1").arg(slot))->text(), "SPDT:");
    }
    EXPECT_EQ(page.findChildren<QComboBox*>().size(), 2) << "only Left and Right have a mode";
    EXPECT_TRUE(ui.Slamclick()->isChecked());
    EXPECT_EQ(ui.Slamclick()->text(), "Slamclick Filter");
    EXPECT_FALSE(ui.Acknowledge()->isChecked());
    EXPECT_FALSE(ui.Acknowledge()->isHidden());
    EXPECT_EQ(ui.Acknowledge()->text(), kAcknowledgementText);
}

TEST_F(DlgDebTest, DefaultsLoadAsLevelEightNotAcknowledged) {
    for (int slot = 0; slot < kSlots; ++slot) {
        EXPECT_EQ(ui.Slider(slot)->value(), 8) << slot;
        EXPECT_EQ(ui.Field(slot)->text(), "8") << slot;
        EXPECT_FALSE(ui.Slider(slot)->isEnabled()) << slot;
        EXPECT_FALSE(ui.Field(slot)->isEnabled()) << slot;
    }
    EXPECT_TRUE(ui.Slamclick()->isChecked());
    EXPECT_FALSE(ui.Acknowledge()->isChecked());
}

struct FilterTextCase {
    const char* typed;
    int level;
    const char* shown;
};

void PrintTo(const FilterTextCase& c, std::ostream* os) {
    *os << '"' << c.typed << '"';
}

class DlgDebFilterTextTest : public DlgDebTest,
                             public ::testing::WithParamInterface<std::tuple<int, FilterTextCase>> {
};

TEST_P(DlgDebFilterTextTest, TypedLevelIsLimitedAndRewritten) {
    const auto [slot, c] = GetParam();
    Load(AcknowledgedRecord());

    TypeInto(ui.Field(slot), c.typed);

    EXPECT_EQ(ui.Field(slot)->text(), c.shown);
    EXPECT_EQ(ui.Slider(slot)->value(), c.level);
    EXPECT_EQ(pendingSettings.buttons[slot].filter, c.level);
    for (int other = 0; other < kSlots; ++other) {
        if (other != slot) {
            EXPECT_EQ(pendingSettings.buttons[other].filter, 8) << other;
        }
    }
    page.StoreToSettings();
    EXPECT_EQ(pendingSettings.buttons[slot].filter, c.level);
}

INSTANTIATE_TEST_SUITE_P(SlotsAndTexts, DlgDebFilterTextTest,
                         ::testing::Combine(::testing::Range(0, kSlots),
                                            ::testing::Values(FilterTextCase{"30", 25, "25"},
                                                              FilterTextCase{"007", 7, "7"},
                                                              FilterTextCase{"25", 25, "25"},
                                                              FilterTextCase{"0", 0, "0"},
                                                              // Only digits get into the field.
                                                              FilterTextCase{"-1a", 1, "1"})));

TEST_F(DlgDebTest, PastedLongNumberReadsAsTheTopLevel) {
    Load(AcknowledgedRecord());
    ui.Field(3)->selectAll();
    ui.Field(3)->insert("4294967297");  // as a paste does: one edit
    EXPECT_EQ(pendingSettings.buttons[3].filter, 25);
    EXPECT_EQ(ui.Slider(3)->value(), 25);
    EXPECT_EQ(ui.Field(3)->text(), "25");
}

TEST_F(DlgDebTest, EmptyingAFieldChangesNothing) {
    SettingsRecord record = AcknowledgedRecord();
    record.buttons[2].filter = 13;
    Load(record);

    ClearField(ui.Field(2));

    EXPECT_EQ(ui.Field(2)->text(), "");
    EXPECT_EQ(ui.Slider(2)->value(), 13);
    EXPECT_FALSE(SettingsDiffer(pendingSettings, record));
}

struct FilterKeyCase {
    Qt::Key key;
    int level;
};

void PrintTo(const FilterKeyCase& c, std::ostream* os) {
    *os << "key " << int(c.key);
}

class DlgDebFilterSliderTest
    : public DlgDebTest,
      public ::testing::WithParamInterface<std::tuple<int, FilterKeyCase>> {};

TEST_P(DlgDebFilterSliderTest, MovingTheSliderWritesFieldAndRecord) {
    const auto [slot, c] = GetParam();
    Load(AcknowledgedRecord());

    QTest::keyClick(ui.Slider(slot), c.key);

    EXPECT_EQ(ui.Slider(slot)->value(), c.level);
    EXPECT_EQ(ui.Field(slot)->text(), QString::number(c.level));
    EXPECT_EQ(pendingSettings.buttons[slot].filter, c.level);
}

INSTANTIATE_TEST_SUITE_P(SlotsAndKeys, DlgDebFilterSliderTest,
                         ::testing::Combine(::testing::Range(0, kSlots),
                                            ::testing::Values(FilterKeyCase{Qt::Key_Right, 9},
                                                              FilterKeyCase{Qt::Key_Left, 7},
                                                              FilterKeyCase{Qt::Key_Home, 0},
                                                              FilterKeyCase{Qt::Key_End, 25})));

TEST_F(DlgDebTest, DraggingTheSliderWritesEveryPositionOnTheWay) {
    Load(AcknowledgedRecord());
    QSlider* slider = ui.Slider(4);
    slider->setSliderDown(true);
    for (int position : {10, 17, 3}) {
        slider->setSliderPosition(position);  // what a drag of the thumb does
        EXPECT_EQ(ui.Field(4)->text(), QString::number(position));
        EXPECT_EQ(pendingSettings.buttons[4].filter, position);
    }
    slider->setSliderDown(false);
}

struct SwitchModeCase {
    int slot;
    const char* mode;
    uint8_t filterByte;
};

void PrintTo(const SwitchModeCase& c, std::ostream* os) {
    *os << "slot " << c.slot << ' ' << c.mode;
}

class DlgDebSwitchModeTest : public DlgDebTest,
                             public ::testing::WithParamInterface<SwitchModeCase> {};

TEST_P(DlgDebSwitchModeTest, ModeParksTheLevelAtEightAndOffBringsItBack) {
    const SwitchModeCase& c = GetParam();
    SettingsRecord record = AcknowledgedRecord();
    record.buttons[c.slot].filter = 3;
    Load(record);

    Choose(ui.ModeList(c.slot), c.mode);

    EXPECT_EQ(ui.Slider(c.slot)->value(), 8);
    EXPECT_EQ(ui.Field(c.slot)->text(), "8");
    EXPECT_FALSE(ui.Slider(c.slot)->isEnabled());
    EXPECT_FALSE(ui.Field(c.slot)->isEnabled());
    EXPECT_TRUE(ui.ModeList(c.slot)->isEnabled());
    EXPECT_EQ(pendingSettings.buttons[c.slot].filter, c.filterByte);
    const int otherSlot = 1 - c.slot;
    EXPECT_TRUE(ui.Slider(otherSlot)->isEnabled());
    EXPECT_EQ(pendingSettings.buttons[otherSlot].filter, 8);
    page.StoreToSettings();
    EXPECT_EQ(pendingSettings.buttons[c.slot].filter, c.filterByte);

    Choose(ui.ModeList(c.slot), "OFF");

    EXPECT_EQ(pendingSettings.buttons[c.slot].filter, 8);
    EXPECT_TRUE(ui.Slider(c.slot)->isEnabled());
    EXPECT_TRUE(ui.Field(c.slot)->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(LeftAndRight, DlgDebSwitchModeTest,
                         ::testing::Values(SwitchModeCase{0, "HV Speed Mode", 0xF1},
                                           SwitchModeCase{0, "HV Safe Mode", 0xF0},
                                           SwitchModeCase{1, "HV Speed Mode", 0xF1},
                                           SwitchModeCase{1, "HV Safe Mode", 0xF0}));

TEST_F(DlgDebTest, ModeListWithNothingSelectedStoresTheLevel) {
    SettingsRecord record = AcknowledgedRecord();
    record.buttons[0].filter = 3;
    Load(record);
    ui.ModeList(0)->setCurrentIndex(-1);

    page.StoreToSettings();

    EXPECT_EQ(pendingSettings.buttons[0].filter, 3);
}

struct FilterLoadCase {
    int slot;
    uint8_t stored;
    const char* mode;  // nullptr for slots without a switch mode
    int level;
    uint8_t storedBack;
};

void PrintTo(const FilterLoadCase& c, std::ostream* os) {
    *os << "slot " << c.slot << " byte " << int(c.stored);
}

class DlgDebFilterLoadTest : public DlgDebTest,
                             public ::testing::WithParamInterface<FilterLoadCase> {};

TEST_P(DlgDebFilterLoadTest, StoredByteShowsAsModeAndLevel) {
    const FilterLoadCase& c = GetParam();
    SettingsRecord record = DefaultRecord();  // not acknowledged: controls disabled
    record.buttons[c.slot].filter = c.stored;
    Load(record);

    if (c.mode) {
        EXPECT_EQ(ui.ModeList(c.slot)->currentText(), c.mode);
    }
    EXPECT_EQ(ui.Slider(c.slot)->value(), c.level);
    EXPECT_EQ(ui.Field(c.slot)->text(), QString::number(c.level));
    EXPECT_EQ(pendingSettings.buttons[c.slot].filter, c.stored) << "loading changes nothing";

    // APPLY stores the disabled controls as they show.
    page.StoreToSettings();
    EXPECT_EQ(pendingSettings.buttons[c.slot].filter, c.storedBack);
}

INSTANTIATE_TEST_SUITE_P(Bytes, DlgDebFilterLoadTest,
                         ::testing::Values(FilterLoadCase{0, 0xF0, "HV Safe Mode", 8, 0xF0},
                                           FilterLoadCase{0, 0xF1, "HV Speed Mode", 8, 0xF1},
                                           FilterLoadCase{1, 0xF0, "HV Safe Mode", 8, 0xF0},
                                           FilterLoadCase{1, 0xF1, "HV Speed Mode", 8, 0xF1},
                                           FilterLoadCase{0, 26, "OFF", 25, 25},
                                           FilterLoadCase{1, 0, "OFF", 0, 0},
                                           FilterLoadCase{1, 0xF2, "OFF", 25, 25},
                                           FilterLoadCase{2, 0xF0, nullptr, 25, 25},
                                           FilterLoadCase{2, 0xF1, nullptr, 25, 25},
                                           FilterLoadCase{3, 200, nullptr, 25, 25},
                                           FilterLoadCase{4, 13, nullptr, 13, 13},
                                           FilterLoadCase{4, 25, nullptr, 25, 25}));

TEST_F(DlgDebTest, ModeControlsDisableOnlyTheirOwnRowOnLoad) {
    SettingsRecord record = AcknowledgedRecord();
    record.buttons[0].filter = 0xF0;
    Load(record);
    EXPECT_FALSE(ui.Slider(0)->isEnabled());
    EXPECT_FALSE(ui.Field(0)->isEnabled());
    EXPECT_TRUE(ui.ModeList(0)->isEnabled());
    for (int slot = 1; slot < kSlots; ++slot) {
        EXPECT_TRUE(ui.Slider(slot)->isEnabled()) << slot;
        EXPECT_TRUE(ui.Field(slot)->isEnabled()) << slot;
    }
}

struct AcknowledgementLoadCase {
    uint8_t stored;
    bool acknowledged;
    uint8_t storedBack;
};

void PrintTo(const AcknowledgementLoadCase& c, std::ostream* os) {
    *os << "multiclickAcknowledged " << int(c.stored);
}

class DlgDebAcknowledgementLoadTest
    : public DlgDebTest,
      public ::testing::WithParamInterface<AcknowledgementLoadCase> {};

TEST_P(DlgDebAcknowledgementLoadTest, OnlyOneCountsAsAcknowledged) {
    const AcknowledgementLoadCase& c = GetParam();
    SettingsRecord record = DefaultRecord();
    record.multiclickAcknowledged = c.stored;
    Load(record);

    EXPECT_EQ(ui.Acknowledge()->isChecked(), c.acknowledged);
    EXPECT_EQ(ui.Acknowledge()->isHidden(), c.acknowledged);
    for (int slot = 0; slot < kSlots; ++slot) {
        EXPECT_EQ(ui.Slider(slot)->isEnabled(), c.acknowledged) << slot;
        EXPECT_EQ(ui.Field(slot)->isEnabled(), c.acknowledged) << slot;
    }
    for (int slot = 0; slot < CDlgDeb::kSwitchSlots; ++slot) {
        EXPECT_EQ(ui.ModeList(slot)->isEnabled(), c.acknowledged) << slot;
    }
    EXPECT_EQ(pendingSettings.multiclickAcknowledged, c.stored) << "loading changes nothing";
    page.StoreToSettings();
    EXPECT_EQ(pendingSettings.multiclickAcknowledged, c.storedBack);
}

INSTANTIATE_TEST_SUITE_P(Values, DlgDebAcknowledgementLoadTest,
                         ::testing::Values(AcknowledgementLoadCase{0, false, 0},
                                           AcknowledgementLoadCase{1, true, 1},
                                           AcknowledgementLoadCase{2, false, 0},
                                           AcknowledgementLoadCase{0xFF, false, 0}));

TEST_F(DlgDebTest, TickingTheAcknowledgementEnablesTheFiltersAndKeepsTheBoxVisible) {
    ui.Acknowledge()->click();
    EXPECT_EQ(pendingSettings.multiclickAcknowledged, 1);
    EXPECT_FALSE(ui.Acknowledge()->isHidden());
    for (int slot = 0; slot < kSlots; ++slot) {
        EXPECT_TRUE(ui.Slider(slot)->isEnabled()) << slot;
    }
    ui.Acknowledge()->click();
    EXPECT_EQ(pendingSettings.multiclickAcknowledged, 0);
    EXPECT_FALSE(ui.Slider(0)->isEnabled());
    EXPECT_FALSE(ui.ModeList(0)->isEnabled());
}

TEST_F(DlgDebTest, AcknowledgementClickedAnywhereOnItsWrappedText) {
    page.resize(700, 560);
    page.show();
    QCheckBox* box = ui.Acknowledge();
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->width() - 20, box->height() - 4));
    EXPECT_TRUE(box->isChecked());
    EXPECT_EQ(pendingSettings.multiclickAcknowledged, 1);
}

TEST_F(DlgDebTest, HiddenAcknowledgementComesBackOnlyThroughALoadFindingItUnset) {
    ui.Acknowledge()->click();
    page.HideAcknowledgement();
    EXPECT_TRUE(ui.Acknowledge()->isHidden());
    EXPECT_TRUE(ui.Slider(0)->isEnabled()) << "the filters stay enabled";

    Load(AcknowledgedRecord());
    EXPECT_TRUE(ui.Acknowledge()->isHidden());
    Load(DefaultRecord());
    EXPECT_FALSE(ui.Acknowledge()->isHidden());
    EXPECT_FALSE(ui.Acknowledge()->isChecked());
}

TEST_F(DlgDebTest, SlamclickClickSwitchesItsBitOnly) {
    SettingsRecord record = DefaultRecord();
    record.featureFlags = 0x31;
    Load(record);

    ui.Slamclick()->click();
    EXPECT_EQ(pendingSettings.featureFlags, 0x30);
    ui.Slamclick()->click();
    EXPECT_EQ(pendingSettings.featureFlags, 0x31);

    record.featureFlags = 0x30;
    Load(record);
    EXPECT_FALSE(ui.Slamclick()->isChecked());
    page.StoreToSettings();
    EXPECT_EQ(pendingSettings.featureFlags, 0x30);
}

TEST_F(DlgDebTest, StoreLeavesSlotsFiveToSevenAndOtherFieldsAlone) {
    SettingsRecord record = AcknowledgedRecord();
    for (int slot = 5; slot < kButtonSlotCount; ++slot) {
        record.buttons[slot].filter = static_cast<uint8_t>(100 + slot);
    }
    record.featureFlags = 0x91;
    Load(record);
    page.StoreToSettings();
    EXPECT_FALSE(SettingsDiffer(pendingSettings, record));
}

struct AvailabilityCase {
    const char* name;
    bool acknowledged;
    bool leftInMode;
};

void PrintTo(const AvailabilityCase& c, std::ostream* os) {
    *os << c.name;
}

class DlgDebAvailabilityTest : public DlgDebTest,
                               public ::testing::WithParamInterface<AvailabilityCase> {};

TEST_P(DlgDebAvailabilityTest, FalseDisablesEverythingAndTrueFollowsTheGate) {
    const AvailabilityCase& c = GetParam();
    SettingsRecord record = c.acknowledged ? AcknowledgedRecord() : DefaultRecord();
    record.buttons[0].filter = c.leftInMode ? 0xF1 : 8;
    Load(record);

    page.SetDeviceAvailable(false);
    EXPECT_FALSE(ui.Slamclick()->isEnabled());
    EXPECT_FALSE(ui.Acknowledge()->isEnabled());
    for (int slot = 0; slot < kSlots; ++slot) {
        EXPECT_FALSE(ui.Slider(slot)->isEnabled()) << slot;
        EXPECT_FALSE(ui.Field(slot)->isEnabled()) << slot;
    }
    for (int slot = 0; slot < CDlgDeb::kSwitchSlots; ++slot) {
        EXPECT_FALSE(ui.ModeList(slot)->isEnabled()) << slot;
    }

    page.SetDeviceAvailable(true);
    EXPECT_TRUE(ui.Slamclick()->isEnabled());
    EXPECT_TRUE(ui.Acknowledge()->isEnabled());
    for (int slot = 0; slot < kSlots; ++slot) {
        const bool levelEnabled = c.acknowledged && !(slot == 0 && c.leftInMode);
        EXPECT_EQ(ui.Slider(slot)->isEnabled(), levelEnabled) << slot;
        EXPECT_EQ(ui.Field(slot)->isEnabled(), levelEnabled) << slot;
    }
    for (int slot = 0; slot < CDlgDeb::kSwitchSlots; ++slot) {
        EXPECT_EQ(ui.ModeList(slot)->isEnabled(), c.acknowledged) << slot;
    }
    EXPECT_EQ(ui.Acknowledge()->isHidden(), c.acknowledged) << "availability never shows it";
}

INSTANTIATE_TEST_SUITE_P(GateStates, DlgDebAvailabilityTest,
                         ::testing::Values(AvailabilityCase{"NotAcknowledged", false, false},
                                           AvailabilityCase{"Acknowledged", true, false},
                                           AvailabilityCase{"AcknowledgedLeftInMode", true, true}),
                         [](const ::testing::TestParamInfo<AvailabilityCase>& info) {
                             return info.param.name;
                         });

TEST_F(DlgDebTest, AvailabilityFollowsATickGivenSinceTheLoad) {
    ui.Acknowledge()->click();
    page.SetDeviceAvailable(false);
    page.SetDeviceAvailable(true);
    EXPECT_TRUE(ui.Slider(2)->isEnabled());
}

class DlgDebKeyTest : public DlgDebTest, public ::testing::WithParamInterface<Qt::Key> {};

TEST_P(DlgDebKeyTest, EnterAndEscapeInAFieldDoNothing) {
    QDialog host;
    auto* layout = new QVBoxLayout(&host);
    page.setParent(&host);
    layout->addWidget(&page);
    Load(AcknowledgedRecord());
    host.show();
    TypeInto(ui.Field(1), "12");
    const SettingsRecord before = pendingSettings;

    QTest::keyClick(ui.Field(1), GetParam());

    EXPECT_TRUE(host.isVisible()) << "the key must not reach the dialog around the page";
    EXPECT_EQ(ui.Field(1)->text(), "12");
    EXPECT_FALSE(SettingsDiffer(pendingSettings, before));
    page.setParent(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Keys, DlgDebKeyTest,
                         ::testing::Values(Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape));

TEST_F(DlgDebTest, FitsTheMainWindowsPageWithNothingClipped) {
    ExpectNothingClipped(page, QSize(700, 560));
    for (int slot = 0; slot < kSlots; ++slot) {
        // Each field sits right of its track bar, on the same row.
        EXPECT_GT(ui.Field(slot)->x(), ui.Slider(slot)->geometry().right()) << slot;
        EXPECT_NEAR(ui.Field(slot)->geometry().center().y(),
                    ui.Slider(slot)->geometry().center().y(), 2)
            << slot;
        // Rows line up in one column each.
        EXPECT_EQ(ui.Slider(slot)->x(), ui.Slider(0)->x()) << slot;
        EXPECT_EQ(ui.Field(slot)->x(), ui.Field(0)->x()) << slot;
    }
    EXPECT_GT(ui.Acknowledge()->y(), ui.Slider(4)->geometry().bottom());
}

// The page inside the real main window, where APPLY follows the records.
class DlgDebInMainWindowTest : public ::testing::Test, protected TestPageHost {
protected:
    void SetUp() override {
        pendingSettings = DefaultRecord();
        deviceSettings = pendingSettings;
        window.FindPage<CDlgDeb>()->LoadFromSettings();
        window.RefreshApplyState();
    }

    CUpdaterDlg window{session};
    ButtonsPageAccess ui{window.FindPage<CDlgDeb>()};
};

TEST_F(DlgDebInMainWindowTest, TickThenUntickReturnsApplyToDisabled) {
    ASSERT_FALSE(window.ApplyButton()->isEnabled());
    ui.Acknowledge()->click();
    EXPECT_TRUE(window.ApplyButton()->isEnabled());
    ui.Acknowledge()->click();
    EXPECT_FALSE(window.ApplyButton()->isEnabled());
}

TEST_F(DlgDebInMainWindowTest, EditingALevelBackReturnsApplyToDisabled) {
    ui.Acknowledge()->click();
    TypeInto(ui.Field(2), "12");
    EXPECT_TRUE(window.ApplyButton()->isEnabled());
    TypeInto(ui.Field(2), "8");
    ui.Acknowledge()->click();
    EXPECT_FALSE(window.ApplyButton()->isEnabled());
}

// The page inside the real main window, talking to the simulated mouse.
class DlgDebApplyTest : public ::testing::Test, protected TestPageHost {
protected:
    void SetUp() override { SetHidTransport(&mouse); }

    void Start(uint8_t acknowledged) {
        startImage = MouseFirmware::FactoryImage();
        startImage[0] = 0x5A;   // opaque0
        startImage[6] = 0x11;   // featureFlags: slamclick and jitter filter
        startImage[30] = 0x77;  // opaqueBlock
        startImage[96] = 19;    // buttons[5].filter, not on this page
        startImage[114] = acknowledged;
        mouse.Firmware().SetMemory(startImage);
        window = std::make_unique<CUpdaterDlg>(session);
        window->Initialise();
        ui = std::make_unique<ButtonsPageAccess>(window->FindPage<CDlgDeb>());
    }

    void TearDown() override {
        window.reset();
        SetHidTransport(nullptr);
    }

    void ExpectMemory(const std::vector<std::pair<size_t, uint8_t>>& changes) {
        SettingsImage expected = startImage;
        for (const auto& [offset, value] : changes) {
            expected[offset] = value;
        }
        const SettingsImage& memory = mouse.Firmware().Memory();
        for (size_t offset = 0; offset < kSettingsImageSize; ++offset) {
            EXPECT_EQ(memory[offset], expected[offset]) << "image byte " << offset;
        }
    }

    SleepRecorder sleeps;
    MessageRecorder messages;
    SimulatedMouse mouse;
    SettingsImage startImage{};
    std::unique_ptr<CUpdaterDlg> window;
    std::unique_ptr<ButtonsPageAccess> ui;
};

constexpr size_t FilterByteOffset(int slot) {
    return 61 + 7 * static_cast<size_t>(slot);
}

struct ControlBytesCase {
    std::string name;
    std::function<void(const ButtonsPageAccess&)> change;
    std::vector<std::pair<size_t, uint8_t>> bytes;  // image offset, value after APPLY
};

void PrintTo(const ControlBytesCase& c, std::ostream* os) {
    *os << c.name;
}

std::vector<ControlBytesCase> ControlBytesCases() {
    std::vector<ControlBytesCase> cases{
        {"Slamclick", [](const ButtonsPageAccess& ui) { ui.Slamclick()->click(); }, {{6, 0x10}}},
        {"LeftSpeedMode",
         [](const ButtonsPageAccess& ui) { Choose(ui.ModeList(0), "HV Speed Mode"); },
         {{FilterByteOffset(0), 0xF1}}},
        {"RightSafeMode",
         [](const ButtonsPageAccess& ui) { Choose(ui.ModeList(1), "HV Safe Mode"); },
         {{FilterByteOffset(1), 0xF0}}},
    };
    for (int slot = 0; slot < kSlots; ++slot) {
        cases.push_back({"Field" + std::to_string(slot),
                         [slot](const ButtonsPageAccess& ui) { TypeInto(ui.Field(slot), "12"); },
                         {{FilterByteOffset(slot), 12}}});
        cases.push_back(
            {"Slider" + std::to_string(slot),
             [slot](const ButtonsPageAccess& ui) { QTest::keyClick(ui.Slider(slot), Qt::Key_End); },
             {{FilterByteOffset(slot), 25}}});
    }
    return cases;
}

class DlgDebControlBytesTest : public DlgDebApplyTest,
                               public ::testing::WithParamInterface<ControlBytesCase> {};

TEST_P(DlgDebControlBytesTest, ApplyWritesTheControlsBytesAndNothingElse) {
    Start(1);
    ASSERT_FALSE(window->ApplyButton()->isEnabled());

    GetParam().change(*ui);
    EXPECT_TRUE(window->ApplyButton()->isEnabled());
    window->ApplyButton()->click();

    ExpectMemory(GetParam().bytes);
    EXPECT_FALSE(window->ApplyButton()->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(Controls, DlgDebControlBytesTest, ::testing::ValuesIn(ControlBytesCases()),
                         [](const ::testing::TestParamInfo<ControlBytesCase>& info) {
                             return info.param.name;
                         });

TEST_F(DlgDebApplyTest, AcknowledgementHiddenOnlyAfterASuccessfulWrite) {
    Start(0);
    ui->Acknowledge()->click();
    ASSERT_TRUE(window->ApplyButton()->isEnabled());

    // The mouse reports failure for all three attempts.
    mouse.Firmware().QueueStatuses({2, 2, 2});
    window->ApplyButton()->click();
    EXPECT_FALSE(ui->Acknowledge()->isHidden());
    EXPECT_TRUE(window->ApplyButton()->isEnabled());

    window->ApplyButton()->click();
    EXPECT_TRUE(ui->Acknowledge()->isHidden());
    EXPECT_FALSE(window->ApplyButton()->isEnabled());
    ExpectMemory({{114, 1}});
    EXPECT_TRUE(ui->Slider(2)->isEnabled());
}

TEST_F(DlgDebApplyTest, ApplyWithoutAcknowledgementLeavesTheBoxShown) {
    Start(0);
    ui->Slamclick()->click();
    window->ApplyButton()->click();
    ExpectMemory({{6, 0x10}});
    EXPECT_FALSE(ui->Acknowledge()->isHidden());
}

TEST_F(DlgDebApplyTest, AcknowledgedTwoIsWrittenBackAsZero) {
    Start(2);
    EXPECT_FALSE(ui->Acknowledge()->isChecked());
    ui->Slamclick()->click();
    window->ApplyButton()->click();
    ExpectMemory({{6, 0x10}, {114, 0}});
}

}  // namespace
