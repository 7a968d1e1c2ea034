// The commands against a simulated mouse: what they print, their exit
// statuses, and what reaches the mouse (nothing, when anything is wrong).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <optional>
#include <sstream>

#include "cli/commands.h"
#include "device/device_link.h"
#include "device/find_result_text.h"
#include "device/simulated/simulated_mouse.h"
#include "platform/instance_lock.h"
#include "platform/user_files.h"
#include "profile/profile.h"
#include "settings/button_actions.h"
#include "settings/key_table.h"
#include "support/command_run.h"
#include "support/file_conditions.h"
#include "support/sleep_recorder.h"
#include "support/test_folder.h"
#include "support/unbindable_keys.h"

namespace {

namespace fs = std::filesystem;

class CommandsTest : public ::testing::Test {
protected:
    CommandsTest() {
        folder_ = TestFolderPath("kestrine-cli-test");
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
        const int status = RunCommandLine(arguments, input, out, err, folder_.string(), atTerminal);
        ReleaseDevice();
        return status;
    }

    std::string Path(const char* name) const { return (folder_ / name).string(); }

    static void WriteFile(const std::string& path, const std::string& text) {
        std::ofstream(path) << text;
    }

    static std::string ReadFile(const std::string& path) {
        std::ifstream file(path);
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }

    const SettingsImage& Memory() { return mouse.Firmware().Memory(); }

    static SettingsImage FactoryImage() { return MouseFirmware::FactoryImage(); }

    SimulatedMouse mouse;
    SleepRecorder sleeps;
    std::ostringstream out;
    std::ostringstream err;
    bool atTerminal = false;
    fs::path folder_;
};

// On a terminal reset asks, and only a yes goes on; --yes and scripts are not asked.
TEST_F(CommandsTest, ResetAsksOnATerminal) {
    struct Case {
        bool terminal;
        std::vector<std::string> arguments;
        std::string answer;
        int status;
        bool asked;
    };
    const Case cases[] = {
        {true, {"reset"}, "n\n", kExitMouse, true},
        {true, {"reset"}, "\n", kExitMouse, true},
        {true, {"reset"}, "y\n", kExitDone, true},
        {true, {"reset", "--yes"}, "", kExitDone, false},
        {false, {"reset"}, "", kExitDone, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments) + " terminal " +
                     std::to_string(c.terminal) + " answer " + c.answer);
        atTerminal = c.terminal;
        SettingsImage changed = MouseFirmware::FactoryImage();
        changed[5] = 64;
        mouse.Firmware().SetMemory(changed);
        EXPECT_EQ(Run(c.arguments, c.answer), c.status) << err.str();
        EXPECT_EQ(err.str().find("Restore the factory settings?") != std::string::npos, c.asked);
        EXPECT_EQ(mouse.Firmware().Memory()[5] == 64, c.status != kExitDone);
    }
    atTerminal = false;
}

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
    // In the window's words: the hint, then the commands.
    EXPECT_NE(err.str().find(UdevRuleInstallHint() + "\n" + UdevRuleInstallCommands()),
              std::string::npos)
        << err.str();
    EXPECT_EQ(err.str().find(" packaging/"), std::string::npos)
        << "a path relative to the source tree works only there";
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
        // The refusal names the key (and a media key's MEDIA entry); nothing
        // of the binding is stored, not even its modifier.
        const std::string said = KeyRefusalText(key.virtualKey);
        EXPECT_NE(said.find(key.name), std::string::npos);
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

// Every key of the list by its one name: set stores the key's usage, get
// gives the same name back; with modifiers, their text is built from the
// stored bits in the dialog's order.
TEST_F(CommandsTest, EveryKeyOfTheListComesBackByItsNameThroughSetAndGet) {
    for (const KeyRow& key : AssignableKeys()) {
        for (const auto& [prefix, bits] :
             {std::pair<std::string, uint8_t>{"", 0}, {"Shift+Ctrl+", kShiftBit | kCtrlBit}}) {
            const std::string name = "key:" + prefix + key.name;
            SCOPED_TRACE(name);
            ASSERT_EQ(Run({"set", "forward=" + name}), kExitDone) << err.str();
            SettingsRecord stored{};
            DecodeSettingsImage(Memory(), stored);
            EXPECT_EQ(
                ValuesOf(stored.buttons[3]),
                (ActionValues{static_cast<uint8_t>(ActionKind::KeyboardKey), bits, key.usage, 0}));
            ASSERT_EQ(Run({"get", "forward"}), kExitDone) << err.str();
            EXPECT_EQ(out.str(), name + "\n");
        }
    }
}

