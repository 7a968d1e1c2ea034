#include "device/simulated/simulated_mouse.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "device/device_link.h"

namespace {

std::vector<uint8_t> CommandReport(uint8_t command) {
    std::vector<uint8_t> report(kCommandReportSize, 0);
    report[0] = kCommandReportId;
    report[1] = command;
    return report;
}

std::vector<uint8_t> SettingsReport(const SettingsImage& image) {
    std::vector<uint8_t> report(kSettingsReportSize, 0);
    report[0] = kSettingsReportId;
    report[1] = kCommandWriteSettings;
    std::copy(image.begin(), image.end(), report.begin() + kReportPayloadOffset);
    return report;
}

// A get-feature request: report id, then zeros.
std::vector<uint8_t> Request(uint8_t reportId, size_t size) {
    std::vector<uint8_t> report(size, 0);
    report[0] = reportId;
    return report;
}

SettingsImage ImageIn(const std::vector<uint8_t>& settingsReport) {
    SettingsImage image;
    std::copy_n(settingsReport.begin() + kReportPayloadOffset, image.size(), image.begin());
    return image;
}

std::unique_ptr<HidConnection> OpenInterface(SimulatedMouse& mouse, size_t interface,
                                             size_t index = 0) {
    return mouse.Open(mouse.InterfacePaths(index).at(interface));
}

constexpr size_t kMouseInterface = 0;
constexpr size_t kConfigInterface = 1;
constexpr size_t kEventInterface = 2;

TEST(SimulatedMouseTest, ListsThreeInterfacesInOrderWithKernelStylePaths) {
    SimulatedMouse mouse;
    const auto interfaces = mouse.Enumerate(kVendorId, kProductId);
    ASSERT_EQ(interfaces.size(), 3u);
    const std::pair<uint16_t, uint16_t> usages[] = {
        {0x0001, 0x0002}, {kConfigUsagePage, kConfigUsage}, {kEventUsagePage, kEventUsage}};
    const auto paths = mouse.InterfacePaths();
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(interfaces[i].vendorId, kVendorId);
        EXPECT_EQ(interfaces[i].productId, kProductId);
        EXPECT_EQ(interfaces[i].usagePage, usages[i].first);
        EXPECT_EQ(interfaces[i].usage, usages[i].second);
        EXPECT_EQ(interfaces[i].path, paths.at(i));
        EXPECT_NE(paths[i].find("0003:5B29:0C7E."), std::string::npos) << paths[i];
    }
    EXPECT_NE(paths[0], paths[1]);
    EXPECT_NE(paths[1], paths[2]);
    EXPECT_TRUE(mouse.Enumerate(kVendorId, 0x1234).empty());
}

TEST(SimulatedMouseTest, SecondMouseIsListedAfterTheFirstWithItsOwnPaths) {
    SimulatedMouse mouse;
    const size_t second = mouse.AddMouse();
    EXPECT_EQ(second, 1u);
    const auto interfaces = mouse.Enumerate(kVendorId, kProductId);
    ASSERT_EQ(interfaces.size(), 6u);
    EXPECT_EQ(interfaces[1].path, mouse.InterfacePaths(0)[1]);
    EXPECT_EQ(interfaces[4].path, mouse.InterfacePaths(1)[1]);
    EXPECT_NE(interfaces[1].path, interfaces[4].path);
}

