#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QVBoxLayout>
#include <functional>
#include <memory>
#include <ostream>
#include <utility>
#include <vector>

#include "app/main_window.h"
#include "device/hid_transport.h"
#include "device/mouse_firmware.h"
#include "device/simulated/simulated_mouse.h"
#include "pages/advanced_sensor/advanced_sensor_page.h"
#include "settings/settings_image.h"
#include "support/layout_checks.h"
#include "support/message_recorder.h"
#include "support/page_input.h"
#include "support/sleep_recorder.h"
#include "support/test_session.h"

namespace {

class SupportDlgTest : public ::testing::Test, protected TestPageHost {
protected:
    void SetUp() override { Load(DefaultRecord()); }

    void Load(const SettingsRecord& record) {
        pendingSettings = record;
        deviceSettings = record;
        page.LoadFromSettings();
    }

    template <typename T>
    T* Control(const char* name) {
        T* control = page.findChild<T*>(name);
        EXPECT_NE(control, nullptr) << name;
        return control;
    }

    QComboBox* DownshiftList() { return Control<QComboBox>("downshiftTuningList"); }
    QComboBox* SmoothingList() { return Control<QComboBox>("smoothingTuningList"); }
    QSlider* AngleSlider() { return Control<QSlider>("sensorAngleSlider"); }
    QLineEdit* AngleField() { return Control<QLineEdit>("sensorAngleField"); }
    QCheckBox* Box(const char* name) { return Control<QCheckBox>(name); }

