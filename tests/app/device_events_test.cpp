#include <QComboBox>
#include <QRadioButton>
#include <QTest>
#include <functional>
#include <mutex>
#include <thread>

#include "app/simulated_mouse_window.h"
#include "app_fixture.h"
#include "pages/basic/basic_page.h"

namespace {

// Changes made with the mouse's own buttons reach the records and the Basic
// page through the real listener thread and the UI thread's event loop.
class DeviceEvents : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        StartWindow();
        // The listener pauses on its own thread; record that without racing the test.
        SetSleepHook([this, uiThread = std::this_thread::get_id()](unsigned) {
            if (std::this_thread::get_id() != uiThread) {
                std::lock_guard lock(listenerPausesMutex);
                ++listenerPauses;
            }
        });
        ASSERT_TRUE(DeviceEventListenerRunning());
    }

    void TearDown() override {
        StopDeviceEventListener();
        SetSleepHook({});
        AppFixture::TearDown();
    }

    // Sends the reports, then a marker event, and runs the event loop until the
    // marker (level 3) has been applied, so every earlier report was handled.
    void SendAndSettle(const std::vector<std::vector<uint8_t>>& reports) {
        SendAndSettle(reports, kLevelMarker);
    }

    // A recognised event the reports under test leave alone, and how to see it applied.
    struct Marker {
        std::vector<uint8_t> report;
        std::function<bool(const SettingsRecord&)> applied;
    };
    inline static const Marker kLevelMarker{
        {3, 2, 3, 0, 0, 0, 0, 0},
        [](const SettingsRecord& shown) { return shown.activeCpiLevel == 3; }};
    inline static const Marker kRateMarker{
        {3, 6, 16, 0, 0, 0, 0, 0},
        [](const SettingsRecord& shown) { return shown.pollingRateCode == 16; }};

    void SendAndSettle(const std::vector<std::vector<uint8_t>>& reports, const Marker& marker) {
        for (const auto& report : reports) {
            mouse.SendInputReport(report);
        }
        mouse.SendInputReport(marker.report);
        ASSERT_TRUE(QTest::qWaitFor([&] { return marker.applied(pendingSettings); }, 10000));
    }

    QRadioButton* LevelRadio(int level) {
        return window->findChild<QRadioButton*>(QString("cpiLevelRadio%1").arg(level));
    }
    QComboBox* PollingRateList() { return window->findChild<QComboBox*>("pollingRateList"); }

    std::mutex listenerPausesMutex;
    int listenerPauses = 0;
};

TEST_F(DeviceEvents, LevelChangeChecksTheLevelInBothRecordsWithoutApply) {
    mouse.SendInputReport({3, 2, 2, 0, 0, 0, 0, 0});
    ASSERT_TRUE(QTest::qWaitFor([this] { return pendingSettings.activeCpiLevel == 2; }, 10000));
    EXPECT_EQ(deviceSettings.activeCpiLevel, 2);
    ASSERT_NE(LevelRadio(2), nullptr);
    EXPECT_TRUE(LevelRadio(2)->isChecked());
    EXPECT_FALSE(LevelRadio(1)->isChecked());
    EXPECT_FALSE(ApplyEnabled());
}

TEST_F(DeviceEvents, ReportRateChangeSelectsTheRateInBothRecords) {
    mouse.SendInputReport({3, 6, 8, 0, 0, 0, 0, 0});
    ASSERT_TRUE(QTest::qWaitFor([this] { return pendingSettings.pollingRateCode == 8; }, 10000));
    EXPECT_EQ(deviceSettings.pollingRateCode, 8);
    ASSERT_NE(PollingRateList(), nullptr);
    EXPECT_EQ(PollingRateList()->currentText(), "1000Hz");
    EXPECT_FALSE(ApplyEnabled());
}

// Each report is followed by a marker of the other field than the one the
// report would change if it were applied, so the marker can never hide it.
TEST_F(DeviceEvents, UnknownValuesOtherEventsAndOtherReportsChangeNothing) {
    const struct {
        std::vector<uint8_t> report;
        bool levelMarker;
    } cases[] = {
        {{3, 6, 3, 0, 0, 0, 0, 0}, true},      // a rate code the mouse has not
        {{4, 6, 8, 0, 0, 0, 0, 0}, true},      // a rate event in another report
        {{3, 0xB4, 2, 0, 0, 0, 0, 0}, true},   // the event that changes nothing
        {{3, 0xB4, 2, 0, 0, 0, 0, 0}, false},  // ... nor the level
        {{4, 2, 0, 0, 0, 0, 0, 0}, false},     // a level event in another report
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.report));
        const SettingsRecord before = pendingSettings;
        const QString rateShown = PollingRateList()->currentText();
        const Marker& marker = c.levelMarker ? kLevelMarker : kRateMarker;
        SendAndSettle({c.report}, marker);

        SettingsRecord expected = before;
        if (c.levelMarker) {
            expected.activeCpiLevel = 3;
            EXPECT_EQ(PollingRateList()->currentText(), rateShown);
        } else {
            expected.pollingRateCode = 16;
            EXPECT_TRUE(LevelRadio(before.activeCpiLevel)->isChecked());
        }
        EXPECT_FALSE(SettingsDiffer(pendingSettings, expected));
        EXPECT_FALSE(SettingsDiffer(deviceSettings, expected));
        EXPECT_FALSE(ApplyEnabled());
        // Back to where the next case starts from, both markers unset.
        mouse.SendInputReport({3, 2, 1, 0, 0, 0, 0, 0});
        mouse.SendInputReport({3, 6, 1, 0, 0, 0, 0, 0});
        ASSERT_TRUE(QTest::qWaitFor(
            [this] {
                return pendingSettings.activeCpiLevel == 1 && pendingSettings.pollingRateCode == 1;
            },
            10000));
    }
}