TEST_F(CommandsTest, OlderSpellingsAreReadAsTheirKeys) {
    const std::pair<const char*, const char*> cases[] = {
        {"key:Back", "key:Backspace"},
        {"key:Ins", "key:Insert"},
        {"key:Del", "key:Delete"},
        {"key:Keypad 1", "key:Num 1"},
        {"key:Keypad Enter", "key:Num Enter"},
        {"key:+", "key:="},
        {"key:Ctrl++", "key:Ctrl+="},
        {"key:Equals", "key:="},
        {"key:Application (Menu key)", "key:Application"},
        {"key:Right Alt (AltGr)", "key:Right Alt"},
        {"key:ctrl+shift+f13", "key:Shift+Ctrl+F13"},
        {"key:Unknown key 0x82", "key:Unknown key 0x82"},  // what get says of a usage no key has
    };
    for (const auto& [given, read] : cases) {
        SCOPED_TRACE(given);
        ASSERT_EQ(Run({"set", std::string("forward=") + given}), kExitDone) << err.str();
        ASSERT_EQ(Run({"get", "forward"}), kExitDone) << err.str();
        EXPECT_EQ(out.str(), std::string(read) + "\n");
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
    EXPECT_EQ(err.str(), "kestrine-config: the configuration window is open (pid " +
                             std::to_string(::getpid()) +
                             ") and holds the mouse; close it and run the command again\n");
    EXPECT_TRUE(sleeps.waits.empty());  // the window is not waited for
    EXPECT_TRUE(mouse.SentReports().empty());
}

// Another command is waited for, up to --wait seconds, then named.
TEST_F(CommandsTest, ACommandWaitsForAnotherCommandsLockThenNamesIt) {
    auto other = std::make_unique<InstanceLock>(InstanceLock::Holder::Command);
    ASSERT_EQ(other->Acquire(folder_.string()), InstanceLock::Result::Acquired);
    const std::string named = "another kestrine-config command (pid " + std::to_string(::getpid()) +
                              ") is still using the mouse";

    EXPECT_EQ(Run({"--wait", "1", "set", "polling_rate_hz=500"}), kExitMouse);
    EXPECT_NE(err.str().find(named + " after 1 s of waiting"), std::string::npos) << err.str();
    EXPECT_EQ(sleeps.waits, std::vector<unsigned>(10, 100));

    sleeps.waits.clear();
    EXPECT_EQ(Run({"set", "polling_rate_hz=500", "--wait=0"}), kExitMouse);
    EXPECT_EQ(err.str(), "kestrine-config: " + named + "; nothing was done\n");
    EXPECT_TRUE(sleeps.waits.empty());
    EXPECT_TRUE(mouse.SentReports().empty());

    // The other command ends while this one waits (default wait): it goes on.
    sleeps.waits.clear();
    SetSleepHook([&](unsigned ms) {
        sleeps.waits.push_back(ms);
        if (sleeps.waits.size() == 3) {
            other.reset();
        }
    });
    EXPECT_EQ(Run({"set", "polling_rate_hz=500"}), kExitDone) << err.str();
    EXPECT_EQ(Memory()[5], 16);  // pollingRateCode of 500 Hz
}

// Bad input is bad input whether or not a mouse is there; check needs none.
TEST_F(CommandsTest, InputIsCheckedBeforeTheMouseIsLookedFor) {
    mouse.Unplug();
    WriteFile(Path("range.toml"), "format = 1\nsensor_angle = 200\n");
    WriteFile(Path("good.toml"), "format = 1\nsensor_angle = 5\n");
    struct Case {
        std::vector<std::string> arguments;
        int status;
        std::string said;
    };
    const Case cases[] = {
        {{"import", Path("range.toml")}, kExitUsage, Path("range.toml") + ":2: sensor_angle"},
        {{"set", "noequals"}, kExitUsage, "kestrine-config set: "},
        {{"set", "polling_rate_hz=3"}, kExitUsage, "kestrine-config set: polling_rate_hz"},
        {{"check", Path("range.toml")}, kExitUsage, Path("range.toml") + ":2: sensor_angle"},
        {{"check", Path("good.toml")}, kExitDone, ""},
        {{"import", Path("good.toml")}, kExitMouse, FindResultText(FindResult::NoMouse)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Run(c.arguments), c.status) << c.arguments[0] << " " << c.arguments[1];
        EXPECT_NE(err.str().find(c.said), std::string::npos) << err.str();
        if (c.status == kExitUsage) {
            EXPECT_EQ(err.str().find(FindResultText(FindResult::NoMouse)), std::string::npos)
                << err.str();
        }
    }
    EXPECT_EQ(Run({"check", "-"}, "format = 1\n"), kExitDone);
    EXPECT_EQ(out.str(), "<stdin>: a good profile\n");
    EXPECT_EQ(err.str(), "");
}

TEST_F(CommandsTest, OutputThatCannotBeWrittenIsAFailure) {
    for (const char* command : {"show", "info"}) {
        const ParseResult parsed = ParseCommandLine({command});
        std::istringstream in;
        std::ostringstream broken;
        broken.setstate(std::ios::badbit);
        CommandStreams streams{in, broken, err, folder_.string()};
        err.str({});
        EXPECT_EQ(RunCommand(*parsed.commandLine, streams), kExitMouse) << command;
        EXPECT_NE(err.str().find("the output could not be written"), std::string::npos)
            << err.str();
        ReleaseDevice();
    }
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

// The simulated mouse takes the change, but a memory file that could not be
// saved (here: the disk is full) has lost it for the next run: no success.
TEST_F(CommandsTest, SimulateWithAFileThatCannotBeSavedFails) {
    const std::string memory = Path("m.bin");
    ASSERT_EQ(Run({"--simulate=" + memory, "set", "polling_rate_hz=250"}), kExitDone) << err.str();
    const auto contents = [&] {
        std::ifstream file(memory, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    };
    const std::string before = contents();
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"set", "polling_rate_hz=1000"},
          std::vector<std::string>{"reset"}}) {
        SCOPED_TRACE(command.front());
        std::vector<std::string> arguments{"--simulate=" + memory};
        arguments.insert(arguments.end(), command.begin(), command.end());
        int status = -1;
        {
            FileSizeLimit full(100);
            status = Run(arguments);
        }
        EXPECT_EQ(status, kExitMouse) << out.str();
        EXPECT_NE(err.str().find("its memory file was not saved"), std::string::npos) << err.str();
        EXPECT_EQ(contents(), before);
    }
    // Nothing of either was kept: the next run finds the mouse as it was.
    ASSERT_EQ(Run({"--simulate=" + memory, "show"}), kExitDone) << err.str();
    EXPECT_NE(out.str().find("\npolling_rate_hz = 250\n"), std::string::npos) << out.str();
}

