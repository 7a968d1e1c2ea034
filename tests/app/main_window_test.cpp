#include "app/main_window.h"

#include <QKeyEvent>
#include <QRadioButton>
#include <QTest>

#include "app_fixture.h"
#include "pages/basic/basic_page.h"
#include "pages/click_filters/click_filters_page.h"

namespace {

using Startup = AppFixture;
using Apply = AppFixture;
using FactoryResetButton = AppFixture;
using HotPlug = AppFixture;
using MainWindow = AppFixture;

TEST_F(Startup, WithTheMouseEverythingIsEnabledAndApplyIsNot) {
    StartWindow();
    EXPECT_TRUE(deviceConnected);
    EXPECT_EQ(FirmwareText(), "V1.07");
    EXPECT_EQ(window->findChild<QLabel*>("softwareVersionField")->text(), "V1.07");
    EXPECT_TRUE(window->Tabs()->isEnabled());
    EXPECT_TRUE(window->FactoryResetButton()->isEnabled());
    EXPECT_FALSE(ApplyEnabled());
    EXPECT_FALSE(SettingsDiffer(pendingSettings, deviceSettings));
    EXPECT_TRUE(DeviceEventListenerRunning());
    EXPECT_TRUE(messages.messages.isEmpty());
}

TEST_F(Startup, ReadsWhatTheMouseHoldsIntoBothRecords) {
    SettingsRecord held = MouseMemory();
    held.pollingRateCode = 8;
    held.cpiLevels[3].x = 12000;
    held.opaqueBlock[4] = 0x42;
    SettingsImage image{};
    EncodeSettingsImage(held, image);
    mouse.Firmware().SetMemory(image);

    StartWindow();
    EXPECT_EQ(pendingSettings.pollingRateCode, 8);
    EXPECT_EQ(deviceSettings.cpiLevels[3].x, 12000);
    EXPECT_EQ(deviceSettings.opaqueBlock[4], 0x42);
    EXPECT_FALSE(ApplyEnabled());
}

TEST_F(Startup, WithoutTheMouseEverythingIsDisabledAndTheDefaultsAreHeld) {
    mouse.Unplug();
    StartWindow();
    EXPECT_FALSE(deviceConnected);
    EXPECT_TRUE(FirmwareText().isEmpty());
    EXPECT_FALSE(window->Tabs()->isEnabled());
    EXPECT_FALSE(window->FactoryResetButton()->isEnabled());
    EXPECT_FALSE(ApplyEnabled());
    SettingsRecord defaults{};
    LoadDefaultSettings(defaults);
    EXPECT_FALSE(SettingsDiffer(pendingSettings, defaults));
    EXPECT_FALSE(DeviceEventListenerRunning());
}

TEST_F(MainWindow, FirmwareVersionIsTheHexDigitsReadAsDecimal) {
    StartWindow();
    const struct {
        uint16_t version;
        const char* shown;
    } cases[] = {{0x0107, "V1.07"},
                 {0x0250, "V2.50"},
                 {0x0000, "V0.00"},
                 {0x01A3, "V0.01"},
                 {0xA123, "V0.00"}};
    for (const auto& c : cases) {
        std::array<uint8_t, kFirmwareBlockSize> block{};
        block[1] = c.version & 0xFF;
        block[2] = c.version >> 8;
        window->ShowFirmwareVersion(block);
        EXPECT_EQ(FirmwareText(), c.shown) << std::hex << c.version;
    }
}

TEST_F(MainWindow, EnterAndEscNeverCloseIt) {
    StartWindow();
    window->show();
    for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
        QTest::keyClick(window.get(), key);
        QTest::keyClick(window->FactoryResetButton(), key);
        EXPECT_TRUE(window->isVisible()) << key;
    }
    EXPECT_TRUE(sleeps.waits.empty()) << "Enter pressed Factory Reset";
    EXPECT_EQ(pendingSettings.pollingRateCode, deviceSettings.pollingRateCode);
}

