// The real hot-plug road, end to end: the uhid mouse is removed and plugged
// in on a real kernel, systemd-udevd hands the hidraw changes to the
// program's own udev monitor and hot-plug watcher (no simulated source), and
// the main window follows. Runs inside the test VM (run-vm-tests.sh) under
// QT_QPA_PLATFORM=offscreen; elsewhere every test skips.

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTabWidget>
#include <QTest>
#include <memory>
#include <set>
#include <string>

#include "app/hotplug_watcher.h"
#include "app/main_window.h"
#include "device/device_link.h"
#include "device/event_listener.h"
#include "device/udev_monitor.h"
#include "pages/basic/basic_page.h"
#include "settings/settings_image.h"
#include "support/message_recorder.h"
#include "support/test_session.h"
#include "vm/support/kernel_devices.h"
#include "vm/support/uhid_mouse_process.h"

namespace {

// Generous: the kernel, udevd and the window share two emulated CPUs, and
// every plug-in waits for the mouse to settle.

// An unrelated HID device beside the mouse.
constexpr uint16_t kOtherVendorId = 0x1A2B;
constexpr uint16_t kOtherProductId = 0x0001;

SettingsImage Image(const SettingsRecord& record) {
    SettingsImage image{};
    EncodeSettingsImage(record, image);
    return image;
}

// The user's own settings, told apart by the first level's CPI.
SettingsRecord UserSettings(uint16_t firstLevelCpi) {
    SettingsRecord record{};
    LoadDefaultSettings(record);
    record.cpiLevels[0].x = record.cpiLevels[0].y = firstLevelCpi;
    record.pollingRateCode = 8;
    return record;
}

class HotplugRoadTest : public ::testing::Test, protected TestSession {
protected:
    void SetUp() override {
        if (access("/dev/uhid", W_OK) != 0) {
            GTEST_SKIP() << "no writable /dev/uhid: these tests run inside the VM "
                            "(ctest -R vm.real_kernel)";
        }
        SetHidTransport(nullptr);  // hidapi's hidraw backend
        SetSimulatedHotplugSource(nullptr);
        deviceConnected = false;
        mouse_ = std::make_unique<UhidMouseProcess>();
        ASSERT_TRUE(mouse_->running()) << mouse_->error();
    }

    void TearDown() override {
        window_.reset();
        StopDeviceEventListener();
        other_.reset();
        mouse_.reset();
        deviceConnected = false;
        // The next test's window must not get this one's removals as news.
        CommandOutput("udevadm settle --timeout=10");
    }

    void Send(UhidMouseProcess& device, const std::string& command) {
        ASSERT_EQ(device.Command(command), "ok") << "uhid command: " << command.substr(0, 40);
    }

    // Plugs the mouse in before the window starts, and lets udev finish with
    // it, so that the window's monitor does not get the plug as news.
    void StartWindowWithTheMouse(const SettingsRecord& held) {
        ASSERT_EQ(mouse_->SetMemory(Image(held)), "ok");
        ASSERT_NO_FATAL_FAILURE(Send(*mouse_, "plug"));
        CommandOutput("udevadm settle --timeout=10");
        window_ = std::make_unique<CUpdaterDlg>(session);
        window_->Initialise();
        ASSERT_TRUE(Connected()) << "precondition: the window starts connected";
        ASSERT_TRUE(messages_.messages.isEmpty()) << messages_.messages.join("; ").toStdString();
    }

    bool Connected() const {
        return deviceConnected && window_->Tabs()->isEnabled() &&
               window_->FactoryResetButton()->isEnabled() &&
               !window_->FirmwareVersionField()->text().isEmpty();
    }
    bool Disconnected() const {
        return !deviceConnected && !window_->Tabs()->isEnabled() &&
               !window_->FactoryResetButton()->isEnabled() &&
               window_->FirmwareVersionField()->text().isEmpty();
    }

    std::string FirstLevelCpiText() const {
        return window_->FindPage<CSensorDlg>()
            ->findChild<QLineEdit*>("cpiLevelXField0")
            ->text()
            .toStdString();
    }
    std::string FirmwareText() const {
        return window_->FirmwareVersionField()->text().toStdString();
    }

    // The window's own udev socket has nothing left to read: every change
    // udevd sent it so far has gone through the watcher to the window.
    bool WindowReadEveryChange() const {
        const auto* watcher = window_->findChild<HotplugWatcher*>();
        const auto* notifier = watcher ? watcher->findChild<QSocketNotifier*>() : nullptr;
        if (!notifier) {
            ADD_FAILURE() << "the window has no udev monitor to wait for";
            return true;
        }
        pollfd fd{static_cast<int>(notifier->socket()), POLLIN, 0};
        return poll(&fd, 1, 0) == 0;
    }