    CSupportDlg page{*this};
};

TEST(SupportDlgInitialTest, ShowsInitialStateBeforeAnyLoad) {
    TestPageHost host;
    CSupportDlg page(host);
    auto* downshift = page.findChild<QComboBox*>("downshiftTuningList");
    auto* smoothing = page.findChild<QComboBox*>("smoothingTuningList");
    ASSERT_NE(downshift, nullptr);
    ASSERT_NE(smoothing, nullptr);

    const QStringList downshiftEntries{"Force Off", "Light Timer Only", "Medium Timer Only",
                                       "Default"};
    const QStringList smoothingEntries{"Force Off", "Ripple Control Off", "Ripple Control On"};
    for (int i = 0; i < downshift->count(); ++i) {
        EXPECT_EQ(downshift->itemText(i), downshiftEntries.value(i));
    }
    EXPECT_EQ(downshift->count(), downshiftEntries.size());
    for (int i = 0; i < smoothing->count(); ++i) {
        EXPECT_EQ(smoothing->itemText(i), smoothingEntries.value(i));
    }
    EXPECT_EQ(smoothing->count(), smoothingEntries.size());
    EXPECT_EQ(downshift->currentText(), "Default");
    EXPECT_EQ(smoothing->currentText(), "Force Off");
    EXPECT_FALSE(downshift->isEditable());
    EXPECT_FALSE(smoothing->isEditable());

    auto* slider = page.findChild<QSlider*>("sensorAngleSlider");
    ASSERT_NE(slider, nullptr);
    EXPECT_EQ(slider->minimum(), -127);
    EXPECT_EQ(slider->maximum(), 127);
    EXPECT_EQ(slider->value(), 0);
    EXPECT_EQ(slider->orientation(), Qt::Horizontal);
    EXPECT_EQ(slider->tickPosition(), QSlider::NoTicks);
    EXPECT_EQ(page.findChild<QLineEdit*>("sensorAngleField")->text(), "0");

    EXPECT_FALSE(page.findChild<QCheckBox*>("motionSyncCheck")->isChecked());
    EXPECT_TRUE(page.findChild<QCheckBox*>("motionJitterFilterCheck")->isHidden());
    EXPECT_TRUE(page.findChild<QCheckBox*>("sensorGlassModeCheck")->isHidden());
    EXPECT_FALSE(page.findChild<QCheckBox*>("forceMaxFpsCheck")->isHidden());
}

TEST_F(SupportDlgTest, DefaultsShowAsDefaultAndRippleControlOff) {
    EXPECT_EQ(DownshiftList()->currentText(), "Default");
    EXPECT_EQ(SmoothingList()->currentText(), "Ripple Control Off");
    EXPECT_EQ(AngleField()->text(), "0");
    for (const char* name : {"motionSyncCheck", "forceMaxFpsCheck", "motionJitterFilterCheck"}) {
        EXPECT_FALSE(Box(name)->isChecked()) << name;
    }
}

struct TuningLoadCase {
    uint8_t stored;
    const char* downshift;
    const char* smoothing;
    uint8_t storedBack;
};

void PrintTo(const TuningLoadCase& c, std::ostream* os) {
    *os << "sensorTuning " << int(c.stored);
}

class SupportDlgTuningLoadTest : public SupportDlgTest,
                                 public ::testing::WithParamInterface<TuningLoadCase> {};

TEST_P(SupportDlgTuningLoadTest, ShowsBothCodesAndStoresThemBack) {
    const TuningLoadCase& c = GetParam();
    SettingsRecord record = DefaultRecord();
    record.sensorTuning = c.stored;
    Load(record);

    EXPECT_EQ(DownshiftList()->currentText(), c.downshift);
    EXPECT_EQ(SmoothingList()->currentText(), c.smoothing);
    EXPECT_EQ(pendingSettings.sensorTuning, c.stored) << "loading changes nothing";

    page.StoreToSettings();
    EXPECT_EQ(pendingSettings.sensorTuning, c.storedBack);
}

INSTANTIATE_TEST_SUITE_P(Codes, SupportDlgTuningLoadTest,
                         ::testing::Values(
                             // High nibble kept; smoothing code 3 has no entry and goes back as 2.
                             TuningLoadCase{0x37, "Medium Timer Only", "Force Off", 0x36},
                             TuningLoadCase{0x00, "Default", "Ripple Control Off", 0x00},
                             TuningLoadCase{0x0E, "Light Timer Only", "Force Off", 0x0E},
                             TuningLoadCase{0xF9, "Force Off", "Ripple Control On", 0xF9},
                             TuningLoadCase{0x5B, "Force Off", "Force Off", 0x5A}));

TEST_F(SupportDlgTest, ChoosingTuningEntriesRebuildsTheByteKeepingTheHighNibble) {
    SettingsRecord record = DefaultRecord();
    record.sensorTuning = 0xA0;
    Load(record);

    Choose(DownshiftList(), "Light Timer Only");
    EXPECT_EQ(pendingSettings.sensorTuning, 0xAC);
    Choose(SmoothingList(), "Ripple Control On");
    EXPECT_EQ(pendingSettings.sensorTuning, 0xAD);

    page.StoreToSettings();
    EXPECT_EQ(pendingSettings.sensorTuning, 0xAD);
}

TEST_F(SupportDlgTest, AngleMinus128ShowsAsZeroAndIsKeptUntilStored) {
    SettingsRecord record = DefaultRecord();
    record.sensorAngle = -128;
    Load(record);

    EXPECT_EQ(AngleSlider()->value(), 0);
    EXPECT_EQ(AngleField()->text(), "0");
    EXPECT_EQ(pendingSettings.sensorAngle, -128);

    page.StoreToSettings();
    EXPECT_EQ(pendingSettings.sensorAngle, 0);
}

TEST_F(SupportDlgTest, LoadedAngleShowsInSliderAndField) {
    SettingsRecord record = DefaultRecord();
    record.sensorAngle = -37;
    Load(record);
    EXPECT_EQ(AngleSlider()->value(), -37);
    EXPECT_EQ(AngleField()->text(), "-37");
}

struct AngleTextCase {
    const char* typed;
    int angle;
    const char* shown;
};

void PrintTo(const AngleTextCase& c, std::ostream* os) {
    *os << '"' << c.typed << '"';
}

class SupportDlgAngleTextTest : public SupportDlgTest,
                                public ::testing::WithParamInterface<AngleTextCase> {};

TEST_P(SupportDlgAngleTextTest, TypedTextIsLimitedAndRewritten) {
    const AngleTextCase& c = GetParam();
    TypeInto(AngleField(), c.typed);

    EXPECT_EQ(pendingSettings.sensorAngle, c.angle);
    EXPECT_EQ(AngleSlider()->value(), c.angle);
    EXPECT_EQ(AngleField()->text(), c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SupportDlgAngleTextTest,
    ::testing::Values(AngleTextCase{"-200", -127, "-127"}, AngleTextCase{"200", 127, "127"},
                      AngleTextCase{"007", 7, "7"}, AngleTextCase{"12x", 12, "12"},
                      AngleTextCase{"x", 0, "0"}, AngleTextCase{"-5", -5, "-5"},
                      AngleTextCase{"+9", 9, "9"},
                      // A long number must not wrap round.
                      AngleTextCase{"99999999999", 127, "127"},
                      AngleTextCase{"-99999999999", -127, "-127"}));

TEST_F(SupportDlgTest, PastedTextIsReadFromItsLeadingNumber) {
    AngleField()->selectAll();
    AngleField()->insert(" -42abc");  // as a paste does: one edit
    EXPECT_EQ(pendingSettings.sensorAngle, -42);
    EXPECT_EQ(AngleSlider()->value(), -42);
    EXPECT_EQ(AngleField()->text(), "-42");
}

TEST_F(SupportDlgTest, TextThatNeedsNoRewriteKeepsTheCaretWhereTheUserTypes) {
    TypeInto(AngleField(), "15");
    AngleField()->setCursorPosition(1);
    QTest::keyClick(AngleField(), Qt::Key_0);  // "105": in range, not rewritten
    EXPECT_EQ(AngleField()->text(), "105");
    EXPECT_EQ(AngleField()->cursorPosition(), 2);
    EXPECT_EQ(pendingSettings.sensorAngle, 105);
}

TEST_F(SupportDlgTest, EmptyOrLoneMinusInTheAngleFieldIsLeftAlone) {
    SettingsRecord record = DefaultRecord();
    record.sensorAngle = 10;
    Load(record);

    ClearField(AngleField());
    EXPECT_EQ(AngleField()->text(), "");
    EXPECT_EQ(pendingSettings.sensorAngle, 10);
    EXPECT_EQ(AngleSlider()->value(), 10);

    QTest::keyClick(AngleField(), Qt::Key_Minus);
    EXPECT_EQ(AngleField()->text(), "-");
    EXPECT_EQ(pendingSettings.sensorAngle, 10);
    EXPECT_EQ(AngleSlider()->value(), 10);
}

TEST_F(SupportDlgTest, MinusFiveIsStoredAsByteFB) {
    TypeInto(AngleField(), "-5");
    page.StoreToSettings();

    SettingsImage image{};
    EncodeSettingsImage(pendingSettings, image);
    EXPECT_EQ(image[112], 0xFB);
}

struct AngleKeyCase {
    Qt::Key key;
    int angle;
};

void PrintTo(const AngleKeyCase& c, std::ostream* os) {
    *os << "key " << int(c.key);
}

class SupportDlgAngleSliderTest : public SupportDlgTest,
                                  public ::testing::WithParamInterface<AngleKeyCase> {};

TEST_P(SupportDlgAngleSliderTest, MovingTheSliderWritesFieldAndRecord) {
    SettingsRecord record = DefaultRecord();
    record.sensorAngle = 20;
    Load(record);

    QTest::keyClick(AngleSlider(), GetParam().key);
    EXPECT_EQ(AngleSlider()->value(), GetParam().angle);
    EXPECT_EQ(pendingSettings.sensorAngle, GetParam().angle);
    EXPECT_EQ(AngleField()->text(), QString::number(GetParam().angle));
}

INSTANTIATE_TEST_SUITE_P(Keys, SupportDlgAngleSliderTest,
                         ::testing::Values(AngleKeyCase{Qt::Key_Right, 21},
                                           AngleKeyCase{Qt::Key_Left, 19},
                                           AngleKeyCase{Qt::Key_PageUp, 30},
                                           AngleKeyCase{Qt::Key_Home, -127},
                                           AngleKeyCase{Qt::Key_End, 127}));

TEST_F(SupportDlgTest, DraggingTheSliderToANegativeAngleStoresItsByte) {
    AngleSlider()->setSliderDown(true);
    AngleSlider()->setSliderPosition(-100);  // what a drag of the thumb does
    AngleSlider()->setSliderDown(false);
    EXPECT_EQ(pendingSettings.sensorAngle, -100);
    EXPECT_EQ(AngleField()->text(), "-100");
}

using SwitchField = uint8_t SettingsRecord::*;

struct SwitchLoadCase {
    const char* box;
    SwitchField field;
    uint8_t stored;
    bool ticked;
    uint8_t storedBack;
};

void PrintTo(const SwitchLoadCase& c, std::ostream* os) {
    *os << c.box << " stored " << int(c.stored);
}

class SupportDlgSwitchLoadTest : public SupportDlgTest,
                                 public ::testing::WithParamInterface<SwitchLoadCase> {};

TEST_P(SupportDlgSwitchLoadTest, OnlyOneCountsAsOnAndStoreWritesZeroOrOne) {
    const SwitchLoadCase& c = GetParam();
    SettingsRecord record = DefaultRecord();
    record.*c.field = c.stored;
    Load(record);

    EXPECT_EQ(Box(c.box)->isChecked(), c.ticked);
    EXPECT_EQ(pendingSettings.*c.field, c.stored) << "loading changes nothing";
    page.StoreToSettings();
    EXPECT_EQ(pendingSettings.*c.field, c.storedBack);
}

INSTANTIATE_TEST_SUITE_P(
    Switches, SupportDlgSwitchLoadTest,
    ::testing::Values(SwitchLoadCase{"motionSyncCheck", &SettingsRecord::motionSync, 2, false, 0},
                      SwitchLoadCase{"motionSyncCheck", &SettingsRecord::motionSync, 1, true, 1},
                      SwitchLoadCase{"forceMaxFpsCheck", &SettingsRecord::forceMaxFps, 2, false, 0},
                      SwitchLoadCase{"forceMaxFpsCheck", &SettingsRecord::forceMaxFps, 1, true, 1},
                      SwitchLoadCase{"forceMaxFpsCheck", &SettingsRecord::forceMaxFps, 0xFF, false,
                                     0}));

struct SwitchClickCase {
    const char* box;
    SwitchField field;
    uint8_t mask;  // the bits of the field the box owns
};

void PrintTo(const SwitchClickCase& c, std::ostream* os) {
    *os << c.box;
}

class SupportDlgSwitchClickTest : public SupportDlgTest,
                                  public ::testing::WithParamInterface<SwitchClickCase> {};

TEST_P(SupportDlgSwitchClickTest, ClickingWritesTheSwitchAndNothingElse) {
    const SwitchClickCase& c = GetParam();
    SettingsRecord record = DefaultRecord();
    record.featureFlags = 0x0F;
    Load(record);
    SettingsRecord expected = pendingSettings;

    Box(c.box)->click();  // also reaches the hidden box, whose handler still exists
    expected.*c.field |= c.mask;
    EXPECT_FALSE(SettingsDiffer(pendingSettings, expected));
    EXPECT_EQ(pendingSettings.*c.field, expected.*c.field);

    Box(c.box)->click();
    expected.*c.field &= ~c.mask;
    EXPECT_EQ(pendingSettings.*c.field, expected.*c.field);
    EXPECT_FALSE(SettingsDiffer(pendingSettings, expected));
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, SupportDlgSwitchClickTest,
    ::testing::Values(SwitchClickCase{"motionSyncCheck", &SettingsRecord::motionSync, 0x01},
                      SwitchClickCase{"forceMaxFpsCheck", &SettingsRecord::forceMaxFps, 0x01},
                      SwitchClickCase{"motionJitterFilterCheck", &SettingsRecord::featureFlags,
                                      kMotionJitterFilterFlag}));

TEST_F(SupportDlgTest, GlassModeBoxChangesNothing) {
    SettingsRecord record = DefaultRecord();
    record.glassMode = 1;
    Load(record);
    Box("sensorGlassModeCheck")->click();
    EXPECT_FALSE(SettingsDiffer(pendingSettings, record));
}

struct BadAngleCase {
    const char* fieldText;
    bool reported;
};

void PrintTo(const BadAngleCase& c, std::ostream* os) {
    *os << "field \"" << c.fieldText << '"';
}

class SupportDlgMotionSyncAngleTest : public SupportDlgTest,
                                      public ::testing::WithParamInterface<BadAngleCase> {};

TEST_P(SupportDlgMotionSyncAngleTest, BadAngleIsReportedAndMotionSyncSwitchesAnyway) {
    const BadAngleCase& c = GetParam();
    page.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&page));
    TypeInto(AngleField(), c.fieldText);
    Box("forceMaxFpsCheck")->setFocus();
    MessageRecorder messages;