TEST_F(MainWindow, TabsShowOnePageAtATimeStartingWithBasic) {
    StartWindow();
    window->show();
    QTabWidget* tabs = window->Tabs();
    ASSERT_EQ(tabs->count(), 4);
    EXPECT_EQ(tabs->tabText(0), "  Basic  ");
    EXPECT_EQ(tabs->tabText(1), "  Advanced Sensor  ");
    EXPECT_EQ(tabs->tabText(2), "  Buttons  ");
    EXPECT_EQ(tabs->tabText(3), "  Button Mapping  ");
    EXPECT_TRUE(window->FindPage<CSensorDlg>()->isVisible());
    tabs->setCurrentIndex(2);
    EXPECT_FALSE(window->FindPage<CSensorDlg>()->isVisible());
    EXPECT_TRUE(window->FindPage<CDlgDeb>()->isVisible());
}

TEST_F(Apply, ChangingAValueAndBackTogglesApply) {
    StartWindow();
    pendingSettings.motionSync = 1;
    window->RefreshApplyState();
    EXPECT_TRUE(ApplyEnabled());
    pendingSettings.motionSync = 0;
    window->RefreshApplyState();
    EXPECT_FALSE(ApplyEnabled());
}

TEST_F(Apply, BusyFirstWriteIsRetriedWithALongerWait) {
    StartWindow();
    // The mapping page edits the record as it goes; APPLY collects nothing over it.
    pendingSettings.buttons[4].code = 0x10;
    window->RefreshApplyState();
    mouse.Firmware().QueueStatuses({3});

    QTest::mouseClick(window->ApplyButton(), Qt::LeftButton);

    EXPECT_EQ(sleeps.waits, (std::vector<unsigned>{300, 350}));
    EXPECT_FALSE(ApplyEnabled());
    EXPECT_FALSE(window->WriteInProgress());
    EXPECT_EQ(MouseMemory().buttons[4].code, 0x10);
    EXPECT_EQ(deviceSettings.buttons[4].code, 0x10);
}

TEST_F(Apply, ThreeFailedWritesLeaveTheToolsPictureOfTheMouseAlone) {
    StartWindow();
    pendingSettings.buttons[4].code = 0x10;
    window->RefreshApplyState();
    mouse.Firmware().QueueStatuses({2, 2, 2});

    window->OnApply();

    EXPECT_EQ(sleeps.waits, (std::vector<unsigned>{300, 350, 400}));
    EXPECT_EQ(deviceSettings.buttons[4].code, 0x08);
    EXPECT_EQ(MouseMemory().buttons[4].code, 0x10);  // the mouse stored it but never said so
    EXPECT_TRUE(ApplyEnabled());
    EXPECT_FALSE(window->WriteInProgress());
}

TEST_F(Apply, WithoutTheMouseNothingHappens) {
    StartWindow();
    mouse.Unplug();
    DeliverQueuedEvents();
    pendingSettings.angleSnapping = 1;
    const SettingsRecord before = deviceSettings;

    window->OnApply();

    EXPECT_TRUE(sleeps.waits.empty());
    EXPECT_FALSE(SettingsDiffer(deviceSettings, before));
    EXPECT_FALSE(window->WriteInProgress());
    EXPECT_TRUE(messages.messages.isEmpty());
}

TEST_F(Apply, WhileAnotherWriteRunsNothingIsSent) {
    StartWindow();
    pendingSettings.angleSnapping = 1;
    size_t sentByNestedApply = SIZE_MAX;
    sleeps.duringNextWait = [&] {
        EXPECT_TRUE(window->WriteInProgress());
        const size_t before = mouse.SentReports().size();
        window->OnApply();
        sentByNestedApply = mouse.SentReports().size() - before;
    };
    window->OnApply();
    EXPECT_EQ(sentByNestedApply, 0u);
    EXPECT_FALSE(window->WriteInProgress());
}