// Owners no account on a test machine has.
constexpr uid_t kOtherUid = 54321;
constexpr uid_t kFolderOwnerUid = 54322;

bool IsNode(const std::string& path, mode_t type) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && (info.st_mode & S_IFMT) == type;
}

TEST_F(CommandsTest, ExportRefusesWhatIsNoFileAndLeavesItThere) {
    struct Case {
        const char* name;
        mode_t type;
        const char* said;
    };
    const Case cases[] = {
        {"fifo", S_IFIFO, ": a FIFO"},
        {"device", S_IFCHR, ": a character device"},
        {"socket", S_IFSOCK, ": a socket"},
        {"folder", S_IFDIR, ": a folder"},
    };
    for (const Case& c : cases) {
        const std::string path = Path(c.name);
        int listener = -1;
        if (c.type == S_IFIFO) {
            ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
        } else if (c.type == S_IFCHR) {
            // The same device as /dev/null; making one needs root.
            if (::mknod(path.c_str(), S_IFCHR | 0666, ::makedev(1, 3)) != 0) {
                ADD_FAILURE() << "mknod needs root, which the tests have on CI: "
                              << std::strerror(errno);
                continue;
            }
        } else if (c.type == S_IFSOCK) {
            listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            path.copy(address.sun_path, sizeof address.sun_path - 1);
            ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        } else {
            fs::create_directory(path);
        }
        EXPECT_EQ(Run({"export", path}), kExitUsage) << c.name;
        EXPECT_NE(err.str().find(path + c.said), std::string::npos) << err.str();
        EXPECT_TRUE(IsNode(path, c.type)) << c.name << " was replaced";
        if (listener >= 0) {
            ::close(listener);
        }
    }
    // Nothing was left beside them either (the lock files are the commands' own).
    for (const auto& entry : fs::directory_iterator(folder_)) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "kestrine-config.lock" || name == "kestrine-config-device.lock" ||
                    std::ranges::any_of(cases, [&](const Case& c) { return name == c.name; }))
            << name;
    }
}

