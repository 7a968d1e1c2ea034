// The Basic page's polling rate, lift-off distance, switches and glass mode.
#include "pages/basic/basic_page_fixture.h"
#include "support/test_session.h"

namespace basic_page_test {
namespace {

class SensorBasicTest : public SensorDlgTest {};

const QStringList kRates{"125Hz", "250Hz", "500Hz", "1000Hz", "2000Hz", "4000Hz", "8000Hz"};
const uint8_t kRateCodes[] = {64, 32, 16, 8, 4, 2, 1};
const QStringList kNormalLiftOff{"0.7mm", "0.8mm", "0.9mm", "1.0mm", "1.1mm", "1.2mm",
                                 "1.3mm", "1.4mm", "1.5mm", "1.6mm", "1.7mm"};

TEST(SensorBasicInitialTest, ListsAndSwitchesStartAsBuilt) {
    TestPageHost host;
    CSensorDlg page(host);
    auto* rate = page.findChild<QComboBox*>("pollingRateList");
    auto* liftOff = page.findChild<QComboBox*>("liftOffList");
    ASSERT_NE(rate, nullptr);
    ASSERT_NE(liftOff, nullptr);
    EXPECT_EQ(Items(rate), kRates);
    EXPECT_EQ(rate->currentText(), "8000Hz");
    EXPECT_EQ(Items(liftOff), kNormalLiftOff);
    EXPECT_EQ(liftOff->currentText(), "1.0mm");
    EXPECT_FALSE(page.findChild<QCheckBox*>("angleSnappingCheck")->isChecked());
    EXPECT_FALSE(page.findChild<QCheckBox*>("liftOffLedCheck")->isChecked());
}

TEST_F(SensorBasicTest, ChoosingAReportRateStoresItsCode) {
    for (int item = 0; item < kRates.size(); ++item) {
        SCOPED_TRACE(kRates[item].toStdString());
        Choose(RateList(), kRates[item]);
        EXPECT_EQ(pendingSettings.pollingRateCode, kRateCodes[item]);
        EXPECT_EQ(ApplyEnabled(), kRateCodes[item] != deviceSettings.pollingRateCode);
    }
}

TEST_F(SensorBasicTest, LoadingAReportRateShowsItsEntryOrElse1000Hz) {
    struct Case {
        uint8_t code;
        const char* shown;
    };
    const Case cases[] = {{64, "125Hz"}, {32, "250Hz"},  {16, "500Hz"}, {8, "1000Hz"},
                          {4, "2000Hz"}, {2, "4000Hz"},  {1, "8000Hz"}, {3, "1000Hz"},
                          {0, "1000Hz"}, {128, "1000Hz"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.code));
        SettingsRecord record = DefaultRecord();
        record.pollingRateCode = c.code;
        Load(record);
        EXPECT_EQ(RateList()->currentText(), c.shown);
        EXPECT_TRUE(RateList()->isEnabled());
        EXPECT_EQ(pendingSettings.pollingRateCode, c.code);
        // The rate is never collected: what was read goes back unchanged.
        page->StoreToSettings();
        EXPECT_EQ(pendingSettings.pollingRateCode, c.code);
    }
}

TEST_F(SensorBasicTest, ChoosingALiftOffDistanceStoresItsPosition) {
    for (int item = 0; item < kNormalLiftOff.size(); ++item) {
        SCOPED_TRACE(kNormalLiftOff[item].toStdString());
        Choose(LiftOffList(), kNormalLiftOff[item]);
        EXPECT_EQ(pendingSettings.liftOffDistance, item);
    }
    // Back to what the mouse holds: nothing left to apply.
    Choose(LiftOffList(), "1.0mm");
    EXPECT_EQ(pendingSettings.liftOffDistance, 3);
    EXPECT_FALSE(ApplyEnabled());
}

TEST_F(SensorBasicTest, LoadingALiftOffDistanceShowsItsEntryAndStoresWhatIsShown) {
    struct Case {
        uint8_t glassMode;
        uint8_t value;
        const char* shown;
        uint8_t stored;
    };
    const Case cases[] = {
        {0, 0, "0.7mm", 0},  {0, 7, "1.4mm", 7}, {0, 10, "1.7mm", 10}, {0, 11, "1.0mm", 3},
        {0, 20, "1.0mm", 3}, {1, 1, "1.0mm", 1}, {1, 2, "2.0mm", 2},   {1, 0, "2.0mm", 2},
        {1, 5, "2.0mm", 2},  {2, 2, "0.9mm", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "glass " << int(c.glassMode) << " value " << int(c.value));
        SettingsRecord record = DefaultRecord();
        record.glassMode = c.glassMode;
        record.liftOffDistance = c.value;
        Load(record);
        EXPECT_EQ(Items(LiftOffList()),
                  c.glassMode == 1 ? QStringList({"1.0mm", "2.0mm"}) : kNormalLiftOff);
        EXPECT_EQ(LiftOffList()->currentText(), c.shown);
        EXPECT_EQ(pendingSettings.liftOffDistance, c.value);
        page->StoreToSettings();
        EXPECT_EQ(pendingSettings.liftOffDistance, c.stored);
    }
}

TEST_F(SensorBasicTest, GlassModeShowsTheGlassListAnd125HzButKeepsTheCode) {
    SettingsRecord record = DefaultRecord();
    record.glassMode = 1;
    record.liftOffDistance = 2;
    record.pollingRateCode = 1;
    Load(record);
    EXPECT_EQ(Items(LiftOffList()), QStringList({"1.0mm", "2.0mm"}));
    EXPECT_EQ(LiftOffList()->currentText(), "2.0mm");
    EXPECT_EQ(RateList()->currentText(), "125Hz");
    EXPECT_FALSE(RateList()->isEnabled());

    Choose(LiftOffList(), "1.0mm");
    EXPECT_EQ(pendingSettings.liftOffDistance, 1);
    EXPECT_TRUE(ApplyEnabled());

    window->OnApply();
    const SettingsRecord sent = MouseRecord();
    EXPECT_EQ(sent.pollingRateCode, 1);
    EXPECT_EQ(sent.liftOffDistance, 1);
    EXPECT_EQ(sent.glassMode, 1);

    // Out of glass mode again: the normal list, the rate list usable.
    Load(DefaultRecord());
    EXPECT_EQ(Items(LiftOffList()), kNormalLiftOff);
    EXPECT_EQ(LiftOffList()->currentText(), "1.0mm");
    EXPECT_TRUE(RateList()->isEnabled());
    EXPECT_EQ(RateList()->currentText(), "8000Hz");
}

TEST_F(SensorBasicTest, RateListDisabledOnceStaysSoUntilSettingsAreLoaded) {
    page->SetDeviceAvailable(false);
    EXPECT_FALSE(RateList()->isEnabled());
    EXPECT_FALSE(LiftOffList()->isEnabled());
    EXPECT_FALSE(AngleCheck()->isEnabled());
    EXPECT_FALSE(LedCheck()->isEnabled());

    page->SetDeviceAvailable(true);
    EXPECT_FALSE(RateList()->isEnabled());
    EXPECT_TRUE(LiftOffList()->isEnabled());
    EXPECT_TRUE(AngleCheck()->isEnabled());
    EXPECT_TRUE(LedCheck()->isEnabled());

    Load(DefaultRecord());
    EXPECT_TRUE(RateList()->isEnabled());
}

// The main window disables its tabs, and with them the pages, before it tells
// the pages that the mouse is gone.
TEST_F(SensorBasicTest, RateListIsDisabledWithTheDeviceWhileTheWindowIsDisabled) {
    window->setEnabled(false);
    page->SetDeviceAvailable(false);
    window->setEnabled(true);
    EXPECT_FALSE(RateList()->isEnabled());
    page->SetDeviceAvailable(true);
    EXPECT_FALSE(RateList()->isEnabled());
}

TEST_F(SensorBasicTest, SwitchesLoadOnlyOneAsOnAndStoreZeroOrOne) {
    struct Case {
        uint8_t angleSnapping;
        uint8_t liftOffLed;
        bool angleTicked;
        bool ledTicked;
        uint8_t angleStored;
        uint8_t ledStored;
    };
    const Case cases[] = {
        {0, 1, false, false, 0, 1},
        {1, 0, true, true, 1, 0},
        {2, 2, false, true, 0, 0},
        {255, 1, false, false, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "angle " << int(c.angleSnapping) << " led " << int(c.liftOffLed));
        SettingsRecord record = DefaultRecord();
        record.angleSnapping = c.angleSnapping;
        record.liftOffLed = c.liftOffLed;
        Load(record);
        EXPECT_EQ(AngleCheck()->isChecked(), c.angleTicked);
        EXPECT_EQ(LedCheck()->isChecked(), c.ledTicked);
        page->StoreToSettings();
        EXPECT_EQ(pendingSettings.angleSnapping, c.angleStored);
        EXPECT_EQ(pendingSettings.liftOffLed, c.ledStored);
    }
}

TEST_F(SensorBasicTest, ClickingTheSwitchesStoresThemAtOnce) {
    QTest::mouseClick(AngleCheck(), Qt::LeftButton);
    EXPECT_EQ(pendingSettings.angleSnapping, 1);
    EXPECT_TRUE(ApplyEnabled());
    QTest::mouseClick(LedCheck(), Qt::LeftButton);
    EXPECT_EQ(pendingSettings.liftOffLed, 0);
    QTest::mouseClick(AngleCheck(), Qt::LeftButton);
    QTest::mouseClick(LedCheck(), Qt::LeftButton);
    EXPECT_EQ(pendingSettings.angleSnapping, 0);
    EXPECT_EQ(pendingSettings.liftOffLed, 1);
    EXPECT_FALSE(ApplyEnabled());
}

// What the user sets on the page reaches the mouse with APPLY and comes back
// the same when the settings are read again.
TEST_F(SensorBasicTest, EverySettingSurvivesApplyAndAFreshRead) {
    TickXySettings();
    ReplaceText(XField(0), "1234");
    ReplaceText(YField(0), "567");
    ReplaceText(XField(3), "25000");
    QTest::keyClick(XField(3), Qt::Key_Return);
    Choose(LevelsList(), "3");
    Choose(RateList(), "2000Hz");
    Choose(LiftOffList(), "1.6mm");
    QTest::mouseClick(AngleCheck(), Qt::LeftButton);
    QTest::mouseClick(LedCheck(), Qt::LeftButton);
    QTest::mouseClick(Radio(1), Qt::LeftButton);
    window->OnApply();
    ASSERT_FALSE(ApplyEnabled());

    ASSERT_EQ(ReadSettings(), 1);
    TestPageHost host;
    host.session.LoadFromImage(lastReadImage);
    CSensorDlg fresh(host);
    fresh.LoadFromSettings();
    auto text = [&fresh](const char* name) { return fresh.findChild<QLineEdit*>(name)->text(); };
    EXPECT_EQ(text("cpiLevelXField0"), "1230");
    EXPECT_EQ(text("cpiLevelYField0"), "570");
    EXPECT_EQ(text("cpiLevelXField3"), "25000");
    EXPECT_EQ(text("cpiLevelYField3"), "3200");
    EXPECT_TRUE(fresh.findChild<QCheckBox*>("xySettingsCheck")->isChecked());
    EXPECT_EQ(fresh.findChild<QComboBox*>("cpiLevelsList")->currentText(), "3");
    EXPECT_EQ(fresh.findChild<QComboBox*>("pollingRateList")->currentText(), "2000Hz");
    EXPECT_EQ(fresh.findChild<QComboBox*>("liftOffList")->currentText(), "1.6mm");
    EXPECT_TRUE(fresh.findChild<QCheckBox*>("angleSnappingCheck")->isChecked());
    EXPECT_TRUE(fresh.findChild<QCheckBox*>("liftOffLedCheck")->isChecked());
    EXPECT_TRUE(fresh.findChild<QRadioButton*>("cpiLevelRadio1")->isChecked());
    EXPECT_FALSE(fresh.findChild<QRadioButton*>("cpiLevelRadio0")->isChecked());
}

}  // namespace
}  // namespace basic_page_test
