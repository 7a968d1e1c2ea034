// The device code against a real kernel: hidapi's hidraw backend, the kernel's
// HID core parsing the mouse's descriptors, hidraw nodes, a real udev monitor
// and systemd-udevd. Runs inside the test VM (run-vm-tests.sh), where the
// uhid mouse (tools/uhid-mouse) gives the kernel a mouse; elsewhere every
// test skips.

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "device/device_link.h"
#include "device/event_listener.h"
#include "device/hid_transport.h"
#include "device/hidapi_transport.h"
#include "device/mouse_firmware.h"
#include "device/sleep.h"
#include "device/udev_monitor.h"
#include "device/write_retries.h"
#include "settings/settings_image.h"
#include "vm/support/kernel_devices.h"
#include "vm/support/uhid_mouse_process.h"

namespace {

// Generous: the kernel, udevd and the tests share two emulated CPUs.

// An unrelated HID device beside the mouse.
constexpr uint16_t kOtherVendorId = 0x1A2B;
constexpr uint16_t kOtherProductId = 0x0001;

bool IsConfigInterface(const HidInterfaceInfo& info) {
    return info.usagePage == kConfigUsagePage && info.usage == kConfigUsage;
}

bool IsEventInterface(const HidInterfaceInfo& info) {
    return info.usagePage == kEventUsagePage && info.usage == kEventUsage;
}

std::vector<HidInterfaceInfo> MouseInterfaces() {
    return CurrentHidTransport().Enumerate(kVendorId, kProductId);
}

bool BothInterfacesListed() {
    const std::vector<HidInterfaceInfo> interfaces = MouseInterfaces();
    return std::any_of(interfaces.begin(), interfaces.end(), IsConfigInterface) &&
           std::any_of(interfaces.begin(), interfaces.end(), IsEventInterface);
}

std::set<std::string> HidDeviceNames(const std::vector<std::string>& nodes) {
    std::set<std::string> names;
    for (const std::string& node : nodes) {
        names.insert(HidDeviceName(node));
    }
    return names;
}

// The HID device name inside a udev syspath, e.g. ".../0003:5B29:0C7E.0001/hidraw/hidraw0".
std::string HidDeviceNameInSyspath(const std::string& syspath, const std::string& prefix) {
    const size_t start = syspath.find(prefix);
    if (start == std::string::npos) {
        return {};
    }
    return syspath.substr(start, syspath.find('/', start) - start);
}

// Waits records every device wait, and waits for real: the mouse is real.
class RecordingSleep {
public:
    RecordingSleep() {
        SetSleepHook([this](unsigned ms) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                waits_.push_back(ms);
            }
            usleep(ms * 1000u);
        });
    }
    ~RecordingSleep() { SetSleepHook({}); }
    RecordingSleep(const RecordingSleep&) = delete;
    RecordingSleep& operator=(const RecordingSleep&) = delete;

    std::vector<unsigned> Waits() {
        std::lock_guard<std::mutex> lock(mutex_);
        return waits_;
    }

private:
    std::mutex mutex_;
    std::vector<unsigned> waits_;
};

// Events handed over by the listener thread.
class EventRecorder {
public:
    void Record(uint8_t code, uint8_t value) {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.emplace_back(code, value);
        changed_.notify_all();
    }
    bool WaitForCount(size_t count) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(kDeviceTimeoutMs),
                                 [&] { return events_.size() >= count; });
    }
    std::vector<std::pair<uint8_t, uint8_t>> Events() {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::pair<uint8_t, uint8_t>> events_;
};

class RealStackTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (access("/dev/uhid", W_OK) != 0) {
            GTEST_SKIP() << "no writable /dev/uhid: these tests run inside the VM "
                            "(ctest -R vm.real_kernel)";
        }
        SetHidTransport(nullptr);  // hidapi's hidraw backend
        mouse_ = std::make_unique<UhidMouseProcess>();
        ASSERT_TRUE(mouse_->running()) << mouse_->error();
    }

    void TearDown() override {
        StopDeviceEventListener();
        SetDeviceEventHandler({});
        mouse_.reset();  // unplugs
    }

    void Send(const std::string& command) {
        ASSERT_EQ(mouse_->Command(command), "ok") << "uhid mouse command: " << command;
    }

    void Plug(const std::string& command = "plug") {
        ASSERT_NO_FATAL_FAILURE(Send(command));
        ASSERT_TRUE(WaitUntil(BothInterfacesListed, kDeviceTimeoutMs))
            << "hidapi does not list both interfaces of the plugged mouse";
    }

    void PlugAndFind() {
        ASSERT_NO_FATAL_FAILURE(Plug());
        ASSERT_TRUE(FindDevice(kProductId));
    }

    SettingsImage MouseMemory() {
        const std::optional<SettingsImage> memory = mouse_->Memory();
        EXPECT_TRUE(memory) << "the uhid mouse did not send its memory";
        return memory.value_or(SettingsImage{});
    }

    std::unique_ptr<UhidMouseProcess> mouse_;
};