TEST_F(CommandsTest, ExportKeepsTheReplacedFilesModeAndOwner) {
    struct Case {
        const char* name;
        fs::perms mode;
        bool otherOwner;
    };
    const Case cases[] = {
        {"private.toml", fs::perms::owner_read | fs::perms::owner_write, false},
        {"shared.toml", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read,
         false},
        {"theirs.toml", fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_write,
         true},
    };
    for (const Case& c : cases) {
        const std::string path = Path(c.name);
        WriteFile(path, "old\n");
        fs::permissions(path, c.mode);
        if (c.otherOwner && ::chown(path.c_str(), kOtherUid, kFolderOwnerUid) != 0) {
            ADD_FAILURE() << "giving a file another owner needs root, which CI has";
            continue;
        }
        struct stat before {};
        ::stat(path.c_str(), &before);
        EXPECT_EQ(Run({"export", path}), kExitDone) << c.name << ": " << err.str();
        struct stat after {};
        ::stat(path.c_str(), &after);
        EXPECT_EQ(after.st_mode, before.st_mode) << c.name;
        EXPECT_EQ(after.st_uid, before.st_uid) << c.name;
        EXPECT_EQ(after.st_gid, before.st_gid) << c.name;
        EXPECT_NE(ReadFile(path).find("polling_rate_hz = 8000"), std::string::npos) << c.name;
    }
}

TEST_F(CommandsTest, ANewExportsModeFollowsTheUmask) {
    for (const NewFileMode& c : kNewFileModes) {
        SCOPED_TRACE(testing::Message() << std::oct << "umask " << c.umask);
        const std::string path = Path("new.toml");
        fs::remove(path);
        {
            FileCreationMask mask(c.umask);
            ASSERT_EQ(Run({"export", path}), kExitDone) << err.str();
        }
        struct stat created {};
        ASSERT_EQ(::stat(path.c_str(), &created), 0);
        EXPECT_EQ(created.st_mode & 07777, c.mode) << std::oct << (created.st_mode & 07777);
    }
}

TEST_F(CommandsTest, ExportLeavesAReadOnlyFileAndSaysWhereAFolderIsMissing) {
    const std::string readOnly = Path("kept.toml");
    WriteFile(readOnly, "kept\n");
    fs::permissions(readOnly, fs::perms::owner_read | fs::perms::group_read);
    EXPECT_EQ(Run({"export", readOnly}), kExitUsage);
    EXPECT_NE(err.str().find(readOnly + ": the file is read-only"), std::string::npos) << err.str();
    EXPECT_EQ(ReadFile(readOnly), "kept\n");

    EXPECT_EQ(Run({"export", Path("absent/p.toml")}), kExitUsage);
    EXPECT_EQ(err.str(), "kestrine-config: " + Path("absent/p.toml") + ": the folder " +
                             Path("absent") + " does not exist\n");
}