    Box("motionSyncCheck")->click();

    EXPECT_EQ(pendingSettings.motionSync, 1);
    EXPECT_TRUE(Box("motionSyncCheck")->isChecked());
    if (c.reported) {
        EXPECT_EQ(messages.messages, QStringList{"Enter an integer."});
        EXPECT_TRUE(AngleField()->hasFocus());
        EXPECT_EQ(AngleField()->selectedText(), AngleField()->text());
    } else {
        EXPECT_TRUE(messages.messages.isEmpty());
        EXPECT_FALSE(AngleField()->hasFocus());
    }
    EXPECT_EQ(AngleField()->text(), c.fieldText) << "the field is not rewritten";
}

INSTANTIATE_TEST_SUITE_P(FieldTexts, SupportDlgMotionSyncAngleTest,
                         ::testing::Values(BadAngleCase{"", true}, BadAngleCase{"-", true},
                                           BadAngleCase{"-12", false}));

TEST_F(SupportDlgTest, StoreKeepsJitterBitOtherFlagsAndGlassMode) {
    SettingsRecord record = DefaultRecord();
    record.featureFlags = 0x10 | 0x40 | 0x01;
    record.glassMode = 1;
    record.sensorTuning = 0x95;
    record.motionSync = 1;
    record.forceMaxFps = 1;
    record.sensorAngle = -60;
    Load(record);

    page.StoreToSettings();
    EXPECT_FALSE(SettingsDiffer(pendingSettings, record));

    record.featureFlags = 0x40;
    Load(record);
    EXPECT_FALSE(Box("motionJitterFilterCheck")->isChecked());
    page.StoreToSettings();
    EXPECT_EQ(pendingSettings.featureFlags, 0x40);
}