TEST(SimulatedMouseTest, UnplugMakesConnectionsFailAndPlugGivesNewPaths) {
    SimulatedMouse mouse;
    std::vector<std::pair<std::string, bool>> notices;
    mouse.SetPlugObserver(
        [&](const std::string& path, bool arrived) { notices.emplace_back(path, arrived); });
    const auto oldPaths = mouse.InterfacePaths();
    auto config = OpenInterface(mouse, kConfigInterface);
    ASSERT_TRUE(config);

    mouse.Unplug();
    EXPECT_FALSE(mouse.IsPlugged());
    EXPECT_TRUE(mouse.Enumerate(kVendorId, kProductId).empty());
    EXPECT_EQ(mouse.Open(oldPaths[kConfigInterface]), nullptr);
    auto command = CommandReport(kCommandReadSettings);
    EXPECT_EQ(config->SendFeatureReport(command.data(), command.size()), HidResult::Error);
    auto answer = Request(kCommandReportId, kCommandReportSize);
    EXPECT_EQ(config->GetFeatureReport(answer.data(), answer.size()), HidResult::Error);

    mouse.Plug();
    const auto newPaths = mouse.InterfacePaths();
    ASSERT_EQ(newPaths.size(), 3u);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_NE(newPaths[i], oldPaths[i]);
    // A handle of the removed device stays dead, as a removed hidraw node does.
    EXPECT_EQ(config->SendFeatureReport(command.data(), command.size()), HidResult::Error);
    auto fresh = OpenInterface(mouse, kConfigInterface);
    ASSERT_TRUE(fresh);
    EXPECT_EQ(fresh->SendFeatureReport(command.data(), command.size()), HidResult::Ok);

    std::vector<std::pair<std::string, bool>> expected;
    for (const auto& path : oldPaths)
        expected.emplace_back(path, false);
    for (const auto& path : newPaths)
        expected.emplace_back(path, true);
    EXPECT_EQ(notices, expected);
}

TEST(SimulatedMouseTest, OpenFailsWithTheScriptedReason) {
    SimulatedMouse mouse;
    for (OpenFailure reason : {OpenFailure::AccessDenied, OpenFailure::Gone, OpenFailure::Other}) {
        mouse.SetOpenFailure(0, reason);
        EXPECT_EQ(OpenInterface(mouse, kConfigInterface), nullptr);
        EXPECT_EQ(mouse.LastOpenFailure(), reason) << static_cast<int>(reason);
    }
    mouse.SetOpenFailure(0, OpenFailure::None);
    EXPECT_NE(OpenInterface(mouse, kConfigInterface), nullptr);
    EXPECT_EQ(mouse.LastOpenFailure(), OpenFailure::None);
    EXPECT_EQ(mouse.Open("/sys/devices/virtual/hid/0003:5B29:0C7E.FFFF"), nullptr);
    EXPECT_EQ(mouse.LastOpenFailure(), OpenFailure::Gone);
}

TEST(SimulatedMouseTest, OnlyTheConfigurationInterfaceAnswersFeatureReports) {
    SimulatedMouse mouse;
    auto command = CommandReport(kCommandReadFirmware);
    for (size_t interface : {kMouseInterface, kEventInterface}) {
        auto connection = OpenInterface(mouse, interface);
        ASSERT_TRUE(connection);
        EXPECT_EQ(connection->SendFeatureReport(command.data(), command.size()), HidResult::Error);
    }
    EXPECT_TRUE(mouse.SentReports().empty());
}

