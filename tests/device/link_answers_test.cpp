// The link against a scripted transport: answers the simulated firmware never
// gives, and two threads competing for the link.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <stdexcept>
#include <thread>

#include "device/device_link.h"
#include "device/hidapi_transport.h"
#include "device/sleep.h"
#include "link_test_support.h"
#include "support/sleep_recorder.h"

namespace {

using Waits = std::vector<unsigned>;
using Block = std::array<uint8_t, kFirmwareBlockSize>;

SettingsRecord Defaults() {
    SettingsRecord record{};
    LoadDefaultSettings(record);
    return record;
}

struct BadAnswer {
    const char* name;
    ScriptedTransport::FetchHandler answer;
    bool fetched;     // whether GetFeatureReport counts it as a report at all
    int writeResult;  // WriteSettings hands back the status it fetched, 0 when none
};

void PrintTo(const BadAnswer& answer, std::ostream* os) {
    *os << answer.name;
}

// Every answer is filled with junk first, so that a leak of it would show.
HidResult Junk(uint8_t* data, size_t length) {
    std::fill(data + 1, data + length, 0xEE);
    return HidResult::Ok;
}

const BadAnswer kBadAnswers[] = {
    {"WrongReportId",
     [](uint8_t* data, size_t length) {
         Junk(data, length);
         data[0] ^= 0x01;  // 0xA1 <-> 0xA0
         data[1] = kStatusDone;
         return HidResult::Ok;
     },
     false, 0},
    // What the hidapi transport makes of a device that answers two bytes.
    {"ShortFetch",
     [](uint8_t* data, size_t length) {
         Junk(data, length);
         data[1] = kStatusDone;
         return FinishFeatureFetch(2, 0, data, length);
     },
     false, 0},
    {"GarbageStatus",
     [](uint8_t* data, size_t length) {
         Junk(data, length);
         data[1] = 0x7F;
         return HidResult::Ok;
     },
     true, 0x7F},
};

class BadAnswerTest : public ::testing::TestWithParam<BadAnswer> {
protected:
    void SetUp() override {
        transport.onFetch = GetParam().answer;
        SetHidTransport(&transport);
        ASSERT_TRUE(FindDevice(kProductId));
        lastReadImage = {};
    }
    void TearDown() override { ReleaseLink(); }

    ScriptedTransport transport;
    SleepRecorder sleeps;
};

TEST_P(BadAnswerTest, CommandsFailAndKeepTheirData) {
    EXPECT_EQ(ReadSettings(), 2);
    EXPECT_EQ(lastReadImage, SettingsImage{});

    Block block;
    block.fill(0xAB);
    const Block before = block;
    EXPECT_EQ(ReadFirmwareInfo(block), 255);
    EXPECT_EQ(block, before);

    EXPECT_EQ(FactoryReset(), 255);
    EXPECT_EQ(WriteSettings(Defaults(), 300), GetParam().writeResult);
}

TEST_P(BadAnswerTest, FetchLeavesNothingOfAFailedAnswer) {
    std::array<uint8_t, kCommandReportSize> report{kCommandReportId};
    ASSERT_EQ(GetFeatureReport(report.data(), report.size()), GetParam().fetched);
    if (GetParam().fetched)
        EXPECT_EQ(report[1], 0x7F);  // its status is the caller's to judge
    else
        EXPECT_EQ(report, (std::array<uint8_t, kCommandReportSize>{kCommandReportId}));
    EXPECT_TRUE(sleeps.waits.empty());  // none of these is worth a repeat
}

INSTANTIATE_TEST_SUITE_P(Answers, BadAnswerTest, ::testing::ValuesIn(kBadAnswers),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LinkAnswerTest, FirmwareBlockIsExactlyReportBytes16To29) {
    ScriptedTransport transport;
    transport.onFetch = [](uint8_t* data, size_t length) {
        for (size_t i = 1; i < length; ++i)
            data[i] = static_cast<uint8_t>(i);
        data[1] = kStatusDone;
        return HidResult::Ok;
    };
    SetHidTransport(&transport);
    ASSERT_TRUE(FindDevice(kProductId));
    SleepRecorder sleeps;
    Block block{};
    EXPECT_EQ(ReadFirmwareInfo(block), 1);
    EXPECT_EQ(block, (Block{16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29}));
    ReleaseLink();
}

// Each command must own the link from its send to its last fetch. Real but
// tiny waits give the other thread every chance to cut in.
TEST(LinkLockTest, CommandsOfTwoThreadsNeverInterleave) {
    ScriptedTransport transport;
    SetHidTransport(&transport);
    ASSERT_TRUE(FindDevice(kProductId));
    SetSleepHook([](unsigned) { std::this_thread::sleep_for(std::chrono::microseconds(200)); });
    constexpr int kRounds = 15;
    auto issueCommands = [] {
        const SettingsRecord record = Defaults();
        for (int i = 0; i < kRounds; ++i) {
            Block block;
            EXPECT_EQ(ReadSettings(), 1);
            EXPECT_EQ(WriteSettings(record, 300), 1);
            EXPECT_EQ(ReadFirmwareInfo(block), 1);
            EXPECT_EQ(FactoryReset(), 1);
        }
    };
    std::thread first(issueCommands);
    std::thread second(issueCommands);
    first.join();
    second.join();
    SetSleepHook({});
    ReleaseLink();

    // Every command is one send followed by its one fetch, both from the same thread.
    const auto calls = transport.Calls();
    ASSERT_EQ(calls.size(), 2u * kRounds * 4 * 2);
    for (size_t i = 0; i < calls.size(); i += 2) {
        EXPECT_TRUE(calls[i].send) << i;
        EXPECT_FALSE(calls[i + 1].send) << i + 1;
        EXPECT_EQ(calls[i].thread, calls[i + 1].thread) << "another thread cut in at " << i + 1;
    }
}

TEST(LinkLockTest, ExceptionInsideACommandReleasesTheLock) {
    ScriptedTransport transport;
    bool thrown = false;
    transport.onSend = [&](const uint8_t*, size_t) {
        if (!std::exchange(thrown, true))
            throw std::runtime_error("transport broke");
        return HidResult::Ok;
    };
    SetHidTransport(&transport);
    ASSERT_TRUE(FindDevice(kProductId));
    SleepRecorder sleeps;
    EXPECT_THROW(ReadSettings(), std::runtime_error);

    // On another thread, so that a lock left held shows as a timeout, not a hang.
    auto done = std::make_shared<std::promise<int>>();
    std::future<int> result = done->get_future();
    std::thread([done] { done->set_value(FactoryReset()); }).detach();
    ASSERT_EQ(result.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(result.get(), 1);
    ReleaseLink();
}

}  // namespace