TEST_F(SupportDlgTest, SetDeviceAvailableSwitchesAllEightControls) {
    const char* names[] = {"motionSyncCheck",      "motionJitterFilterCheck", "forceMaxFpsCheck",
                           "sensorGlassModeCheck", "sensorAngleField",        "sensorAngleSlider",
                           "downshiftTuningList",  "smoothingTuningList"};
    page.SetDeviceAvailable(false);
    for (const char* name : names) {
        EXPECT_FALSE(Control<QWidget>(name)->isEnabled()) << name;
    }
    EXPECT_TRUE(Box("motionJitterFilterCheck")->isHidden());
    EXPECT_TRUE(Box("sensorGlassModeCheck")->isHidden());

    page.SetDeviceAvailable(true);
    for (const char* name : names) {
        EXPECT_TRUE(Control<QWidget>(name)->isEnabled()) << name;
    }
    EXPECT_TRUE(Box("motionJitterFilterCheck")->isHidden());
    EXPECT_TRUE(Box("sensorGlassModeCheck")->isHidden());
}

class SupportDlgKeyTest : public SupportDlgTest, public ::testing::WithParamInterface<Qt::Key> {};

TEST_P(SupportDlgKeyTest, EnterAndEscapeInTheAngleFieldDoNothing) {
    QDialog host;
    auto* layout = new QVBoxLayout(&host);
    page.setParent(&host);
    layout->addWidget(&page);
    host.show();
    TypeInto(AngleField(), "33");
    const SettingsRecord before = pendingSettings;

    QTest::keyClick(AngleField(), GetParam());

    EXPECT_TRUE(host.isVisible()) << "the key must not reach the dialog around the page";
    EXPECT_EQ(AngleField()->text(), "33");
    EXPECT_FALSE(SettingsDiffer(pendingSettings, before));
    page.setParent(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Keys, SupportDlgKeyTest,
                         ::testing::Values(Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape));

TEST_F(SupportDlgTest, FitsTheMainWindowsPageWithNothingClipped) {
    ExpectNothingClipped(page, QSize(700, 560));
    // The field sits right of its track bar, on the same row.
    EXPECT_GT(AngleField()->x(), AngleSlider()->geometry().right());
    EXPECT_NEAR(AngleField()->geometry().center().y(), AngleSlider()->geometry().center().y(), 2);
}

// The page inside the real main window, talking to the simulated mouse: what
// APPLY writes into the mouse's memory.
class SupportDlgApplyTest : public ::testing::Test, protected TestPageHost {
protected:
    void SetUp() override {
        SetHidTransport(&mouse);
        startImage = MouseFirmware::FactoryImage();
        startImage[0] = 0x5A;    // opaque0
        startImage[6] = 0x11;    // featureFlags: slamclick and jitter filter
        startImage[11] = 0x30;   // sensorTuning, high nibble set
        startImage[20] = 0x77;   // opaqueBlock
        startImage[9] = 2;       // liftOffDistance: 2.0 mm, which the glass list offers
        startImage[111] = 1;     // glassMode
        startImage[112] = 0xF6;  // sensorAngle -10
        mouse.Firmware().SetMemory(startImage);
        window = std::make_unique<CUpdaterDlg>(session);
        window->Initialise();
        page = window->FindPage<CSupportDlg>();
    }

    void TearDown() override {
        window.reset();
        SetHidTransport(nullptr);
    }

    template <typename T>
    T* Control(const char* name) {
        T* control = page->findChild<T*>(name);
        EXPECT_NE(control, nullptr) << name;
        return control;
    }

    SleepRecorder sleeps;
    MessageRecorder messages;
    SimulatedMouse mouse;
    SettingsImage startImage{};
    std::unique_ptr<CUpdaterDlg> window;
    CSupportDlg* page = nullptr;
};

struct ControlBytesCase {
    const char* name;
    std::function<void(CSupportDlg*)> change;
    std::vector<std::pair<size_t, uint8_t>> bytes;  // image offset, value after APPLY
};

void PrintTo(const ControlBytesCase& c, std::ostream* os) {
    *os << c.name;
}

class SupportDlgControlBytesTest : public SupportDlgApplyTest,
                                   public ::testing::WithParamInterface<ControlBytesCase> {};

TEST_P(SupportDlgControlBytesTest, ApplyWritesTheControlsBytesAndNothingElse) {
    const ControlBytesCase& c = GetParam();
    ASSERT_FALSE(window->ApplyButton()->isEnabled());

    c.change(page);
    EXPECT_TRUE(window->ApplyButton()->isEnabled());
    window->ApplyButton()->click();

    SettingsImage expected = startImage;
    for (const auto& [offset, value] : c.bytes) {
        expected[offset] = value;
    }
    const SettingsImage& memory = mouse.Firmware().Memory();
    for (size_t offset = 0; offset < kSettingsImageSize; ++offset) {
        EXPECT_EQ(memory[offset], expected[offset]) << "image byte " << offset;
    }
    EXPECT_FALSE(window->ApplyButton()->isEnabled());
}

template <typename T>
T* Find(CSupportDlg* page, const char* name) {
    return page->findChild<T*>(name);
}

INSTANTIATE_TEST_SUITE_P(
    Controls, SupportDlgControlBytesTest,
    ::testing::Values(
        ControlBytesCase{
            "DownshiftForceOff",
            [](CSupportDlg* p) { Choose(Find<QComboBox>(p, "downshiftTuningList"), "Force Off"); },
            {{11, 0x38}}},
        ControlBytesCase{"SmoothingRippleOn",
                         [](CSupportDlg* p) {
                             Choose(Find<QComboBox>(p, "smoothingTuningList"), "Ripple Control On");
                         },
                         {{11, 0x31}}},
        ControlBytesCase{"MotionSync",
                         [](CSupportDlg* p) { Find<QCheckBox>(p, "motionSyncCheck")->click(); },
                         {{12, 1}}},
        ControlBytesCase{"ForceMaxFps",
                         [](CSupportDlg* p) { Find<QCheckBox>(p, "forceMaxFpsCheck")->click(); },
                         {{113, 1}}},
        ControlBytesCase{
            "AngleField",
            [](CSupportDlg* p) { TypeInto(Find<QLineEdit>(p, "sensorAngleField"), "-5"); },
            {{112, 0xFB}}},
        ControlBytesCase{"AngleSlider",
                         [](CSupportDlg* p) {
                             QTest::keyClick(Find<QSlider>(p, "sensorAngleSlider"), Qt::Key_End);
                         },
                         {{112, 127}}}),
    [](const ::testing::TestParamInfo<ControlBytesCase>& info) { return info.param.name; });

TEST_F(SupportDlgApplyTest, LoadedStateShowsAndApplyOfMinus128WritesZero) {
    EXPECT_EQ(Control<QLineEdit>("sensorAngleField")->text(), "-10");
    window.reset();

    startImage[112] = 0x80;  // -128
    mouse.Firmware().SetMemory(startImage);
    window = std::make_unique<CUpdaterDlg>(session);
    window->Initialise();
    page = window->FindPage<CSupportDlg>();
    EXPECT_EQ(Control<QSlider>("sensorAngleSlider")->value(), 0);
    EXPECT_EQ(pendingSettings.sensorAngle, -128);

    // Another change makes APPLY available; the angle goes out as the track bar shows it.
    Control<QCheckBox>("forceMaxFpsCheck")->click();
    window->ApplyButton()->click();
    EXPECT_EQ(mouse.Firmware().Memory()[112], 0);
    EXPECT_EQ(mouse.Firmware().Memory()[6], 0x11) << "jitter filter bit kept";
    EXPECT_EQ(mouse.Firmware().Memory()[111], 1) << "glass mode kept";
}

}  // namespace