TEST_F(RealStackTest, DiscoveryPicksTheConfigurationInterfaceByUsage) {
    // The event interface first, so that the first entry of the vendor and
    // product is the wrong one.
    ASSERT_NO_FATAL_FAILURE(Plug("plug events-first"));
    const std::vector<HidInterfaceInfo> interfaces = MouseInterfaces();
    ASSERT_EQ(interfaces.size(), 2u) << "one entry per top-level collection";
    ASSERT_TRUE(IsEventInterface(interfaces[0])) << "precondition: event interface listed first";

    ASSERT_TRUE(FindDevice(kProductId));
    // Only the configuration interface answers feature reports.
    std::array<uint8_t, kFirmwareBlockSize> block{};
    EXPECT_EQ(ReadFirmwareInfo(block), 1);
}

// The reason of a failed open, from hidraw itself: a node that has gone with
// its mouse. (A node this user may not open: user_access_test.cpp.)
TEST_F(RealStackTest, OpenSaysWhyItFailedAndNothingAfterItWorked) {
    ASSERT_NO_FATAL_FAILURE(Plug());
    const std::vector<HidInterfaceInfo> interfaces = MouseInterfaces();
    const auto config = std::find_if(interfaces.begin(), interfaces.end(), IsConfigInterface);
    ASSERT_NE(config, interfaces.end());
    HidapiTransport& transport = DefaultHidapiTransport();

    EXPECT_EQ(transport.Open("/dev/hidraw-none"), nullptr);
    ASSERT_EQ(transport.LastOpenFailure(), OpenFailure::Gone);
    EXPECT_NE(transport.Open(config->path), nullptr);
    EXPECT_EQ(transport.LastOpenFailure(), OpenFailure::None);

    ASSERT_NO_FATAL_FAILURE(Send("unplug"));
    ASSERT_TRUE(WaitUntil([] { return MouseInterfaces().empty(); }, kDeviceTimeoutMs));
    EXPECT_EQ(transport.Open(config->path), nullptr);
    EXPECT_EQ(transport.LastOpenFailure(), OpenFailure::Gone);
}

TEST_F(RealStackTest, FindDeviceFailsForAnotherProduct) {
    ASSERT_NO_FATAL_FAILURE(Plug());
    EXPECT_FALSE(FindDevice(kProductId + 1));
}

TEST_F(RealStackTest, ReadsFirmwareVersion107) {
    ASSERT_NO_FATAL_FAILURE(PlugAndFind());
    std::array<uint8_t, kFirmwareBlockSize> block{};
    ASSERT_EQ(ReadFirmwareInfo(block), 1);
    EXPECT_EQ(block[1] + 256u * block[2], 0x0107u);
}

TEST_F(RealStackTest, ReadModifyWriteAndReadBack) {
    ASSERT_NO_FATAL_FAILURE(PlugAndFind());
    ASSERT_EQ(ReadSettings(), 1);
    EXPECT_EQ(lastReadImage, MouseFirmware::FactoryImage());

    SettingsRecord changed{};
    DecodeSettingsImage(lastReadImage, changed);
    changed.cpiLevels[1].x = 1650;
    changed.cpiLevels[1].y = 3200;
    changed.cpiLevels[1].separateXY = 1;
    changed.pollingRateCode = 8;
    changed.sensorAngle = -7;
    changed.buttons[5].kind = 2;
    changed.buttons[5].code = 0x1E;
    ASSERT_TRUE(WriteSettingsWithRetries(changed));

    SettingsImage expected{};
    EncodeSettingsImage(changed, expected);
    EXPECT_EQ(MouseMemory(), expected) << "the mouse holds the image the tool wrote";

    lastReadImage = {};
    ASSERT_EQ(ReadSettings(), 1);
    EXPECT_EQ(lastReadImage, expected);
}

