#include <gtest/gtest.h>

#include "device/device_link.h"
#include "device/simulated/simulated_mouse.h"
#include "link_test_support.h"
#include "support/sleep_recorder.h"

namespace {

class FindDeviceTest : public ::testing::Test {
protected:
    void TearDown() override { ReleaseLink(); }

    // The link holds a connection exactly when a command gets its report out.
    static bool LinkHoldsConnection() {
        std::array<uint8_t, kCommandReportSize> report{kCommandReportId, kCommandReadFirmware};
        return SetFeatureReport(report.data(), report.size());
    }

    static uint16_t FirmwareVersionRead() {
        std::array<uint8_t, kFirmwareBlockSize> block{};
        EXPECT_EQ(ReadFirmwareInfo(block), 1);
        return static_cast<uint16_t>(block[1] | (block[2] << 8));
    }

    SleepRecorder sleeps;
};

TEST_F(FindDeviceTest, FirstMouseInSystemOrderWins) {
    SimulatedMouse mice;
    mice.AddMouse();
    mice.Firmware(1).firmwareVersion = 0x0200;
    SetHidTransport(&mice);
    EXPECT_TRUE(FindDevice(kProductId));
    EXPECT_EQ(FirmwareVersionRead(), 0x0107);
}

TEST_F(FindDeviceTest, InterfaceThatFailsToOpenIsSkipped) {
    SimulatedMouse mice;
    mice.AddMouse();
    mice.Firmware(1).firmwareVersion = 0x0200;
    mice.SetOpenFailure(0, OpenFailure::AccessDenied);
    SetHidTransport(&mice);
    EXPECT_TRUE(FindDevice(kProductId));
    EXPECT_EQ(LastFindResult(), FindResult::Found);
    EXPECT_EQ(FirmwareVersionRead(), 0x0200);
}

// The controller tells the user why no mouse was connected, from the reason
// the transport gave for the configuration interface it could not open.
TEST_F(FindDeviceTest, SaysWhyNoMouseWasConnected) {
    SimulatedMouse mouse;
    SetHidTransport(&mouse);
    const struct {
        OpenFailure reason;
        FindResult result;
    } cases[] = {{OpenFailure::AccessDenied, FindResult::AccessDenied},
                 {OpenFailure::Gone, FindResult::Gone},
                 {OpenFailure::Other, FindResult::OpenFailed},
                 {OpenFailure::None, FindResult::Found}};
    for (const auto& c : cases) {
        mouse.SetOpenFailure(0, c.reason);
        EXPECT_EQ(FindDevice(kProductId), c.result == FindResult::Found);
        EXPECT_EQ(LastFindResult(), c.result) << static_cast<int>(c.reason);
    }
    mouse.Unplug();
    EXPECT_FALSE(FindDevice(kProductId));
    EXPECT_EQ(LastFindResult(), FindResult::NoMouse);
}

// Only entries of the right vendor, product, usage page and usage are opened at
// all, so nothing rejected can stay open; the first one that opens is kept.
TEST_F(FindDeviceTest, OpensOnlyConfigurationInterfaces) {
    ScriptedTransport transport;
    transport.interfaces = {
        {"mouse", kVendorId, kProductId, 0x0001, 0x0002},
        {"events", kVendorId, kProductId, kEventUsagePage, kEventUsage},
        {"other vendor", 0x1234, kProductId, kConfigUsagePage, kConfigUsage},
        {"other product", kVendorId, 0x0C7F, kConfigUsagePage, kConfigUsage},
        {"other usage", kVendorId, kProductId, kConfigUsagePage, 0x0001},
        {"busy config", kVendorId, kProductId, kConfigUsagePage, kConfigUsage},
        {"config", kVendorId, kProductId, kConfigUsagePage, kConfigUsage},
        {"second config", kVendorId, kProductId, kConfigUsagePage, kConfigUsage},
    };
    transport.failingOpens = {"busy config"};
    SetHidTransport(&transport);
    EXPECT_TRUE(FindDevice(kProductId));
    EXPECT_EQ(transport.opened, (std::vector<std::string>{"busy config", "config"}));
}

TEST_F(FindDeviceTest, NoMatchReleasesTheOldConnectionAndKeepsTheFlag) {
    SimulatedMouse mouse;
    ScriptedTransport noConfig;
    noConfig.interfaces = {
        {"mouse", kVendorId, kProductId, 0x0001, 0x0002},
        {"events", kVendorId, kProductId, kEventUsagePage, kEventUsage},
    };
    SetHidTransport(&mouse);
    ASSERT_TRUE(FindDevice(kProductId));
    ASSERT_TRUE(LinkHoldsConnection());
    SetHidTransport(&noConfig);
    EXPECT_FALSE(FindDevice(kProductId));
    EXPECT_FALSE(LinkHoldsConnection());
    EXPECT_TRUE(noConfig.opened.empty());
}

TEST_F(FindDeviceTest, FindsTheMouseAgainAfterReplug) {
    SimulatedMouse mouse;
    SetHidTransport(&mouse);
    ASSERT_TRUE(FindDevice(kProductId));
    mouse.Unplug();
    EXPECT_FALSE(FindDevice(kProductId));
    mouse.Plug();
    EXPECT_TRUE(FindDevice(kProductId));
    EXPECT_TRUE(LinkHoldsConnection());
}

}  // namespace