TEST_F(FactoryResetButton, AsksFirstAndNoLeavesTheMouseAlone) {
    SetMouseMemory(UsersOwnSettings());
    StartWindow();
    const SettingsImage before = mouse.Firmware().Memory();
    messages.answer = Answer::No;

    QTest::mouseClick(window->FactoryResetButton(), Qt::LeftButton);

    EXPECT_EQ(messages.questions,
              QStringList{"Restore the factory settings? Every setting on the mouse is replaced."});
    EXPECT_TRUE(sleeps.waits.empty());
    EXPECT_EQ(mouse.Firmware().Memory(), before);
    EXPECT_FALSE(SettingsDiffer(pendingSettings, UsersOwnSettings()));
}

// The mouse's own factory image decides, hidden bytes included: nothing of
// the settings before the reset is left to be written back by a later level click.
TEST_F(FactoryResetButton, ResetReadsTheMouseBackIntoBothRecords) {
    SettingsRecord own = UsersOwnSettings();
    own.opaqueBlock[0] = 0x77;
    SetMouseMemory(own);
    StartWindow();
    window->show();

    QTest::mouseClick(window->FactoryResetButton(), Qt::LeftButton);

    EXPECT_EQ(sleeps.waits, (std::vector<unsigned>{1100, 80}));
    EXPECT_EQ(mouse.Firmware().Memory(), MouseFirmware::FactoryImage());
    EXPECT_FALSE(SettingsDiffer(pendingSettings, MouseMemory()));
    EXPECT_FALSE(SettingsDiffer(deviceSettings, MouseMemory()));
    EXPECT_EQ(pendingSettings.opaqueBlock[0], MouseMemory().opaqueBlock[0]);
    EXPECT_FALSE(ApplyEnabled());

    SettingsRecord factory{};
    DecodeSettingsImage(MouseFirmware::FactoryImage(), factory);
    QTest::mouseClick(window->findChild<QRadioButton*>("cpiLevelRadio2"), Qt::LeftButton);
    EXPECT_EQ(MouseMemory().activeCpiLevel, 2);
    EXPECT_EQ(MouseMemory().opaqueBlock, factory.opaqueBlock);
}

TEST_F(FactoryResetButton, UnconfirmedResetShowsWhatTheMouseHoldsNow) {
    SetMouseMemory(UsersOwnSettings());
    StartWindow();
    mouse.Firmware().QueueStatuses({2});

    window->OnFactoryReset();

    EXPECT_EQ(window->Status(), DeviceStatus::ResetNotConfirmed);
    EXPECT_FALSE(SettingsDiffer(pendingSettings, MouseMemory()));
    EXPECT_FALSE(SettingsDiffer(deviceSettings, MouseMemory()));
    EXPECT_TRUE(window->Tabs()->isEnabled());
}

TEST_F(FactoryResetButton, NoAnswerAfterTheResetLeavesThePagesDisabled) {
    StartWindow();
    mouse.FailFetches(HidResult::Error, 100);

    window->OnFactoryReset();

    EXPECT_EQ(window->Status(), DeviceStatus::NotAnsweringAfterReset);
    ExpectNothingEnabled();
}

TEST_F(HotPlug, UnplugEmptiesTheVersionAndDisablesEverything) {
    StartWindow();
    mouse.Unplug();
    DeliverQueuedEvents();
    ExpectNothingEnabled();
}

TEST_F(HotPlug, PlugInWaitsOnceThenReloadsFromTheMouse) {
    StartWindow();
    mouse.Unplug();
    DeliverQueuedEvents();
    SettingsRecord changed = MouseMemory();
    changed.liftOffDistance = 2;
    SettingsImage image{};
    EncodeSettingsImage(changed, image);
    mouse.Firmware().SetMemory(image);
    sleeps.waits.clear();

    mouse.Plug();  // three interfaces, three notifications
    DeliverQueuedEvents();

    ASSERT_FALSE(sleeps.waits.empty());
    EXPECT_EQ(sleeps.waits.front(), 900u);
    EXPECT_EQ(std::count(sleeps.waits.begin(), sleeps.waits.end(), 900u), 1);
    EXPECT_TRUE(deviceConnected);
    EXPECT_EQ(FirmwareText(), "V1.07");
    EXPECT_TRUE(window->Tabs()->isEnabled());
    EXPECT_FALSE(ApplyEnabled());
    EXPECT_EQ(pendingSettings.liftOffDistance, 2);
    EXPECT_TRUE(DeviceEventListenerRunning());
}