TEST_F(RealStackTest, FactoryResetRestoresTheFactoryImage) {
    ASSERT_NO_FATAL_FAILURE(PlugAndFind());
    ASSERT_EQ(ReadSettings(), 1);
    SettingsRecord changed{};
    DecodeSettingsImage(lastReadImage, changed);
    changed.liftOffDistance ^= 1;
    changed.cpiLevels[0].x = 450;
    ASSERT_TRUE(WriteSettingsWithRetries(changed));
    ASSERT_NE(MouseMemory(), MouseFirmware::FactoryImage());

    EXPECT_EQ(FactoryReset(), 1);
    EXPECT_EQ(MouseMemory(), MouseFirmware::FactoryImage());
    ASSERT_EQ(ReadSettings(), 1);
    EXPECT_EQ(lastReadImage, MouseFirmware::FactoryImage());
}

TEST_F(RealStackTest, BusyAnswerIsPolledThroughToSuccess) {
    ASSERT_NO_FATAL_FAILURE(PlugAndFind());
    // First fetch busy, first poll busy, second poll done.
    ASSERT_NO_FATAL_FAILURE(Send("statuses 3 3 1"));
    RecordingSleep sleep;
    std::array<uint8_t, kFirmwareBlockSize> block{};
    ASSERT_EQ(ReadFirmwareInfo(block), 1);
    EXPECT_EQ(block[1] + 256u * block[2], 0x0107u);
    // The command's wait, then 100 before each poll and 0 after the busy one.
    EXPECT_EQ(sleep.Waits(), (std::vector<unsigned>{50, 100, 0, 100}));
    EXPECT_EQ(mouse_->Command("counts"), "ok get=3 set=1");
}

TEST_F(RealStackTest, UnplugAndPlugAreSeenByTheUdevMonitor) {
    ASSERT_NO_FATAL_FAILURE(PlugAndFind());
    const std::string prefix = HidDeviceNamePrefix(kVendorId, kProductId);
    const std::set<std::string> oldNames = HidDeviceNames(HidrawNodes(kVendorId, kProductId));
    ASSERT_EQ(oldNames.size(), 2u);

    // udevd hands events on only after its rules ran, well after the kernel's;
    // the plug's own arrivals must not reach the monitor as news.
    CommandOutput("udevadm settle --timeout=10");
    UdevMonitor monitor;
    ASSERT_TRUE(monitor.Start());
    // Collects changes of the mouse until `names` holds `count` device names.
    auto collect = [&](bool arrived, std::set<std::string>& names) {
        return WaitUntil(
            [&] {
                pollfd fd{monitor.Fd(), POLLIN, 0};
                poll(&fd, 1, 100);
                for (const HidrawChange& change : monitor.ReadChanges()) {
                    const std::string name = HidDeviceNameInSyspath(change.syspath, prefix);
                    if (!name.empty()) {
                        EXPECT_EQ(change.arrived, arrived) << change.syspath;
                        names.insert(name);
                    }
                }
                return names.size() >= 2;
            },
            kDeviceTimeoutMs);
    };

    ASSERT_NO_FATAL_FAILURE(Send("unplug"));
    std::set<std::string> removed;
    ASSERT_TRUE(collect(false, removed)) << "removals seen: " << removed.size();
    EXPECT_EQ(removed, oldNames);
    // The link's handle is dead now: commands fail instead of hanging.
    std::array<uint8_t, kFirmwareBlockSize> block{};
    EXPECT_NE(ReadFirmwareInfo(block), 1);

    ASSERT_NO_FATAL_FAILURE(Plug());
    std::set<std::string> arrived;
    ASSERT_TRUE(collect(true, arrived)) << "arrivals seen: " << arrived.size();
    for (const std::string& name : arrived) {
        EXPECT_EQ(oldNames.count(name), 0u) << name << " is a new device and has a new name";
    }
    EXPECT_EQ(arrived, HidDeviceNames(HidrawNodes(kVendorId, kProductId)));

    ASSERT_TRUE(FindDevice(kProductId));
    EXPECT_EQ(ReadFirmwareInfo(block), 1);
}

