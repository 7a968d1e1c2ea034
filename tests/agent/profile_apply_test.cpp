// A profile file put on the simulated mouse: written whole once, or nothing
// reaches the mouse's memory, with the reason.
#include "agent/profile_apply.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

#include "device/device_link.h"
#include "device/find_result_text.h"
#include "device/simulated/simulated_mouse.h"
#include "device/user_command_lock.h"
#include "device/write_retries.h"
#include "profile/profile.h"
#include "support/sleep_recorder.h"
#include "support/test_folder.h"

namespace {

namespace fs = std::filesystem;

class ProfileApplyTest : public ::testing::Test {
protected:
    ProfileApplyTest() {
        folder_ = TestFolderPath("kestrine-apply-test");
        fs::create_directories(folder_);
        SetHidTransport(&mouse);
        // Writes are counted, as between the user's processes.
        UseUserCommandLock(folder_.string());
    }
    ~ProfileApplyTest() override {
        ReleaseDevice();
        UseUserCommandLock({});
        SetHidTransport(nullptr);
        fs::remove_all(folder_);
    }

    std::string Write(const std::string& name, const std::string& text) {
        const std::string path = (folder_ / name).string();
        std::ofstream(path) << text;
        return path;
    }

    int WritesReceived() const {
        int writes = 0;
        for (const auto& report : mouse.SentReports()) {
            writes += report.size() > 1 && report[0] == kSettingsReportId &&
                      report[1] == kCommandWriteSettings;
        }
        return writes;
    }

    // Applies the profile at `path` over `base`, then gives the memory.
    SettingsImage Switch(const std::string& path, ProfileBase& base) {
        const ProfileApplyResult result = ApplyProfileFile(path, base);
        ReleaseDevice();
        EXPECT_TRUE(result.Succeeded()) << path << ": " << result.reason;
        return mouse.Firmware().Memory();
    }