// In a folder everyone may write to and the sticky bit guards, a link is
// followed only when it is the user's own or the folder owner's, for a
// profile and for the simulated mouse's memory alike.
TEST_F(CommandsTest, ALinkPlantedByAnotherUserInASharedFolderIsNotFollowed) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "giving links and folders other owners needs root (CI runs as root)";
    }
    struct Case {
        const char* name;
        mode_t folderMode;
        uid_t folderOwner;
        uid_t linkOwner;
        bool followed;
    };
    const uid_t self = ::geteuid();
    const Case cases[] = {
        {"another user's link, shared folder", 01777, self, kOtherUid, false},
        {"another user's link, folder not sticky", 0777, self, kOtherUid, true},
        {"another user's link, folder not world-writable", 01775, self, kOtherUid, true},
        {"own link, shared folder", 01777, kFolderOwnerUid, self, true},
        {"folder owner's link, shared folder", 01777, kFolderOwnerUid, kFolderOwnerUid, true},
    };
    const std::string victim = Path("victim.toml");
    const std::string victimMemory = Path("victim.bin");
    const std::string shared = Path("shared");
    for (const Case& c : cases) {
        fs::remove_all(shared);
        fs::create_directory(shared);
        ASSERT_EQ(::chown(shared.c_str(), c.folderOwner, c.folderOwner), 0);
        ASSERT_EQ(::chmod(shared.c_str(), c.folderMode), 0);
        WriteFile(victim, "mine\n");
        const std::string original(1024, 'v');
        WriteFile(victimMemory, original);
        const std::string link = shared + "/profile.toml";
        const std::string memoryLink = shared + "/mouse.bin";
        ASSERT_EQ(::symlink(victim.c_str(), link.c_str()), 0);
        ASSERT_EQ(::symlink(victimMemory.c_str(), memoryLink.c_str()), 0);
        ASSERT_EQ(::lchown(link.c_str(), c.linkOwner, c.linkOwner), 0);
        ASSERT_EQ(::lchown(memoryLink.c_str(), c.linkOwner, c.linkOwner), 0);

        const int exported = Run({"export", link});
        const bool exportedThrough = ReadFile(victim) != "mine\n";
        const std::string exportErr = err.str();
        const int simulated = Run({"--simulate=" + memoryLink, "reset"});
        SetHidTransport(&mouse);  // the simulated session put the system's back
        const bool simulatedThrough = ReadFile(victimMemory) != original;
        if (c.followed) {
            EXPECT_EQ(exported, kExitDone) << c.name << ": " << exportErr;
            EXPECT_TRUE(exportedThrough) << c.name;
            EXPECT_TRUE(simulatedThrough) << c.name << ": " << err.str();
        } else {
            EXPECT_EQ(exported, kExitUsage) << c.name;
            EXPECT_FALSE(exportedThrough) << c.name;
            EXPECT_NE(exportErr.find("belongs to another user (uid 54321)"), std::string::npos)
                << exportErr;
            EXPECT_EQ(simulated, kExitUsage) << c.name;
            EXPECT_FALSE(simulatedThrough) << c.name;
            EXPECT_NE(err.str().find("it is not followed"), std::string::npos) << err.str();
        }
        EXPECT_TRUE(IsNode(link, S_IFLNK)) << c.name;
        EXPECT_TRUE(IsNode(memoryLink, S_IFLNK)) << c.name;
    }
}

// The profile becomes a FIFO between its check and its opening: the import
// is refused instead of waiting for a writer for ever.
TEST_F(CommandsTest, AProfileSwappedForAFifoCannotHangTheImport) {
    const std::string path = Path("p.toml");
    WriteFile(path, "format = 1\n");
    SetReadOpenHook([](const std::string& opened) {
        ::unlink(opened.c_str());
        ::mkfifo(opened.c_str(), 0600);
    });
    const ParseResult parsed = ParseCommandLine({"import", path});
    ASSERT_TRUE(parsed.commandLine);
    std::istringstream in;
    CommandStreams streams{in, out, err, folder_.string()};
    auto import =
        std::async(std::launch::async, [&] { return RunCommand(*parsed.commandLine, streams); });
    if (import.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        // Let the stuck read go before failing, so the test program can end.
        const int writer = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
        ::close(writer);
        import.wait();
        SetReadOpenHook({});
        FAIL() << "the import waited on the FIFO";
    }
    SetReadOpenHook({});
    EXPECT_EQ(import.get(), kExitUsage);
    EXPECT_NE(err.str().find(path + ": a FIFO, not a regular file"), std::string::npos)
        << err.str();
    EXPECT_TRUE(mouse.SentReports().empty());
}

