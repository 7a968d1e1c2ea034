#include "device/device_link.h"

#include <gtest/gtest.h>

#include "device/simulated/simulated_mouse.h"
#include "link_test_support.h"
#include "support/sleep_recorder.h"

namespace {

using Waits = std::vector<unsigned>;

std::array<uint8_t, kCommandReportSize> CommandReport(uint8_t command) {
    std::array<uint8_t, kCommandReportSize> report{};
    report[0] = kCommandReportId;
    report[1] = command;
    return report;
}

SettingsRecord Defaults() {
    SettingsRecord record{};
    LoadDefaultSettings(record);
    return record;
}

// The link connected to a simulated mouse, every wait recorded.
class DeviceLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        lastReadImage = {};
        SetHidTransport(&mouse);
        ASSERT_TRUE(FindDevice(kProductId));
        mouse.ClearSentReports();
    }
    void TearDown() override { ReleaseLink(); }

    SimulatedMouse mouse;
    SleepRecorder sleeps;
};

TEST_F(DeviceLinkTest, CommandsWithoutConnectionFailAfterTheirWaits) {
    ReleaseLink();
    struct Case {
        const char* name;
        std::function<int()> command;
        int result;
        Waits waits;
    };
    const Case cases[] = {
        {"ReadSettings", [] { return ReadSettings(); }, 2, {80}},
        {"WriteSettings", [] { return WriteSettings(Defaults(), 300); }, 2, {300}},
        {"ReadFirmwareInfo",
         [] {
             std::array<uint8_t, kFirmwareBlockSize> block{};
             return ReadFirmwareInfo(block);
         },
         2,
         {50}},
        {"FactoryReset", [] { return FactoryReset(); }, 255, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sleeps.waits.clear();
        EXPECT_EQ(c.command(), c.result);
        EXPECT_EQ(sleeps.waits, c.waits);
    }
    auto report = CommandReport(kCommandReadSettings);
    EXPECT_FALSE(SetFeatureReport(report.data(), report.size()));
    EXPECT_FALSE(GetFeatureReport(report.data(), report.size()));
    EXPECT_TRUE(sleeps.waits.empty());
    EXPECT_TRUE(mouse.SentReports().empty());
}

struct SendCase {
    const char* name;
    HidResult failure;
    int failures;
    bool sent;
    Waits waits;
};

void PrintTo(const SendCase& c, std::ostream* os) {
    *os << c.name;
}

class SendRetryTest : public DeviceLinkTest, public ::testing::WithParamInterface<SendCase> {};

// The first repeat goes out at once; each failed repeat is followed by 50 ms.
// A hard failure is not repeated: a repeat would have got through.
TEST_P(SendRetryTest, RetriesOnlyTransientFailures) {
    const SendCase& c = GetParam();
    mouse.FailSends(c.failure, c.failures);
    auto report = CommandReport(kCommandReadFirmware);
    EXPECT_EQ(SetFeatureReport(report.data(), report.size()), c.sent);
    EXPECT_EQ(sleeps.waits, c.waits);
    EXPECT_EQ(mouse.SentReports().size(), c.sent ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Sends, SendRetryTest,
    ::testing::Values(SendCase{"FirstRepeatImmediate", HidResult::Transient, 1, true, {}},
                      SendCase{"ThirdRepeatSucceeds", HidResult::Transient, 3, true, {50, 50}},
                      SendCase{"AllRepeatsFail", HidResult::Transient, 4, false, {50, 50, 50}},
                      SendCase{"HardFailure", HidResult::Error, 1, false, {}}),
    [](const auto& info) { return std::string(info.param.name); });

struct FetchCase {
    const char* name;
    HidResult failure;
    int failures;
    std::vector<uint8_t> statuses;  // answered in turn by the fetches that reach the mouse
    bool fetched;
    uint8_t status;
    Waits waits;
};

void PrintTo(const FetchCase& c, std::ostream* os) {
    *os << c.name;
}

class FetchTest : public DeviceLinkTest, public ::testing::WithParamInterface<FetchCase> {};

TEST_P(FetchTest, RetriesAndPollsWithTheRightWaits) {
    const FetchCase& c = GetParam();
    mouse.FailFetches(c.failure, c.failures);
    for (uint8_t status : c.statuses)
        mouse.Firmware().QueueStatuses({status});
    auto report = CommandReport(0);
    EXPECT_EQ(GetFeatureReport(report.data(), report.size()), c.fetched);
    EXPECT_EQ(report[0], kCommandReportId);
    EXPECT_EQ(report[1], c.status);
    EXPECT_EQ(sleeps.waits, c.waits);
}

const Waits kStaysBusyWaits = {100, 0,   100, 100, 100, 200, 100, 300, 100, 400,
                               100, 500, 100, 600, 100, 700, 100, 800, 100, 900};

INSTANTIATE_TEST_SUITE_P(
    Fetches, FetchTest,
    ::testing::Values(
        FetchCase{"Done", HidResult::Ok, 0, {1}, true, 1, {}},
        // Any status but busy is the caller's to judge.
        FetchCase{"Failed", HidResult::Ok, 0, {2}, true, 2, {}},
        FetchCase{"RepeatSucceeds", HidResult::Transient, 2, {1}, true, 1, {50}},
        // The repeat path does not look at the status.
        FetchCase{"RepeatAnswersBusy", HidResult::Transient, 1, {3}, true, 3, {}},
        FetchCase{"RepeatsFail", HidResult::Transient, 4, {1}, false, 0, {50, 50, 50}},
        FetchCase{"HardFailure", HidResult::Error, 1, {1}, false, 0, {}},
        FetchCase{"BusyThenDone", HidResult::Ok, 0, {3, 3, 3, 1}, true, 1, {100, 0, 100, 100, 100}},
        // A poll with another status is followed by the next poll at once.
        FetchCase{"BusyThenOtherThenDone", HidResult::Ok, 0, {3, 7, 1}, true, 1, {100, 100}},
        FetchCase{"StaysBusy", HidResult::Ok, 0, std::vector<uint8_t>(11, 3), true, 3,
                  kStaysBusyWaits}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DeviceLinkTest, MouseThatStaysBusyFailsEveryCommandAfterTenPolls) {
    mouse.Firmware().SetStaysBusy(true);
    std::array<uint8_t, kFirmwareBlockSize> block{};
    EXPECT_EQ(ReadFirmwareInfo(block), 255);
    Waits expected = {50};
    expected.insert(expected.end(), kStaysBusyWaits.begin(), kStaysBusyWaits.end());
    EXPECT_EQ(sleeps.waits, expected);
    sleeps.waits.clear();
    EXPECT_EQ(ReadSettings(), 2);
    EXPECT_EQ(sleeps.Total(), 80u + 5500u);
    sleeps.waits.clear();
    EXPECT_EQ(FactoryReset(), 255);
    EXPECT_EQ(sleeps.Total(), 1100u + 5500u);
}

TEST_F(DeviceLinkTest, WriteSettingsSendsTheImageInOneReport) {
    SettingsRecord record = Defaults();
    record.cpiLevels[2].x = 12345;
    record.opaqueBlock[19] = 0x77;
    EXPECT_EQ(WriteSettings(record, 300), 1);
    EXPECT_EQ(sleeps.waits, Waits{300});

    SettingsImage image{};
    EncodeSettingsImage(record, image);
    std::vector<uint8_t> expected = {kSettingsReportId, kCommandWriteSettings};
    expected.resize(kReportPayloadOffset, 0);
    expected.insert(expected.end(), image.begin(), image.end());
    expected.push_back(0);
    ASSERT_EQ(expected.size(), 1041u);
    ASSERT_EQ(mouse.SentReports().size(), 1u);
    EXPECT_EQ(mouse.SentReports()[0], expected);
    EXPECT_EQ(mouse.Firmware().Memory(), image);
}

TEST_F(DeviceLinkTest, WriteSettingsReturnsTheRawStatusOfOneFetch) {
    struct Case {
        const char* name;
        std::function<void(SimulatedMouse&)> script;
        int result;
    };
    const Case cases[] = {
        {"Busy is not polled", [](SimulatedMouse& m) { m.Firmware().QueueStatuses({3}); }, 3},
        {"Failure status", [](SimulatedMouse& m) { m.Firmware().QueueStatuses({0x7F}); }, 0x7F},
        {"Transient fetch failure is not repeated",
         [](SimulatedMouse& m) { m.FailFetches(HidResult::Transient, 1); }, 0},
        {"Hard fetch failure", [](SimulatedMouse& m) { m.FailFetches(HidResult::Error, 1); }, 0},
        {"Send fails", [](SimulatedMouse& m) { m.FailSends(HidResult::Error, 1); }, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sleeps.waits.clear();
        c.script(mouse);
        EXPECT_EQ(WriteSettings(Defaults(), 350), c.result);
        EXPECT_EQ(sleeps.waits, Waits{350});
        mouse.FailFetches(HidResult::Ok, 0);
    }
}

TEST_F(DeviceLinkTest, ReadSettingsFillsLastReadImage) {
    SettingsImage image = MouseFirmware::FactoryImage();
    image[5] = 16;     // pollingRateCode
    image[36] = 0x2C;  // cpiLevels[0].x = 300
    image[37] = 0x01;
    image[1000] = 0xEE;  // outside the fields, yet part of what was read
    mouse.Firmware().SetMemory(image);

    EXPECT_EQ(ReadSettings(), 1);
    EXPECT_EQ(sleeps.waits, Waits{80});
    EXPECT_EQ(lastReadImage, image);
    ASSERT_EQ(mouse.SentReports().size(), 1u);
    std::vector<uint8_t> command(kCommandReportSize, 0);
    command[0] = kCommandReportId;
    command[1] = kCommandReadSettings;
    EXPECT_EQ(mouse.SentReports()[0], command);
}

TEST_F(DeviceLinkTest, ReadSettingsThatFailsChangesNothing) {
    const SettingsImage before = lastReadImage;
    mouse.Firmware().QueueStatuses({2});
    EXPECT_EQ(ReadSettings(), 2);
    EXPECT_EQ(lastReadImage, before);
    mouse.FailSends(HidResult::Error, 1);
    sleeps.waits.clear();
    EXPECT_EQ(ReadSettings(), 2);
    EXPECT_EQ(sleeps.waits, Waits{80});
}

TEST_F(DeviceLinkTest, ReadFirmwareInfoGivesTheVersionOrLeavesTheBlock) {
    std::array<uint8_t, kFirmwareBlockSize> block;
    block.fill(0xAB);
    EXPECT_EQ(ReadFirmwareInfo(block), 1);
    EXPECT_EQ(sleeps.waits, Waits{50});
    EXPECT_EQ(block[1] | (block[2] << 8), 0x0107);

    block.fill(0xAB);
    mouse.Firmware().QueueStatuses({2});
    EXPECT_EQ(ReadFirmwareInfo(block), 255);
    std::array<uint8_t, kFirmwareBlockSize> untouched;
    untouched.fill(0xAB);
    EXPECT_EQ(block, untouched);
}

TEST_F(DeviceLinkTest, FactoryResetWaitsForTheMouseAndRestoresDefaults) {
    SettingsImage image{};
    image[5] = 64;
    mouse.Firmware().SetMemory(image);
    EXPECT_EQ(FactoryReset(), 1);
    EXPECT_EQ(sleeps.waits, Waits{1100});
    EXPECT_EQ(mouse.Firmware().Memory(), MouseFirmware::FactoryImage());

    mouse.Firmware().QueueStatuses({2});
    EXPECT_EQ(FactoryReset(), 255);
    sleeps.waits.clear();
    mouse.FailSends(HidResult::Transient, 4);  // every repeat fails too
    EXPECT_EQ(FactoryReset(), 255);
    EXPECT_EQ(sleeps.waits, (Waits{50, 50, 50}));  // the repeats only, no 1100 ms
}

TEST_F(DeviceLinkTest, ReadModifyWriteReadBackThenFactoryReset) {
    ASSERT_EQ(ReadSettings(), 1);
    SettingsRecord changed{};
    DecodeSettingsImage(lastReadImage, changed);
    changed.pollingRateCode = 8;
    changed.cpiLevels[3] = {1, 6400, 3200};
    changed.buttons[4] = {0x02, 0x04, 0x1E, 0x00, 0x03};
    changed.sensorAngle = -12;
    ASSERT_EQ(WriteSettings(changed, 300), 1);

    lastReadImage = {};
    ASSERT_EQ(ReadSettings(), 1);
    SettingsRecord read{};
    DecodeSettingsImage(lastReadImage, read);
    EXPECT_FALSE(SettingsDiffer(read, changed));
    SettingsImage expected{};
    EncodeSettingsImage(changed, expected);
    EXPECT_EQ(lastReadImage, expected);

    ASSERT_EQ(FactoryReset(), 1);
    ASSERT_EQ(ReadSettings(), 1);
    DecodeSettingsImage(lastReadImage, read);
    EXPECT_FALSE(SettingsDiffer(read, Defaults()));
}

TEST_F(DeviceLinkTest, UnpluggedMouseFailsCommandsWithoutRetries) {
    mouse.Unplug();
    EXPECT_EQ(ReadSettings(), 2);
    EXPECT_EQ(sleeps.waits, Waits{80});
    mouse.Plug();
    // The old handle stays dead until FindDevice replaces it.
    EXPECT_EQ(ReadSettings(), 2);
    ASSERT_TRUE(FindDevice(kProductId));
    EXPECT_EQ(ReadSettings(), 1);
}

}  // namespace