TEST_F(HotPlug, OtherDevicesAndLaterInterfacesChangeNothing) {
    StartWindow();
    window->OnDeviceChange(CUpdaterDlg::DeviceChange::Removal,
                           "/sys/devices/pci0000:00/0003:1A2B:3C4D.0004/hidraw/hidraw3");
    EXPECT_TRUE(deviceConnected);
    window->OnDeviceChange(CUpdaterDlg::DeviceChange::Arrival,
                           mouse.InterfacePaths()[2]);  // already connected
    EXPECT_TRUE(sleeps.waits.empty());

    mouse.Unplug();
    DeliverQueuedEvents();
    window->OnDeviceChange(CUpdaterDlg::DeviceChange::Arrival,
                           "/sys/devices/virtual/hid/0003:5B29:0C7F.0009/hidraw/hidraw9");
    EXPECT_TRUE(sleeps.waits.empty());
    EXPECT_FALSE(deviceConnected);
}

// A plug-in reads the mouse into both records, as start-up does: a level
// written afterwards carries the mouse's own values in the fields it takes
// from the tool's picture of the mouse, never the factory ones.
TEST_F(HotPlug, PlugInReadsTheMouseIntoBothRecordsSoALevelWriteKeepsItsSettings) {
    mouse.Unplug();
    StartWindow();
    window->show();
    const SettingsRecord own = UsersOwnSettings();
    SetMouseMemory(own);

    mouse.Plug();
    DeliverQueuedEvents();

    EXPECT_FALSE(SettingsDiffer(pendingSettings, own));
    EXPECT_FALSE(SettingsDiffer(deviceSettings, own));
    EXPECT_FALSE(ApplyEnabled());
    QTest::mouseClick(window->findChild<QRadioButton*>("cpiLevelRadio2"), Qt::LeftButton);
    SettingsRecord expected = own;
    expected.activeCpiLevel = 2;
    EXPECT_FALSE(SettingsDiffer(MouseMemory(), expected));
    EXPECT_EQ(MouseMemory().liftOffDistance, 2);
    EXPECT_EQ(MouseMemory().cpiLevels[3].x, 6400);
}

TEST_F(HotPlug, AMouseThisUserMayNotOpenCostsOneWaitAndEnablesNothing) {
    StartWindow();
    mouse.Unplug();
    DeliverQueuedEvents();
    mouse.SetOpenFailure(0, OpenFailure::AccessDenied);
    sleeps.waits.clear();

    mouse.Plug();  // three interfaces, three notifications
    DeliverQueuedEvents();

    EXPECT_EQ(sleeps.waits, (std::vector<unsigned>{900}));
    ExpectNothingEnabled();
    EXPECT_EQ(window->Status(), DeviceStatus::AccessDenied);

    // Notifications of the same plug-in that come after it was tried, one by
    // one, do not try again: the permission stays denied.
    for (const std::string& path : mouse.InterfacePaths()) {
        window->OnDeviceChange(CUpdaterDlg::DeviceChange::Arrival, path);
        DeliverQueuedEvents();
    }
    EXPECT_EQ(sleeps.waits, (std::vector<unsigned>{900}));

    // Replugged once the rule is in place, it connects.
    mouse.Unplug();
    DeliverQueuedEvents();
    mouse.SetOpenFailure(0, OpenFailure::None);
    mouse.Plug();
    DeliverQueuedEvents();
    EXPECT_EQ(std::count(sleeps.waits.begin(), sleeps.waits.end(), 900u), 2);
    EXPECT_TRUE(deviceConnected);
    EXPECT_TRUE(window->Tabs()->isEnabled());
}