TEST(SimulatedMouseTest, FirmwareReadsWritesAndResetsItsMemory) {
    SimulatedMouse mouse;
    auto config = OpenInterface(mouse, kConfigInterface);
    std::vector<SettingsImage> stored;
    mouse.Firmware().onMemoryChanged = [&](const SettingsImage& image) { stored.push_back(image); };

    SettingsRecord defaults{};
    LoadDefaultSettings(defaults);
    SettingsImage factory{};
    EncodeSettingsImage(defaults, factory);
    EXPECT_EQ(MouseFirmware::FactoryImage(), factory);
    EXPECT_EQ(mouse.Firmware().Memory(), factory);

    SettingsImage changed = factory;
    changed[kSettingsImageSize - 1] = 0x5A;  // the firmware stores what it gets, byte for byte
    changed[5] = 8;
    auto write = SettingsReport(changed);
    ASSERT_EQ(config->SendFeatureReport(write.data(), write.size()), HidResult::Ok);
    auto status = Request(kCommandReportId, kCommandReportSize);
    ASSERT_EQ(config->GetFeatureReport(status.data(), status.size()), HidResult::Ok);
    EXPECT_EQ(status[1], kStatusDone);

    auto read = CommandReport(kCommandReadSettings);
    ASSERT_EQ(config->SendFeatureReport(read.data(), read.size()), HidResult::Ok);
    auto settings = Request(kSettingsReportId, kSettingsReportSize);
    ASSERT_EQ(config->GetFeatureReport(settings.data(), settings.size()), HidResult::Ok);
    EXPECT_EQ(settings[1], kStatusDone);
    EXPECT_EQ(ImageIn(settings), changed);

    auto reset = CommandReport(kCommandFactoryReset);
    ASSERT_EQ(config->SendFeatureReport(reset.data(), reset.size()), HidResult::Ok);
    EXPECT_EQ(mouse.Firmware().Memory(), factory);
    EXPECT_EQ(stored, (std::vector<SettingsImage>{changed, factory}));
    EXPECT_EQ(mouse.SentReports(), (std::vector<std::vector<uint8_t>>{write, read, reset}));
}

TEST(SimulatedMouseTest, FirmwareBlockCarriesTheVersionOnlyAfterItsCommand) {
    SimulatedMouse mouse;
    auto config = OpenInterface(mouse, kConfigInterface);
    auto fetch = [&] {
        auto answer = Request(kCommandReportId, kCommandReportSize);
        EXPECT_EQ(config->GetFeatureReport(answer.data(), answer.size()), HidResult::Ok);
        return answer;
    };
    auto command = CommandReport(kCommandReadFirmware);
    config->SendFeatureReport(command.data(), command.size());
    auto answer = fetch();
    EXPECT_EQ(answer[0], kCommandReportId);
    EXPECT_EQ(answer[1], kStatusDone);
    EXPECT_EQ(answer[17], 0x07);
    EXPECT_EQ(answer[18], 0x01);

    command = CommandReport(kCommandReadSettings);
    config->SendFeatureReport(command.data(), command.size());
    answer = fetch();
    EXPECT_EQ(answer[17], 0);
    EXPECT_EQ(answer[18], 0);
}

TEST(SimulatedMouseTest, UnknownCommandsAnswerFailureAndChangeNothing) {
    SimulatedMouse mouse;
    auto config = OpenInterface(mouse, kConfigInterface);
    SettingsImage changed{};
    changed[5] = 64;
    auto notAWrite = SettingsReport(changed);
    notAWrite[1] = kCommandReadSettings;
    for (auto report : {CommandReport(0x55), CommandReport(kCommandWriteSettings), notAWrite}) {
        ASSERT_EQ(config->SendFeatureReport(report.data(), report.size()), HidResult::Ok);
        auto answer = Request(kCommandReportId, kCommandReportSize);
        ASSERT_EQ(config->GetFeatureReport(answer.data(), answer.size()), HidResult::Ok);
        EXPECT_NE(answer[1], kStatusDone);
        EXPECT_NE(answer[1], kStatusBusy);
    }
    EXPECT_EQ(mouse.Firmware().Memory(), MouseFirmware::FactoryImage());
    auto unknownId = Request(0x42, 8);
    EXPECT_EQ(config->SendFeatureReport(unknownId.data(), unknownId.size()), HidResult::Error);
    EXPECT_EQ(config->GetFeatureReport(unknownId.data(), unknownId.size()), HidResult::Error);
}