// An event read just before the mouse went away reaches the window after its
// removal: the window no longer has a mouse to keep in step with.
TEST_F(DeviceEvents, EventsAfterRemovalAreDropped) {
    mouse.Unplug();
    DeliverQueuedEvents();
    const SettingsRecord pendingBefore = pendingSettings;
    const SettingsRecord deviceBefore = deviceSettings;
    const QString rateShown = PollingRateList()->currentText();
    std::array<bool, 4> checked{};
    for (int level = 0; level < 4; ++level) {
        checked[level] = LevelRadio(level)->isChecked();
    }

    window->OnDeviceEvent(kEventLevelChanged, 2);
    window->OnDeviceEvent(kEventReportRateChanged, 16);

    EXPECT_FALSE(SettingsDiffer(pendingSettings, pendingBefore));
    EXPECT_FALSE(SettingsDiffer(deviceSettings, deviceBefore));
    EXPECT_EQ(PollingRateList()->currentText(), rateShown);
    for (int level = 0; level < 4; ++level) {
        EXPECT_EQ(LevelRadio(level)->isChecked(), checked[level]) << level;
    }
}

TEST_F(DeviceEvents, ABurstIsAppliedInOrder) {
    SendAndSettle({{3, 6, 64, 0, 0, 0, 0, 0},
                   {3, 2, 0, 0, 0, 0, 0, 0},
                   {3, 6, 16, 0, 0, 0, 0, 0},
                   {3, 2, 1, 0, 0, 0, 0, 0}});
    EXPECT_EQ(pendingSettings.pollingRateCode, 16);
    EXPECT_EQ(deviceSettings.pollingRateCode, 16);
    EXPECT_EQ(PollingRateList()->currentText(), "500Hz");
    EXPECT_TRUE(LevelRadio(3)->isChecked());
    StopDeviceEventListener();  // its last pause comes after the last hand-over
    std::lock_guard lock(listenerPausesMutex);
    EXPECT_EQ(listenerPauses, 5);
}

TEST_F(DeviceEvents, UnplugStopsTheListenerAndPlugInStartsExactlyOne) {
    mouse.Unplug();
    DeliverQueuedEvents();
    EXPECT_FALSE(DeviceEventListenerRunning());

    mouse.Plug();
    DeliverQueuedEvents();
    EXPECT_TRUE(DeviceEventListenerRunning());
    SendAndSettle({{3, 6, 32, 0, 0, 0, 0, 0}});
    EXPECT_EQ(pendingSettings.pollingRateCode, 32);
    // Two reports read by one listener: two pauses. A second listener would read them again.
    StopDeviceEventListener();
    std::lock_guard lock(listenerPausesMutex);
    EXPECT_EQ(listenerPauses, 2);
}

TEST_F(DeviceEvents, SimulatedMouseButtonsStepTheLevelAndChooseTheRate) {
    SimulatedMouseWindow buttons(mouse);
    const int start = pendingSettings.activeCpiLevel;
    QTest::mouseClick(buttons.findChild<QPushButton*>("simulatedCpiButton"), Qt::LeftButton);
    const int next = (start + 1) % 4;
    ASSERT_TRUE(QTest::qWaitFor([&] { return pendingSettings.activeCpiLevel == next; }, 10000));
    EXPECT_TRUE(LevelRadio(next)->isChecked());
    EXPECT_EQ(MouseMemory().activeCpiLevel, next);

    auto* rates = buttons.findChild<QComboBox*>("simulatedReportRateList");
    rates->setCurrentIndex(rates->findText("2000Hz"));
    emit rates->activated(rates->currentIndex());
    ASSERT_TRUE(QTest::qWaitFor([this] { return pendingSettings.pollingRateCode == 4; }, 10000));
    EXPECT_EQ(PollingRateList()->currentText(), "2000Hz");
    EXPECT_EQ(MouseMemory().pollingRateCode, 4);
    EXPECT_FALSE(ApplyEnabled());
}

}  // namespace