TEST_F(RealStackTest, ListenerDeliversEventsAndStopsOnUnplug) {
    ASSERT_NO_FATAL_FAILURE(Plug());
    EventRecorder recorder;
    SetDeviceEventHandler([&](uint8_t code, uint8_t value) { recorder.Record(code, value); });
    ASSERT_EQ(StartDeviceEventListener(), 5);
    // hidraw drops input while nobody has the node open.
    ASSERT_NO_FATAL_FAILURE(Send("await-open"));

    ASSERT_NO_FATAL_FAILURE(Send("input 03 02 02"));
    ASSERT_NO_FATAL_FAILURE(Send("input 03 07 01"));  // not an event the tool knows
    ASSERT_NO_FATAL_FAILURE(Send("input 03 06 08"));
    ASSERT_TRUE(recorder.WaitForCount(2));
    EXPECT_EQ(recorder.Events(),
              (std::vector<std::pair<uint8_t, uint8_t>>{{0x02, 0x02}, {0x06, 0x08}}));
    EXPECT_TRUE(DeviceEventListenerRunning());

    ASSERT_NO_FATAL_FAILURE(Send("unplug"));
    EXPECT_TRUE(WaitUntil([] { return !DeviceEventListenerRunning(); }, kDeviceTimeoutMs))
        << "the listener goes on reading a removed mouse";
    StopDeviceEventListener();  // joins; a hang here ends in the VM's watchdog

    // A new listener for the mouse plugged in again.
    ASSERT_NO_FATAL_FAILURE(Plug());
    ASSERT_EQ(StartDeviceEventListener(), 5);
    ASSERT_NO_FATAL_FAILURE(Send("await-open"));
    ASSERT_NO_FATAL_FAILURE(Send("input 03 02 01"));
    ASSERT_TRUE(recorder.WaitForCount(3));
    EXPECT_EQ(recorder.Events().back(), (std::pair<uint8_t, uint8_t>{0x02, 0x01}));
}

TEST_F(RealStackTest, MouseThatStopsAnsweringFailsTheCommandWithoutHanging) {
    ASSERT_NO_FATAL_FAILURE(PlugAndFind());
    ASSERT_NO_FATAL_FAILURE(Send("silent on"));
    std::array<uint8_t, kFirmwareBlockSize> untouched;
    untouched.fill(0xEE);
    std::array<uint8_t, kFirmwareBlockSize> block = untouched;
    // The kernel gives up on each request after about five seconds.
    EXPECT_NE(ReadFirmwareInfo(block), 1);
    EXPECT_EQ(block, untouched) << "the block keeps its contents";

    // The mouse answers again: the link works on, with no stale answer in the way.
    ASSERT_NO_FATAL_FAILURE(Send("silent off"));
    ASSERT_EQ(ReadFirmwareInfo(block), 1);
    EXPECT_EQ(block[1] + 256u * block[2], 0x0107u);
}

TEST_F(RealStackTest, UdevRuleTagsOnlyTheMouseNodesWithUaccess) {
    ASSERT_EQ(access("/etc/udev/rules.d/70-kestrine-xq3.rules", R_OK), 0)
        << "the VM did not install packaging/70-kestrine-xq3.rules";
    UhidMouseProcess other({"--vendor", std::to_string(kOtherVendorId), "--product",
                            std::to_string(kOtherProductId), "--name", "Other HID device"});
    ASSERT_TRUE(other.running()) << other.error();
    ASSERT_EQ(other.Command("plug"), "ok");
    ASSERT_NO_FATAL_FAILURE(Plug());
    CommandOutput("udevadm settle --timeout=10");

    auto tags = [](const std::string& node) {
        const std::string properties =
            CommandOutput("udevadm info --query=property --name=" + node);
        const size_t start = properties.find("\nTAGS=");
        return start == std::string::npos
                   ? std::string()
                   : properties.substr(start + 6, properties.find('\n', start + 1) - start - 6);
    };
    const std::vector<std::string> mouseNodes = HidrawNodes(kVendorId, kProductId);
    const std::vector<std::string> otherNodes = HidrawNodes(kOtherVendorId, kOtherProductId);
    ASSERT_EQ(mouseNodes.size(), 2u);
    ASSERT_EQ(otherNodes.size(), 2u);
    for (const std::string& node : mouseNodes) {
        EXPECT_NE(tags(node).find(":uaccess:"), std::string::npos) << node << ": " << tags(node);
    }
    for (const std::string& node : otherNodes) {
        EXPECT_EQ(tags(node).find(":uaccess:"), std::string::npos) << node << ": " << tags(node);
    }
}

}  // namespace