    std::unique_ptr<UhidMouseProcess> mouse_;
    std::unique_ptr<UhidMouseProcess> other_;
    std::unique_ptr<CUpdaterDlg> window_;
    MessageRecorder messages_;
};

TEST_F(HotplugRoadTest, RemovalAndArrivalReachTheWindowThroughUdev) {
    const SettingsRecord held = UserSettings(1650);
    ASSERT_NO_FATAL_FAILURE(StartWindowWithTheMouse(held));
    ASSERT_EQ(FirstLevelCpiText(), "1650");

    ASSERT_NO_FATAL_FAILURE(Send(*mouse_, "unplug"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Disconnected(); }, kDeviceTimeoutMs))
        << "the removal did not reach the window";

    ASSERT_NO_FATAL_FAILURE(Send(*mouse_, "plug"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Connected(); }, kDeviceTimeoutMs))
        << "the arrival did not reach the window";
    EXPECT_EQ(FirmwareText(), "V1.07");
    EXPECT_EQ(FirstLevelCpiText(), "1650");
    EXPECT_FALSE(SettingsDiffer(pendingSettings, held));
    EXPECT_FALSE(SettingsDiffer(deviceSettings, pendingSettings));
    EXPECT_FALSE(window_->ApplyButton()->isEnabled());

    // Changed elsewhere while unplugged: the window shows what the mouse now holds.
    ASSERT_NO_FATAL_FAILURE(Send(*mouse_, "unplug"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Disconnected(); }, kDeviceTimeoutMs));
    const SettingsRecord changed = UserSettings(3300);
    ASSERT_EQ(mouse_->SetMemory(Image(changed)), "ok");
    ASSERT_NO_FATAL_FAILURE(Send(*mouse_, "plug"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Connected() && FirstLevelCpiText() == "3300"; },
                                kDeviceTimeoutMs))
        << "the window shows " << FirstLevelCpiText();
    EXPECT_FALSE(SettingsDiffer(pendingSettings, changed));
    // A later level write must build on what this mouse holds, not the earlier one's settings.
    EXPECT_FALSE(SettingsDiffer(deviceSettings, pendingSettings));
    EXPECT_TRUE(messages_.messages.isEmpty()) << messages_.messages.join("; ").toStdString();
}

TEST_F(HotplugRoadTest, AnotherDevicesNodesChangeNothing) {
    ASSERT_NO_FATAL_FAILURE(StartWindowWithTheMouse(UserSettings(1650)));
    // The test's own monitor tells when udevd has sent the other device's
    // changes; udevd sends each change to every monitor at once.
    UdevMonitor seen;
    ASSERT_TRUE(seen.Start());
    const std::string otherPrefix = HidDeviceNamePrefix(kOtherVendorId, kOtherProductId);
    size_t otherChanges = 0;
    auto awaitOtherChanges = [&](size_t count) {
        return WaitUntil(
                   [&] {
                       pollfd fd{seen.Fd(), POLLIN, 0};
                       poll(&fd, 1, 100);
                       for (const HidrawChange& change : seen.ReadChanges()) {
                           otherChanges += change.syspath.find(otherPrefix) != std::string::npos;
                       }
                       return otherChanges >= count;
                   },
                   kDeviceTimeoutMs) &&
               QTest::qWaitFor([&] { return WindowReadEveryChange(); }, kDeviceTimeoutMs);
    };

    other_ = std::make_unique<UhidMouseProcess>(
        std::vector<std::string>{"--vendor", std::to_string(kOtherVendorId), "--product",
                                 std::to_string(kOtherProductId), "--name", "Other HID device"});
    ASSERT_TRUE(other_->running()) << other_->error();
    ASSERT_NO_FATAL_FAILURE(Send(*other_, "plug"));
    ASSERT_NO_FATAL_FAILURE(Send(*other_, "unplug"));
    ASSERT_TRUE(awaitOtherChanges(4)) << "udev changes of the other device: " << otherChanges;
    EXPECT_TRUE(Connected()) << "another device's removal disconnected the window";
    EXPECT_EQ(FirmwareText(), "V1.07");

    ASSERT_NO_FATAL_FAILURE(Send(*mouse_, "unplug"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Disconnected(); }, kDeviceTimeoutMs));
    ASSERT_NO_FATAL_FAILURE(Send(*other_, "plug"));
    ASSERT_TRUE(awaitOtherChanges(6)) << "udev changes of the other device: " << otherChanges;
    EXPECT_TRUE(Disconnected()) << "another device's arrival made the window look connected";
    EXPECT_TRUE(messages_.messages.isEmpty()) << messages_.messages.join("; ").toStdString();
}

}  // namespace