// Two mice: list shows both, --device picks one for any command, and
// without it the first is used with a note that there are two.
TEST_F(CommandsTest, TwoMiceAreListedAndChosenWithDevice) {
    const size_t second = mouse.AddMouse();
    const std::string firstPath = mouse.InterfacePaths(0)[1];
    const std::string secondPath = mouse.InterfacePaths(second)[1];

    ASSERT_EQ(Run({"list"}), kExitDone) << err.str();
    EXPECT_EQ(out.str(), "1  " + firstPath + "  serial SIMULATED-1  firmware V1.07\n" + "2  " +
                             secondPath + "  serial SIMULATED-2  firmware V1.07\n");

    ASSERT_EQ(Run({"--device", "2", "set", "polling_rate_hz=500"}), kExitDone) << err.str();
    EXPECT_EQ(mouse.Firmware(second).Memory()[5], 16);
    EXPECT_EQ(mouse.Firmware(0).Memory(), FactoryImage());
    EXPECT_EQ(err.str(), "");

    ASSERT_EQ(Run({"info", "--device=" + secondPath}), kExitDone) << err.str();
    EXPECT_NE(out.str().find("Device path: " + secondPath), std::string::npos) << out.str();

    ASSERT_EQ(Run({"set", "polling_rate_hz=250"}), kExitDone) << err.str();
    EXPECT_EQ(mouse.Firmware(0).Memory()[5], 32);
    EXPECT_EQ(mouse.Firmware(second).Memory()[5], 16);
    EXPECT_EQ(err.str(),
              "kestrine-config: note: 2 mice are connected; this command uses the "
              "first, " +
                  firstPath + " (choose one with --device, see kestrine-config list)\n");

    for (const char* absent : {"3", "0", "/dev/hidraw99"}) {
        mouse.ClearSentReports();
        EXPECT_EQ(Run({"--device", absent, "reset"}), kExitMouse) << absent;
        EXPECT_NE(err.str().find(std::string("no connected mouse is ") + absent), std::string::npos)
            << err.str();
        EXPECT_TRUE(mouse.SentReports().empty());
    }
}

// Each row of list is its own mouse's: one with other firmware, one the user
// may not open.
TEST_F(CommandsTest, ListSaysEachMousesOwnFirmwareAndAccess) {
    const size_t second = mouse.AddMouse();
    mouse.Firmware(0).firmwareVersion = 0x0203;
    mouse.SetOpenFailure(second, OpenFailure::AccessDenied);

    ASSERT_EQ(Run({"list"}), kExitDone) << err.str();
    EXPECT_EQ(out.str(), "1  " + mouse.InterfacePaths(0)[1] +
                             "  serial SIMULATED-1  firmware V2.03\n" + "2  " +
                             mouse.InterfacePaths(second)[1] + "  serial SIMULATED-2  " +
                             FindResultText(FindResult::AccessDenied) + "\n");
}

TEST_F(CommandsTest, GetPrintsOneValueAsAScriptWantsIt) {
    ASSERT_EQ(Run({"set", "polling_rate_hz=1000", "forward=key:Alt+F4", "sensor_angle=-12",
                   "smoothing=Ripple Control On", "cpi_level.2.x=1600"}),
              kExitDone)
        << err.str();
    const std::pair<const char*, const char*> cases[] = {
        {"polling_rate_hz", "1000\n"}, {"forward", "key:Alt+F4\n"},
        {"sensor_angle", "-12\n"},     {"smoothing", "Ripple Control On\n"},
        {"cpi_level.2.x", "1600\n"},   {"angle_snapping", "false\n"},
        {"lift_off_mm", "1.0\n"},
    };
    for (const auto& [name, value] : cases) {
        EXPECT_EQ(Run({"get", name}), kExitDone) << name << ": " << err.str();
        EXPECT_EQ(out.str(), value) << name;
    }
    mouse.Unplug();
    EXPECT_EQ(Run({"get", "no_such_setting"}), kExitUsage);
    EXPECT_NE(err.str().find("unknown setting \"no_such_setting\""), std::string::npos)
        << err.str();
}