TEST(SimulatedMouseTest, ScriptedStatusesComeFirstThenTheCommandsOwn) {
    SimulatedMouse mouse;
    auto config = OpenInterface(mouse, kConfigInterface);
    auto command = CommandReport(kCommandReadSettings);
    config->SendFeatureReport(command.data(), command.size());
    mouse.Firmware().QueueStatuses({kStatusBusy, 7});
    std::vector<uint8_t> statuses;
    for (int i = 0; i < 3; ++i) {
        auto answer = Request(kSettingsReportId, kSettingsReportSize);
        config->GetFeatureReport(answer.data(), answer.size());
        statuses.push_back(answer[1]);
    }
    mouse.Firmware().SetStaysBusy(true);
    auto answer = Request(kCommandReportId, kCommandReportSize);
    config->GetFeatureReport(answer.data(), answer.size());
    statuses.push_back(answer[1]);
    EXPECT_EQ(statuses, (std::vector<uint8_t>{kStatusBusy, 7, kStatusDone, kStatusBusy}));
}

TEST(SimulatedMouseTest, ScriptedFailuresSkipTheFirmware) {
    SimulatedMouse mouse;
    auto config = OpenInterface(mouse, kConfigInterface);
    auto command = CommandReport(kCommandReadSettings);
    auto answer = Request(kCommandReportId, kCommandReportSize);
    mouse.FailSends(HidResult::Transient, 2);
    mouse.FailFetches(HidResult::Error, 1);
    EXPECT_EQ(config->SendFeatureReport(command.data(), command.size()), HidResult::Transient);
    EXPECT_EQ(config->SendFeatureReport(command.data(), command.size()), HidResult::Transient);
    EXPECT_TRUE(mouse.SentReports().empty());
    EXPECT_EQ(config->SendFeatureReport(command.data(), command.size()), HidResult::Ok);
    EXPECT_EQ(mouse.SentReports().size(), 1u);
    EXPECT_EQ(config->GetFeatureReport(answer.data(), answer.size()), HidResult::Error);
    EXPECT_EQ(config->GetFeatureReport(answer.data(), answer.size()), HidResult::Ok);
}

TEST(SimulatedMouseTest, ShortAnswerFailsAndLeavesNoStaleBytes) {
    SimulatedMouse mouse;
    auto config = OpenInterface(mouse, kConfigInterface);
    auto command = CommandReport(kCommandReadFirmware);
    config->SendFeatureReport(command.data(), command.size());
    // Asking for more than the report holds: the firmware answers 64 bytes only.
    std::vector<uint8_t> answer(kCommandReportSize + 16, 0xEE);
    answer[0] = kCommandReportId;
    EXPECT_EQ(config->GetFeatureReport(answer.data(), answer.size()), HidResult::Error);
    EXPECT_EQ(answer[1], kStatusDone);
    for (size_t i = kCommandReportSize; i < answer.size(); ++i)
        EXPECT_EQ(answer[i], 0) << i;
}

TEST(SimulatedMouseTest, InputReportsReachOpenEventConnectionsOnly) {
    SimulatedMouse mouse;
    mouse.SendInputReport({3, 2, 1});  // nobody listens yet: dropped
    auto events = OpenInterface(mouse, kEventInterface);
    auto other = OpenInterface(mouse, kConfigInterface);
    mouse.SendInputReport({3, 6, 8, 0, 0, 0, 0, 0});
    mouse.AddMouse();
    mouse.SendInputReport({3, 2, 3}, 1);  // the other mouse's

    std::vector<uint8_t> buffer(8, 0xEE);
    EXPECT_EQ(other->ReadInput(buffer.data(), buffer.size(), 0), 0);
    EXPECT_EQ(events->ReadInput(buffer.data(), 3, 0), 3);
    EXPECT_EQ(buffer, (std::vector<uint8_t>{3, 6, 8, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}));
    EXPECT_EQ(events->ReadInput(buffer.data(), buffer.size(), 0), 0);
}

