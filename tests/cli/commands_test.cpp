// The commands against a simulated mouse: what they print, their exit
// statuses, and what reaches the mouse (nothing, when anything is wrong).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/commands.h"
#include "device/device_link.h"
#include "device/find_result_text.h"
#include "device/simulated_mouse.h"
#include "platform/instance_lock.h"
#include "profile/profile.h"
#include "settings/button_actions.h"
#include "settings/key_table.h"
#include "support/sleep_recorder.h"
#include "support/unbindable_keys.h"

namespace {

namespace fs = std::filesystem;

class CommandsTest : public ::testing::Test {
protected:
    CommandsTest() {
        folder_ = fs::temp_directory_path() /
                  ("kestrine-cli-test-" + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder_);
        fs::permissions(folder_, fs::perms::owner_all);
        SetHidTransport(&mouse);
    }
    ~CommandsTest() override {
        ReleaseDevice();
        SetHidTransport(nullptr);
        fs::remove_all(folder_);
    }

    int Run(std::vector<std::string> arguments, const std::string& input = {}) {
        const ParseResult parsed = ParseCommandLine(arguments);
        EXPECT_TRUE(parsed.commandLine) << parsed.error;
        if (!parsed.commandLine) {
            return -1;
        }
        std::istringstream in(input);
        out.str({});
        err.str({});
        CommandStreams streams{in, out, err, folder_.string()};
        const int status = RunCommand(*parsed.commandLine, streams);
        ReleaseDevice();
        return status;
    }

    std::string Path(const char* name) const { return (folder_ / name).string(); }

    static void WriteFile(const std::string& path, const std::string& text) {
        std::ofstream(path) << text;
    }

    const SettingsImage& Memory() { return mouse.Firmware().Memory(); }

    static SettingsImage FactoryImage() { return MouseFirmware::FactoryImage(); }

