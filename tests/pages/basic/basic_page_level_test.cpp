// The active level on the Basic page: the immediate write to the mouse and the
// mouse's own level and report-rate changes.
#include <QLabel>
#include <functional>

#include "pages/basic/basic_page_fixture.h"
#include "pages/click_filters/click_filters_page.h"

#include "device/event_listener.h"

namespace basic_page_test {
namespace {

class SensorLevelTest : public SensorDlgTest {
protected:
    void LoadActive(uint8_t level) {
        SettingsRecord record = DefaultRecord();
        record.activeCpiLevel = level;
        Load(record);
        mouse.ClearSentReports();
        sleeps.waits.clear();
    }
};

// The write carries the chosen level from the page and everything the mouse
// keeps apart from the pages (other levels, lift-off, angle snapping, LED,
// tuning) from deviceSettings; an unapplied report rate goes with it.
// Only the level choice reaches the mouse; every other edit stays pending,
// on the page and in pendingSettings, for APPLY.
TEST_F(SensorLevelTest, LevelClickWritesTheChosenLevelWithTheMousesOtherValues) {
    ReplaceText(XField(0), "1000");
    QTest::keyClick(XField(0), Qt::Key_Return);
    ReplaceText(XField(2), "2000");
    QTest::keyClick(XField(2), Qt::Key_Return);
    QTest::mouseClick(AngleCheck(), Qt::LeftButton);
    Choose(LiftOffList(), "1.4mm");
    QTest::mouseClick(LedCheck(), Qt::LeftButton);
    Choose(RateList(), "500Hz");
    pendingSettings.sensorTuning = 0x05;  // an unapplied Advanced Sensor change
    pendingSettings.motionSync = 1;
    ASSERT_EQ(pendingSettings.angleSnapping, 1);

    QTest::mouseClick(Radio(2), Qt::LeftButton);

    EXPECT_EQ(sleeps.waits, std::vector<unsigned>{300});
    const SettingsRecord sent = MouseRecord();
    EXPECT_EQ(sent.activeCpiLevel, 2);
    EXPECT_EQ(sent.cpiLevelCount, 4);
    EXPECT_EQ(sent.cpiLevels[2].x, 2000);
    EXPECT_EQ(sent.cpiLevels[2].y, 2000);
    EXPECT_EQ(sent.cpiLevels[0].x, 400);
    EXPECT_EQ(sent.cpiLevels[0].y, 400);
    EXPECT_EQ(sent.angleSnapping, 0);
    EXPECT_EQ(sent.liftOffDistance, 3);
    EXPECT_EQ(sent.liftOffLed, 1);
    EXPECT_EQ(sent.sensorTuning, 0);
    EXPECT_EQ(sent.pollingRateCode, 1);
    EXPECT_EQ(sent.motionSync, 0);

    EXPECT_FALSE(SettingsDiffer(deviceSettings, sent));
    // The page keeps showing the user's edits, and the record holds them.
    EXPECT_EQ(pendingSettings.cpiLevels[0].x, 1000);
    EXPECT_EQ(XField(0)->text(), "1000");
    EXPECT_EQ(pendingSettings.angleSnapping, 1);
    EXPECT_EQ(pendingSettings.pollingRateCode, 16);
    EXPECT_TRUE(AngleCheck()->isChecked());
    EXPECT_EQ(CheckedLevels(), std::vector<int>{2});
    EXPECT_TRUE(ApplyEnabled());
    EXPECT_FALSE(window->WriteInProgress());

    // APPLY collects the controls again and sends the edits.
    window->OnApply();
    const SettingsRecord applied = MouseRecord();
    EXPECT_EQ(applied.cpiLevels[0].x, 1000);
    EXPECT_EQ(applied.angleSnapping, 1);
    EXPECT_EQ(applied.liftOffDistance, 7);
    EXPECT_EQ(applied.liftOffLed, 0);
    EXPECT_EQ(applied.activeCpiLevel, 2);
    EXPECT_FALSE(ApplyEnabled());
}

// The label takes no focus, so the field being typed in is not committed.
TEST_F(SensorLevelTest, LabelClickWritesAnUncommittedFieldNormalised) {
    LoadActive(0);
    ReplaceText(XField(1), "15");
    QTest::mouseClick(LevelLabel(1), Qt::LeftButton);

    const SettingsRecord sent = MouseRecord();
    EXPECT_EQ(sent.activeCpiLevel, 1);
    EXPECT_EQ(sent.cpiLevels[1].x, 20);
    EXPECT_EQ(XField(1)->text(), "15");
    EXPECT_TRUE(XField(1)->hasFocus());
    EXPECT_EQ(CheckedLevels(), std::vector<int>{1});
}

TEST_F(SensorLevelTest, SwatchClickChoosesItsLevel) {
    LoadActive(0);
    QTest::mouseClick(Swatch(3), Qt::LeftButton);
    EXPECT_EQ(MouseRecord().activeCpiLevel, 3);
    EXPECT_EQ(deviceSettings.activeCpiLevel, 3);
    EXPECT_EQ(CheckedLevels(), std::vector<int>{3});
}

// Label and swatch are the round button's: each writes the checked level
// again, which retries a level write the mouse did not confirm.
TEST_F(SensorLevelTest, EveryMarkerOfTheCheckedLevelWritesItAgain) {
    const std::pair<const char*, std::function<QWidget*()>> markers[] = {
        {"radio", [this] { return static_cast<QWidget*>(Radio(2)); }},
        {"label", [this] { return LevelLabel(2); }},
        {"swatch", [this] { return static_cast<QWidget*>(Swatch(2)); }},
    };
    for (const auto& [name, marker] : markers) {
        SCOPED_TRACE(name);
        LoadActive(0);
        // The first choice is not confirmed; the marker's click retries it.
        mouse.Firmware().QueueStatuses({2, 2, 2});
        QTest::mouseClick(Radio(2), Qt::LeftButton);
        ASSERT_EQ(window->Status(), DeviceStatus::LevelNotSaved);
        ASSERT_NE(deviceSettings.activeCpiLevel, 2);
        mouse.ClearSentReports();
        sleeps.waits.clear();

        QTest::mouseClick(marker(), Qt::LeftButton);
        EXPECT_FALSE(mouse.SentReports().empty());
        EXPECT_EQ(sleeps.waits, std::vector<unsigned>{300});
        EXPECT_EQ(MouseRecord().activeCpiLevel, 2);
        EXPECT_EQ(deviceSettings.activeCpiLevel, 2);
        EXPECT_EQ(window->Status(), DeviceStatus::LevelSet);
        EXPECT_EQ(CheckedLevels(), std::vector<int>{2});
    }
}

TEST_F(SensorLevelTest, SpaceBarOnARadioButtonChoosesItsLevel) {
    LoadActive(0);
    Radio(1)->setFocus();
    QTest::keyClick(Radio(1), Qt::Key_Space);
    EXPECT_EQ(MouseRecord().activeCpiLevel, 1);
    EXPECT_EQ(CheckedLevels(), std::vector<int>{1});
}

// The click is input during a device wait: it is dropped, not kept for later.
TEST_F(SensorLevelTest, LevelClickDuringApplyDoesNothing) {
    LoadActive(1);
    pendingSettings.angleSnapping = 1;
    sleeps.duringNextWait = [&] {
        const size_t before = mouse.SentReports().size();
        QTest::mouseClick(Radio(3), Qt::LeftButton);
        EXPECT_EQ(mouse.SentReports().size(), before);
        EXPECT_TRUE(window->WriteInProgress());
    };
    window->OnApply();
    EXPECT_TRUE(sleeps.duringNextWait == nullptr);
    EXPECT_EQ(CheckedLevels(), std::vector<int>{1});
    EXPECT_EQ(pendingSettings.activeCpiLevel, 1);
    EXPECT_EQ(MouseRecord().activeCpiLevel, 1);
}

// A mended fault: the tool must not believe the mouse holds a level it never
// received.
TEST_F(SensorLevelTest, ThreeFailedWritesLeaveDeviceSettingsAsBefore) {
    LoadActive(1);
    ReplaceText(XField(0), "5000");
    QTest::mouseClick(AngleCheck(), Qt::LeftButton);
    const SettingsRecord deviceBefore = deviceSettings;
    mouse.Firmware().QueueStatuses({2, 2, 2});

    QTest::mouseClick(Radio(0), Qt::LeftButton);

    EXPECT_EQ(sleeps.waits, std::vector<unsigned>({300, 350, 400}));
    EXPECT_TRUE(SameRecord(deviceSettings, deviceBefore));
    EXPECT_EQ(CheckedLevels(), std::vector<int>{0});
    EXPECT_EQ(pendingSettings.activeCpiLevel, 0);
    EXPECT_EQ(pendingSettings.cpiLevels[0].x, 5000);
    EXPECT_TRUE(ApplyEnabled());
    EXPECT_FALSE(window->WriteInProgress());
}

TEST_F(SensorLevelTest, WriteThatSucceedsOnTheSecondAttemptUsesTwoWaits) {
    LoadActive(1);
    mouse.Firmware().QueueStatuses({3});
    QTest::mouseClick(Radio(0), Qt::LeftButton);
    EXPECT_EQ(sleeps.waits, std::vector<unsigned>({300, 350}));
    EXPECT_EQ(deviceSettings.activeCpiLevel, 0);
    EXPECT_EQ(MouseRecord().activeCpiLevel, 0);
}

TEST_F(SensorLevelTest, NoMouseFoundWritesNothingAndKeepsTheRecords) {
    LoadActive(1);
    QTest::mouseClick(AngleCheck(), Qt::LeftButton);
    mouse.Unplug();
    deviceConnected = false;
    const SettingsRecord deviceBefore = deviceSettings;

    QTest::mouseClick(Radio(3), Qt::LeftButton);

    EXPECT_TRUE(mouse.SentReports().empty());
    EXPECT_TRUE(SameRecord(deviceSettings, deviceBefore));
    EXPECT_EQ(pendingSettings.angleSnapping, 1);
    EXPECT_EQ(pendingSettings.activeCpiLevel, 3);
    EXPECT_FALSE(window->WriteInProgress());
}

TEST_F(SensorLevelTest, WriteFindsTheMouseAgainWhenNotConnected) {
    LoadActive(1);
    deviceConnected = false;
    QTest::mouseClick(Radio(2), Qt::LeftButton);
    EXPECT_TRUE(deviceConnected);
    EXPECT_EQ(MouseRecord().activeCpiLevel, 2);
}

TEST_F(SensorLevelTest, SuccessfulWriteWithAcknowledgementHidesTheBox) {
    SettingsRecord record = DefaultRecord();
    record.multiclickAcknowledged = 1;
    Load(record);
    window->FindPage<CDlgDeb>()->LoadFromSettings();
    auto* box = window->FindPage<CDlgDeb>()->findChild<QWidget*>("multiclickAcknowledgeCheck");
    ASSERT_NE(box, nullptr);
    box->show();
    QTest::mouseClick(Radio(0), Qt::LeftButton);
    EXPECT_TRUE(box->isHidden());
}

struct DeviceLevelCase {
    uint8_t level;
    int checked;
};

TEST_F(SensorLevelTest, MouseLevelChangeUpdatesBothRecordsAndTheRadioButtons) {
    const DeviceLevelCase cases[] = {{2, 2}, {0, 0}, {3, 3}, {1, 1}, {7, 1}, {255, 1}};
    for (const DeviceLevelCase& c : cases) {
        SCOPED_TRACE(int(c.level));
        LoadActive(0);
        page->OnDeviceEvent(kEventLevelChanged, c.level);
        EXPECT_EQ(pendingSettings.activeCpiLevel, c.level);
        EXPECT_EQ(deviceSettings.activeCpiLevel, c.level);
        EXPECT_EQ(CheckedLevels(), std::vector<int>{c.checked});
        EXPECT_TRUE(mouse.SentReports().empty());
        EXPECT_FALSE(ApplyEnabled());
    }
}

struct DeviceRateCase {
    uint8_t code;
    const char* shown;
};

TEST_F(SensorLevelTest, MouseReportRateChangeSelectsItsEntryInBothRecords) {
    const DeviceRateCase cases[] = {{1, "8000Hz"}, {2, "4000Hz"}, {4, "2000Hz"}, {8, "1000Hz"},
                                    {16, "500Hz"}, {32, "250Hz"}, {64, "125Hz"}};
    for (const DeviceRateCase& c : cases) {
        SCOPED_TRACE(int(c.code));
        Load(DefaultRecord());
        page->OnDeviceEvent(kEventReportRateChanged, c.code);
        EXPECT_EQ(RateList()->currentText(), c.shown);
        EXPECT_EQ(pendingSettings.pollingRateCode, c.code);
        EXPECT_EQ(deviceSettings.pollingRateCode, c.code);
        EXPECT_FALSE(ApplyEnabled());
    }
}

TEST_F(SensorLevelTest, UnknownReportRateChangesNothing) {
    Choose(RateList(), "500Hz");
    const SettingsRecord pendingBefore = pendingSettings;
    const SettingsRecord deviceBefore = deviceSettings;
    page->OnDeviceEvent(kEventReportRateChanged, 3);
    EXPECT_EQ(RateList()->currentText(), "500Hz");
    EXPECT_TRUE(SameRecord(pendingSettings, pendingBefore));
    EXPECT_TRUE(SameRecord(deviceSettings, deviceBefore));
}

}  // namespace
}  // namespace basic_page_test