TEST(SimulatedMouseTest, ShortInputReportLeavesNoStaleBytes) {
    SimulatedMouse mouse;
    auto events = OpenInterface(mouse, kEventInterface);
    mouse.SendInputReport({3, 2});
    std::vector<uint8_t> buffer(8, 0xEE);
    EXPECT_EQ(events->ReadInput(buffer.data(), buffer.size(), 0), 2);
    EXPECT_EQ(buffer, (std::vector<uint8_t>{3, 2, 0, 0, 0, 0, 0, 0}));
}

// A blocked reader wakes for a report and for removal; the wait has no limit,
// so a reader that missed a wake-up would hang the test.
TEST(SimulatedMouseTest, BlockedReaderWakesForAReportAndForRemoval) {
    SimulatedMouse mouse;
    auto events = OpenInterface(mouse, kEventInterface);
    std::atomic<int> first{-2};
    std::atomic<int> second{-2};
    std::thread reader([&] {
        std::vector<uint8_t> buffer(8);
        first = events->ReadInput(buffer.data(), buffer.size(), -1);
        second = events->ReadInput(buffer.data(), buffer.size(), -1);
    });
    mouse.SendInputReport({3, 2, 1, 0, 0, 0, 0, 0});
    while (first == -2)
        std::this_thread::yield();
    mouse.Unplug();
    reader.join();
    EXPECT_EQ(first, 8);
    EXPECT_EQ(second, -1);
}

// A reader waiting without a limit is freed by an interrupt, and every later
// read returns at once, a waiting report notwithstanding: the connection is closing.
TEST(SimulatedMouseTest, InterruptEndsAWaitingReadAndEveryLaterOne) {
    SimulatedMouse mouse;
    auto events = OpenInterface(mouse, kEventInterface);
    auto read = std::async(std::launch::async, [&] {
        std::vector<uint8_t> buffer(8);
        return events->ReadInput(buffer.data(), buffer.size(), -1);
    });
    ASSERT_TRUE(mouse.WaitUntilInputTaken());
    EXPECT_EQ(mouse.ReadersWaitingWithoutLimit(), 1u);
    events->InterruptRead();
    // The limit only guards against a hang; the removal frees a read the interrupt missed.
    if (read.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        ADD_FAILURE() << "the interrupt did not end the read";
        mouse.Unplug();
    }
    EXPECT_EQ(read.get(), 0);
    mouse.SendInputReport({3, 2, 1, 0, 0, 0, 0, 0});
    std::vector<uint8_t> buffer(8);
    EXPECT_EQ(events->ReadInput(buffer.data(), buffer.size(), -1), 0);
}

}  // namespace

TEST(SimulatedMouseTest, PointerReportsQueueAsHidrawDoesAndStayOnTheirInterface) {
    SimulatedMouse mouse;
    auto pointer = OpenInterface(mouse, kMouseInterface);
    auto events = OpenInterface(mouse, kEventInterface);
    ASSERT_TRUE(pointer && events);
    // 70 reports while nobody reads: the kernel keeps 64 and drops the rest.
    for (uint8_t i = 0; i < 70; ++i)
        mouse.SendPointerReport({0, i, 0, 0});
    EXPECT_EQ(mouse.PointerReportsDropped(), 6u);
    std::array<uint8_t, 8> report{};
    for (uint8_t i = 0; i < 64; ++i) {
        ASSERT_EQ(pointer->ReadInput(report.data(), report.size(), 0), 4) << int(i);
        EXPECT_EQ(report[1], i) << "oldest first, none lost before the queue was full";
    }
    EXPECT_EQ(pointer->ReadInput(report.data(), report.size(), 0), 0);
    // Motion never reaches the event interface, nor events the pointer interface.
    EXPECT_EQ(events->ReadInput(report.data(), report.size(), 0), 0);
    mouse.SendInputReport({3, 2, 1, 0, 0, 0, 0, 0});
    EXPECT_EQ(pointer->ReadInput(report.data(), report.size(), 0), 0);
    EXPECT_EQ(events->ReadInput(report.data(), report.size(), 0), 8);
}
