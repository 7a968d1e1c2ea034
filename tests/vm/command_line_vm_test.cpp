// The command-line face against the uhid mouse of a real kernel: show reads
// it through hidraw and hidapi, import writes a profile onto it. Runs inside
// the test VM (run-vm-tests.sh); elsewhere every test skips.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "device/device_link.h"
#include "device/hid_transport.h"
#include "device/mouse_firmware.h"
#include "settings/settings_image.h"
#include "vm/support/kernel_devices.h"
#include "vm/support/uhid_mouse_process.h"

namespace {

struct ProgramRun {
    int status = -1;
    std::string output;  // stdout and stderr
};

ProgramRun RunProgram(const std::string& arguments) {
    ProgramRun run;
    const std::string command = std::string(KESTRINE_CONFIG_PROGRAM) + " " + arguments + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) {
        return run;
    }
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        run.output.append(buffer, n);
    }
    const int wait = ::pclose(pipe);
    run.status = WIFEXITED(wait) ? WEXITSTATUS(wait) : -1;
    return run;
}

bool ConfigurationInterfaceListed() {
    for (const HidInterfaceInfo& info : CurrentHidTransport().Enumerate(kVendorId, kProductId)) {
        if (info.usagePage == kConfigUsagePage && info.usage == kConfigUsage) {
            return true;
        }
    }
    return false;
}

class CommandLineVmTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (access("/dev/uhid", W_OK) != 0) {
            GTEST_SKIP() << "no writable /dev/uhid: these tests run inside the VM "
                            "(ctest -R vm.real_kernel)";
        }
        SetHidTransport(nullptr);
        mouse_ = std::make_unique<UhidMouseProcess>();
        ASSERT_TRUE(mouse_->running()) << mouse_->error();
        ASSERT_EQ(mouse_->Command("plug"), "ok");
        ASSERT_TRUE(WaitUntil(ConfigurationInterfaceListed, kDeviceTimeoutMs));
    }

    void TearDown() override { mouse_.reset(); }

    SettingsImage MouseMemory() {
        const std::optional<SettingsImage> memory = mouse_->Memory();
        EXPECT_TRUE(memory) << "the uhid mouse did not send its memory";
        return memory.value_or(SettingsImage{});
    }

    std::unique_ptr<UhidMouseProcess> mouse_;
};

TEST_F(CommandLineVmTest, ShowReadsTheMouseThroughTheKernel) {
    const ProgramRun run = RunProgram("show");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("\npolling_rate_hz = 8000\n"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("\nwheel_down = \"SCROLL DOWN\"\n"), std::string::npos);
}

TEST_F(CommandLineVmTest, ImportWritesTheProfileOntoTheMouse) {
    const std::string profile = "/tmp/kestrine-vm-profile.toml";
    std::ofstream(profile) << "format = 1\npolling_rate_hz = 1000\nsensor_angle = -7\n"
                              "forward = \"key:Ctrl+F13\"\n";
    const ProgramRun run = RunProgram("import " + profile);
    ASSERT_EQ(run.status, 0) << run.output;

    SettingsRecord expected{};
    DecodeSettingsImage(MouseFirmware::FactoryImage(), expected);
    expected.pollingRateCode = 8;
    expected.sensorAngle = -7;
    SettingsRecord held{};
    DecodeSettingsImage(MouseMemory(), held);
    EXPECT_EQ(held.pollingRateCode, 8);
    EXPECT_EQ(held.sensorAngle, -7);
    EXPECT_EQ(held.buttons[3].kind, 0x02);  // a keyboard key
    held.buttons[3] = expected.buttons[3];
    EXPECT_FALSE(SettingsDiffer(held, expected)) << "only the profile's settings changed";

    const ProgramRun shown = RunProgram("show");
    EXPECT_NE(shown.output.find("\nforward = \"key:Ctrl+F13\"\n"), std::string::npos)
        << shown.output;
}

TEST_F(CommandLineVmTest, AnUnpluggedMouseIsReportedWithStatusOne) {
    ASSERT_EQ(mouse_->Command("unplug"), "ok");
    ASSERT_TRUE(WaitUntil([] { return !ConfigurationInterfaceListed(); }, kDeviceTimeoutMs));
    const ProgramRun run = RunProgram("show");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("No mouse found"), std::string::npos) << run.output;
}

}  // namespace