    SimulatedMouse mouse;
    SleepRecorder sleeps;
    fs::path folder_;
};

SettingsRecord FactoryRecord() {
    SettingsRecord record{};
    DecodeSettingsImage(MouseFirmware::FactoryImage(), record);
    return record;
}

TEST_F(ProfileApplyTest, Cases) {
    SettingsRecord snapping = FactoryRecord();
    snapping.angleSnapping = !snapping.angleSnapping;
    const std::string goodText = FormatProfile(snapping);
    // A mouse that holds another polling rate, given a profile without one.
    SettingsRecord otherRate = FactoryRecord();
    otherRate.pollingRateCode = otherRate.pollingRateCode == 1 ? 8 : 1;
    SettingsRecord otherRateSnapping = otherRate;
    otherRateSnapping.angleSnapping = snapping.angleSnapping;

    struct Case {
        const char* name;
        std::function<std::string()> prepare;  // returns the profile's path
        ProfileApplyOutcome outcome;
        std::string reasonHas;
        int writes;
        // What the memory then holds; nothing = as it was before the apply.
        std::optional<SettingsRecord> memory;
    };
    const Case cases[] = {
        {"a profile that differs is written once", [&] { return Write("good.toml", goodText); },
         ProfileApplyOutcome::Applied, "", 1, snapping},
        {"what the mouse already holds is not written",
         [&] { return Write("same.toml", FormatProfile(FactoryRecord())); },
         ProfileApplyOutcome::Unchanged, "", 0, std::nullopt},
        {"a profile naming only some settings keeps the others",
         [&] {
             SettingsImage image{};
             EncodeSettingsImage(otherRate, image);
             mouse.Firmware().SetMemory(image);
             return Write("part.toml", std::string("format = 1\nangle_snapping = ") +
                                           (snapping.angleSnapping ? "true" : "false") + "\n");
         },
         ProfileApplyOutcome::Applied, "", 1, otherRateSnapping},
        {"a missing file", [&] { return (folder_ / "gone.toml").string(); },
         ProfileApplyOutcome::FileProblem, "gone.toml: No such file or directory", 0, std::nullopt},
        {"a folder", [&] { return folder_.string(); }, ProfileApplyOutcome::FileProblem,
         ": a folder, not a regular file", 0, std::nullopt},
        {"a FIFO, which would never end a read",
         [&] {
             const std::string path = (folder_ / "fifo.toml").string();
             ::mkfifo(path.c_str(), 0600);
             return path;
         },
         ProfileApplyOutcome::FileProblem, "fifo.toml: a FIFO, not a regular file", 0,
         std::nullopt},
        {"a file far larger than a profile",
         [&] { return Write("huge.toml", goodText + "#" + std::string(kMaxProfileBytes, 'x')); },
         ProfileApplyOutcome::FileProblem, "huge.toml: too large for a profile (more than 1 MiB)",
         0, std::nullopt},
        {"a value out of range, the other settings good",
         [&] { return Write("range.toml", goodText + "sensor_angle = 99\n"); },
         ProfileApplyOutcome::BadProfile, "range.toml:", 0, std::nullopt},
        {"no TOML at all", [&] { return Write("junk.toml", "format = 1\n[[[\n"); },
         ProfileApplyOutcome::BadProfile, "junk.toml:2:", 0, std::nullopt},
        {"no mouse",
         [&] {
             mouse.Unplug();
             return Write("good.toml", goodText);
         },
         ProfileApplyOutcome::NoMouse, FindResultText(FindResult::NoMouse), 0, std::nullopt},
        {"a mouse that takes no report",
         [&] {
             mouse.FailSends(HidResult::Error, 1000);
             return Write("good.toml", goodText);
         },
         ProfileApplyOutcome::MouseSilent, "did not send its settings", 0, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        mouse.Plug();
        mouse.FailSends(HidResult::Error, 0);
        mouse.Firmware().SetMemory(MouseFirmware::FactoryImage());
        mouse.ClearSentReports();
        const std::string path = c.prepare();
        SettingsRecord before{};
        DecodeSettingsImage(mouse.Firmware().Memory(), before);

        ProfileBase base;
        const ProfileApplyResult result = ApplyProfileFile(path, base);
        ReleaseDevice();

        EXPECT_EQ(result.outcome, c.outcome) << result.reason;
        EXPECT_EQ(result.Succeeded(), c.reasonHas.empty());
        if (c.reasonHas.empty()) {
            EXPECT_EQ(result.reason, "");
        } else {
            EXPECT_NE(result.reason.find(c.reasonHas), std::string::npos) << result.reason;
        }
        EXPECT_EQ(WritesReceived(), c.writes);
        SettingsRecord held{};
        DecodeSettingsImage(mouse.Firmware().Memory(), held);
        EXPECT_FALSE(SettingsDiffer(held, c.memory.value_or(before)));
    }
}

// A profile is checked whole before anything reaches the mouse: one bad
// value among good ones means not even a read.
TEST_F(ProfileApplyTest, ABadProfileNeverReachesTheMouse) {
    const std::string path = Write("bad.toml",
                                   "format = 1\nangle_snapping = true\n"
                                   "polling_rate_hz = 3\n");
    ProfileBase base;
    const ProfileApplyResult result = ApplyProfileFile(path, base);
    EXPECT_EQ(result.outcome, ProfileApplyOutcome::BadProfile);
    EXPECT_NE(result.reason.find(path + ":3:"), std::string::npos) << result.reason;
    EXPECT_TRUE(mouse.SentReports().empty());
}

// The mouse answers every write with a failure: three tries, then the
// reason; nothing claims success.
TEST_F(ProfileApplyTest, AWriteTheMouseNeverConfirmsIsReported) {
    SettingsRecord snapping = FactoryRecord();
    snapping.angleSnapping = !snapping.angleSnapping;
    const std::string path = Write("good.toml", FormatProfile(snapping));
    // The read's status, then a failure for each write.
    mouse.Firmware().QueueStatuses({kStatusDone, 2, 2, 2});

    ProfileBase base;
    const ProfileApplyResult result = ApplyProfileFile(path, base);

    EXPECT_EQ(result.outcome, ProfileApplyOutcome::NotConfirmed);
    EXPECT_FALSE(result.Succeeded());
    EXPECT_NE(result.reason.find("did not confirm"), std::string::npos) << result.reason;
    EXPECT_EQ(WritesReceived(), 3);
}

// Partial profiles never carry over: each is laid over the same base, so A
// after B is the same bytes as A alone. The base moves only with a write by
// the window or a command, and the default profile lies under every rule's.
TEST_F(ProfileApplyTest, EachProfileIsLaidOverOneFixedBase) {
    const std::string rate = Write("rate.toml", "format = 1\npolling_rate_hz = 1000\n");
    const std::string angle =
        Write("angle.toml", "format = 1\nsensor_angle = 5\nangle_snapping = true\n");
    const SettingsImage factory = MouseFirmware::FactoryImage();
    ProfileBase base;

    const SettingsImage rateAlone = Switch(rate, base);
    ASSERT_NE(rateAlone, factory);
    const SettingsImage angleAfterRate = Switch(angle, base);
    EXPECT_EQ(angleAfterRate[5], factory[5]) << "the rate of the profile before carried over";
    EXPECT_EQ(Switch(rate, base), rateAlone);
    EXPECT_EQ(Switch(angle, base), angleAfterRate);
    EXPECT_FALSE(base.afterOtherWrite);

    // The window writes a lift-off distance: it stays under every profile.
    ASSERT_TRUE(FindDevice(kProductId));
    SettingsRecord windowChoice{};
    DecodeSettingsImage(factory, windowChoice);
    windowChoice.liftOffDistance = windowChoice.liftOffDistance == 1 ? 2 : 1;
    ASSERT_TRUE(WriteSettingsWithRetries(windowChoice));
    ReleaseDevice();
    SettingsRecord expected = windowChoice;
    expected.pollingRateCode = rateAlone[5];
    SettingsImage expectedImage{};
    EncodeSettingsImage(expected, expectedImage);
    EXPECT_EQ(Switch(rate, base), expectedImage);
    EXPECT_TRUE(base.afterOtherWrite);
    Switch(angle, base);
    EXPECT_EQ(Switch(rate, base), expectedImage);

    // A default profile lies under the others.
    const bool sync = FactoryRecord().motionSync != 1;
    base.defaultProfile = Write("default.toml", std::string("format = 1\nmotion_sync = ") +
                                                    (sync ? "true" : "false") + "\n");
    SettingsRecord held{};
    DecodeSettingsImage(Switch(rate, base), held);
    EXPECT_EQ(held.motionSync == 1, sync);
    EXPECT_EQ(held.pollingRateCode, rateAlone[5]);
    EXPECT_EQ(held.liftOffDistance, windowChoice.liftOffDistance);
}

}  // namespace