    SimulatedMouse mouse;
    SleepRecorder sleeps;
    std::ostringstream out;
    std::ostringstream err;
    fs::path folder_;
};

TEST_F(CommandsTest, ShowPrintsTheMousesSettingsAsAProfile) {
    EXPECT_EQ(Run({"show"}), kExitDone) << err.str();
    EXPECT_NE(out.str().find("\npolling_rate_hz = 8000\n"), std::string::npos) << out.str();
    EXPECT_EQ(sleeps.waits, std::vector<unsigned>{80});  // the settings read's own wait only
    EXPECT_EQ(err.str(), "");
}

TEST_F(CommandsTest, ShowJsonHoldsTheSameSettings) {
    EXPECT_EQ(Run({"show", "--json"}), kExitDone) << err.str();
    const std::string json = out.str();
    EXPECT_EQ(json.front(), '{');
    EXPECT_NE(json.find("\"polling_rate_hz\" : 8000"), std::string::npos) << json;
    EXPECT_NE(json.find("\"wheel_up\" : \"SCROLL UP\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"cpi_level\" : ["), std::string::npos) << json;
}

TEST_F(CommandsTest, InfoShowsFirmwarePathAndAccess) {
    EXPECT_EQ(Run({"info"}), kExitDone) << err.str();
    EXPECT_EQ(out.str(), "Firmware version: V1.07\nDevice path: " + mouse.InterfacePaths()[1] +
                             "\nAccess: Mouse connected.\n");
}

TEST_F(CommandsTest, AnAbsentMouseIsSaidAsTheWindowSaysIt) {
    mouse.Unplug();
    for (const char* command : {"info", "show", "reset"}) {
        EXPECT_EQ(Run({command}), kExitMouse) << command;
        EXPECT_EQ(err.str(), "kestrine-config: " + FindResultText(FindResult::NoMouse) + "\n");
        EXPECT_EQ(out.str(), "");
    }
}

// A mouse this user may not open: the reason and how to allow it.
class DeniedTransport : public HidTransport {
public:
    explicit DeniedTransport(SimulatedMouse& mouse) : mouse_(mouse) {}
    std::vector<HidInterfaceInfo> Enumerate(uint16_t vendorId, uint16_t productId) override {
        return mouse_.Enumerate(vendorId, productId);
    }
    std::unique_ptr<HidConnection> Open(const std::string&) override { return nullptr; }
    OpenFailure LastOpenFailure() const override { return OpenFailure::AccessDenied; }

private:
    SimulatedMouse& mouse_;
};

TEST_F(CommandsTest, AMouseWithoutAccessGetsTheUdevCommands) {
    DeniedTransport denied(mouse);
    SetHidTransport(&denied);
    EXPECT_EQ(Run({"show"}), kExitMouse);
    EXPECT_NE(err.str().find(FindResultText(FindResult::AccessDenied)), std::string::npos);
    EXPECT_NE(err.str().find(UdevRuleInstallCommands()), std::string::npos) << err.str();
}

TEST_F(CommandsTest, ExportThenImportReproducesTheMouseOnAFreshOne) {
    ASSERT_EQ(Run({"set", "polling_rate_hz=1000", "cpi_level.3.y=12000", "forward=key:Alt+F4",
                   "sensor_angle=-12", "multiclick_filter.right=HV Speed Mode"}),
              kExitDone)
        << err.str();
    const SettingsImage configured = Memory();
    ASSERT_NE(configured, FactoryImage());
    ASSERT_EQ(Run({"export", Path("p.toml")}), kExitDone) << err.str();

    mouse.Firmware().SetMemory(FactoryImage());
    mouse.ClearSentReports();
    ASSERT_EQ(Run({"import", Path("p.toml")}), kExitDone) << err.str();
    EXPECT_EQ(out.str(), "Settings written to the mouse.\n");
    EXPECT_EQ(Memory(), configured);
}

TEST_F(CommandsTest, ImportFromStdinAndExportToStdout) {
    ASSERT_EQ(Run({"export", "-"}), kExitDone);
    const std::string profile = out.str();
    ASSERT_EQ(Run({"import", "-"}, profile), kExitDone) << err.str();
    EXPECT_EQ(out.str(), "The mouse already holds these settings.\n");

    ASSERT_EQ(Run({"import", "-"}, "format = 1\nangle_snapping = true\n"), kExitDone);
    EXPECT_EQ(Memory()[10], 1);  // angleSnapping
}

TEST_F(CommandsTest, ABadProfileWritesNothingAndSaysWhereItIsWrong) {
    struct Case {
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {"format = 1\npolling_rate_hz = = 3\n", "p.toml:2: TOML syntax: "},
        {"format = 1\n[[cpi_level]]\nx = 30001\ny = 400\n[[cpi_level]]\nx = 400\ny = 400\n"
         "[[cpi_level]]\nx = 400\ny = 400\n[[cpi_level]]\nx = 400\ny = 400\n",
         "p.toml:3: cpi_level.1.x: CPI 30001 is not allowed"},
        {"format = 1\nforward = \"key:NoSuchKey\"\n", "p.toml:2: forward: unknown key"},
    };
    for (const Case& c : cases) {
        WriteFile(Path("p.toml"), c.text);
        mouse.ClearSentReports();
        EXPECT_EQ(Run({"import", Path("p.toml")}), kExitUsage) << c.message;
        EXPECT_EQ(err.str().rfind(Path(c.message), 0), 0u) << err.str();
        EXPECT_NE(err.str().find("nothing was written to the mouse"), std::string::npos);
        for (const auto& report : mouse.SentReports()) {
            EXPECT_NE(report[1], 0x11) << "a write was sent for " << c.message;
        }
        EXPECT_EQ(Memory(), FactoryImage());
    }
}

TEST_F(CommandsTest, KeysTheDialogRefusesAreRefusedWithItsWords) {
    for (const UnbindableKey& key : kUnbindableKeys) {
        SCOPED_TRACE(key.name);
        const std::string setting = std::string("forward=key:Ctrl+") + key.name;
        const std::string said = std::string(kKeyCannotBeAssigned) + ": \"" + key.name + "\"";
        mouse.ClearSentReports();
        EXPECT_EQ(Run({"set", setting}), kExitUsage);
        EXPECT_NE(err.str().find(said), std::string::npos) << err.str();
        WriteFile(Path("p.toml"), std::string("format = 1\nforward = \"key:") + key.name + "\"\n");
        EXPECT_EQ(Run({"import", Path("p.toml")}), kExitUsage);
        EXPECT_NE(err.str().find(said), std::string::npos) << err.str();
        for (const auto& report : mouse.SentReports()) {
            EXPECT_NE(report[1], 0x11) << "a write was sent";
        }
        EXPECT_EQ(Memory(), FactoryImage());
    }
}

TEST_F(CommandsTest, ShowNamesEveryStoredKeyAsTheWindowDoes) {
    struct Case {
        uint8_t usage;
        const char* shown;
    };
    const Case cases[] = {
        {0x04, "\nforward = \"key:A\"\n"},  // not the virtual key 0x04, Middle Button
        {0x0C, "\nforward = \"key:I\"\n"},  // not Clear
        {0x68, "\nforward = \"key:F13\"\n"},       {0x58, "\nforward = \"key:Num Enter\"\n"},
        {0x80, "\nforward = \"key:Volume Up\"\n"},  // F17 as older tools stored it
        {0x7C, "\nforward = \"key:Copy\"\n"},       // F13 as older tools stored it
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        SettingsImage image = FactoryImage();
        SettingsRecord record{};
        DecodeSettingsImage(image, record);
        record.buttons[3] = {static_cast<uint8_t>(ActionKind::KeyboardKey), 0, c.usage, 0,
                             record.buttons[3].filter};
        EncodeSettingsImage(record, image);
        mouse.Firmware().SetMemory(image);
        ASSERT_EQ(Run({"show"}), kExitDone) << err.str();
        EXPECT_NE(out.str().find(c.shown), std::string::npos) << out.str();
        ASSERT_EQ(Run({"show", "--json"}), kExitDone) << err.str();
        std::string json = c.shown;
        json = "\"forward\" : " + json.substr(json.find('"'), json.rfind('"') - json.find('"') + 1);
        EXPECT_NE(out.str().find(json), std::string::npos) << out.str();
    }
}

TEST_F(CommandsTest, AProfileThatCannotBeReadIsBadUsage) {
    EXPECT_EQ(Run({"import", Path("missing.toml")}), kExitUsage);
    EXPECT_NE(err.str().find("missing.toml: No such file or directory"), std::string::npos);
    EXPECT_EQ(Run({"import", folder_.string()}), kExitUsage);
    EXPECT_NE(err.str().find("not a regular file"), std::string::npos);
    EXPECT_TRUE(mouse.SentReports().empty());
}

TEST_F(CommandsTest, AWriteTheMouseNeverConfirmsTriesThreeTimesAndFails) {
    // The read is answered; each of the three writes is answered "failed".
    mouse.Firmware().QueueStatuses({1, 2, 2, 2});
    sleeps.waits.clear();
    EXPECT_EQ(Run({"set", "motion_sync=true"}), kExitMouse);
    EXPECT_NE(err.str().find("did not confirm"), std::string::npos) << err.str();
    std::vector<unsigned> writeWaits;
    for (unsigned wait : sleeps.waits) {
        if (wait == 300 || wait == 350 || wait == 400) {
            writeWaits.push_back(wait);
        }
    }
    EXPECT_EQ(writeWaits, (std::vector<unsigned>{300, 350, 400}));
}

TEST_F(CommandsTest, ResetRestoresTheFactorySettings) {
    ASSERT_EQ(Run({"set", "polling_rate_hz=500"}), kExitDone);
    ASSERT_EQ(Run({"reset"}), kExitDone) << err.str();
    EXPECT_EQ(Memory(), FactoryImage());

    mouse.Firmware().SetStaysBusy(true);
    EXPECT_EQ(Run({"reset"}), kExitMouse);
    EXPECT_NE(err.str().find("did not confirm the factory reset"), std::string::npos);
}

TEST_F(CommandsTest, NoCommandRunsWhileTheWindowHoldsTheLock) {
    InstanceLock window;
    ASSERT_EQ(window.Acquire(folder_.string()), InstanceLock::Result::Acquired);
    EXPECT_EQ(Run({"set", "polling_rate_hz=500"}), kExitMouse);
    EXPECT_NE(err.str().find("the configuration window is open"), std::string::npos);
    EXPECT_TRUE(mouse.SentReports().empty());
}

TEST_F(CommandsTest, SimulateWithAFileKeepsTheMemoryThere) {
    const std::string memory = Path("m.bin");
    ASSERT_EQ(Run({"--simulate=" + memory, "set", "polling_rate_hz=250"}), kExitDone) << err.str();
    std::ifstream file(memory, std::ios::binary);
    SettingsImage saved{};
    file.read(reinterpret_cast<char*>(saved.data()), saved.size());
    EXPECT_EQ(saved[5], 32);                   // pollingRateCode of 250 Hz
    EXPECT_TRUE(mouse.SentReports().empty());  // the test's own mouse was not used

    ASSERT_EQ(Run({"--simulate=" + memory, "show"}), kExitDone);
    EXPECT_NE(out.str().find("\npolling_rate_hz = 250\n"), std::string::npos);
}

}  // namespace