TEST_F(HotPlug, AMouseThatDoesNotAnswerIsTriedOneRoundAndEnablesNothing) {
    StartWindow();
    mouse.Unplug();
    DeliverQueuedEvents();
    mouse.FailSends(HidResult::Error, 1000);
    sleeps.waits.clear();

    mouse.Plug();
    DeliverQueuedEvents();

    // Five firmware reads (each spends the mouse's 50 ms), 100 ms between them;
    // without an answer there is no settings read to try.
    EXPECT_EQ(sleeps.waits, (std::vector<unsigned>{900, 50, 100, 50, 100, 50, 100, 50, 100, 50}));
    ExpectNothingEnabled();
    EXPECT_EQ(window->Status(), DeviceStatus::NotAnswering);
}

// The system may list the mouse's interfaces one at a time: a configuration
// interface that appears only after the settle wait of the first one's
// arrival is connected on its own arrival, and so is the event interface's
// listener when that comes last.
TEST_F(HotPlug, InterfacesThatAppearAfterTheSettleWaitAreStillConnected) {
    StartWindow();
    mouse.Unplug();
    DeliverQueuedEvents();
    const SettingsRecord own = UsersOwnSettings();
    SetMouseMemory(own);
    sleeps.waits.clear();

    mouse.PlugInterfaces(1);  // the ordinary mouse interface alone
    DeliverQueuedEvents();
    EXPECT_EQ(sleeps.waits, (std::vector<unsigned>{900}));
    ExpectNothingEnabled();
    EXPECT_EQ(window->Status(), DeviceStatus::NoMouse);

    mouse.PlugInterfaces(2);  // its configuration interface
    DeliverQueuedEvents();
    EXPECT_EQ(std::count(sleeps.waits.begin(), sleeps.waits.end(), 900u), 2);
    EXPECT_TRUE(deviceConnected);
    EXPECT_EQ(FirmwareText(), "V1.07");
    EXPECT_TRUE(window->Tabs()->isEnabled());
    EXPECT_FALSE(SettingsDiffer(pendingSettings, own));
    EXPECT_EQ(window->Status(), DeviceStatus::Connected);

    mouse.PlugInterfaces(3);  // its event interface
    DeliverQueuedEvents();
    EXPECT_EQ(std::count(sleeps.waits.begin(), sleeps.waits.end(), 900u), 2);
    EXPECT_TRUE(DeviceEventListenerRunning());
    ASSERT_TRUE(mouse.WaitUntilInputTaken());
    EXPECT_EQ(mouse.ReadersWaitingWithoutLimit(), 1u) << "nothing listens to the mouse";
}

TEST_F(HotPlug, RemovedDuringTheSettleWaitEndsDisconnected) {
    StartWindow();
    mouse.Unplug();
    DeliverQueuedEvents();
    SetSleepHook([this](unsigned ms) {
        sleeps.waits.push_back(ms);
        if (ms == 900) {
            mouse.Unplug();
        }
    });

    mouse.Plug();
    DeliverQueuedEvents();

    ExpectNothingEnabled();
    EXPECT_EQ(window->Status(), DeviceStatus::NoMouse);
    EXPECT_EQ(std::count(sleeps.waits.begin(), sleeps.waits.end(), 900u), 1);

    // Its removal notifications were not lost: the next plug-in connects.
    SetSleepHook([this](unsigned ms) { sleeps.waits.push_back(ms); });
    mouse.Plug();
    DeliverQueuedEvents();
    EXPECT_TRUE(deviceConnected);
    EXPECT_EQ(FirmwareText(), "V1.07");
    EXPECT_TRUE(window->Tabs()->isEnabled());
}

}  // namespace