// keys lists the names a profile takes, each of them the key it names.
TEST_F(CommandsTest, KeysListsEveryBindableKeyByItsProfileName) {
    mouse.Unplug();  // needs no mouse
    ASSERT_EQ(Run({"keys"}), kExitDone) << err.str();
    std::vector<std::string> names;
    std::istringstream lines(out.str());
    for (std::string line; std::getline(lines, line);) {
        names.push_back(line);
    }
    for (const char* expected : {"A", "F13", "F24", "Page Up", "Num 1", "Enter"}) {
        EXPECT_NE(std::ranges::find(names, expected), names.end()) << expected;
    }
    for (const std::string& name : names) {
        SettingsRecord record{};
        LoadDefaultSettings(record);
        const auto problems = ApplyAssignments({"forward=key:" + name}, record);
        ASSERT_TRUE(problems.empty()) << name << ": " << problems.front().message;
        // What a profile then says reads back as the same key.
        std::string error;
        const auto shown = ProfileValueText(record, "forward", error);
        ASSERT_TRUE(shown) << name << ": " << error;
        SettingsRecord again = record;
        ASSERT_TRUE(ApplyAssignments({"forward=" + *shown}, again).empty()) << *shown;
        EXPECT_FALSE(SettingsDiffer(record, again)) << name << " came back as " << *shown;
    }
}

// The file that overflowed the TOML library's stack: 35,000 dotted parts.
TEST_F(CommandsTest, ADottedNameOfThousandsOfPartsIsRefusedWithItsLine) {
    std::string chain = "a";
    for (int part = 1; part < 35000; ++part) {
        chain += ".a";
    }
    const std::string path = Path("deep.toml");
    WriteFile(path, "format = 1\n" + chain + ".b = 1\n");
    for (const char* command : {"check", "import"}) {
        err.str("");
        EXPECT_EQ(Run({command, path}), kExitUsage) << command;
        EXPECT_NE(err.str().find(path + ":2: a dotted name of more than 8 parts"),
                  std::string::npos)
            << command << ": " << err.str();
    }
    EXPECT_TRUE(mouse.SentReports().empty());
}

// A disk that fills during the export: the old file stays whole, nothing is
// left beside it, and the status is 1 (the output could not be written), not
// the 2 of a place no profile may go.
TEST_F(CommandsTest, ExportOnAFullDiskExitsOneAndKeepsTheOldFile) {
    // A small tmpfs where root may mount one; else files may not grow, as on a full disk.
    const std::string disk = Path("disk");
    fs::create_directory(disk);
    const bool mounted = ::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=8k") == 0;
    const std::string path = disk + "/p.toml";
    WriteFile(path, "old\n");
    // What is left of the disk, taken by a filler.
    WriteFile(disk + "/filler", std::string(4096, 'f'));
    int status = 0;
    {
        std::optional<FileSizeLimit> limit;
        if (!mounted) {
            limit.emplace(100);
        }
        status = Run({"export", path});
    }
    const std::string text = ReadFile(path);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(disk)) {
        names.push_back(entry.path().filename().string());
    }
    std::ranges::sort(names);
    if (mounted) {
        ::umount(disk.c_str());
    }
    EXPECT_EQ(status, kExitMouse) << err.str();
    EXPECT_NE(err.str().find(path + (mounted ? ": No space left on device" : ": File too large")),
              std::string::npos)
        << err.str();
    EXPECT_EQ(text, "old\n");
    EXPECT_EQ(names, (std::vector<std::string>{"filler", "p.toml"}));
}

}  // namespace
