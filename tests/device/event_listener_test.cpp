#include "device/event_listener.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <utility>
#include <vector>

#include "device/simulated_mouse.h"
#include "device/sleep.h"

namespace {

using Event = std::pair<uint8_t, uint8_t>;

// Collects what the listener thread delivers; the test thread waits on it.
class EventLog {
public:
    void Add(uint8_t code, uint8_t value) {
        std::lock_guard lock(mutex_);
        events_.emplace_back(code, value);
        changed_.notify_all();
    }
    // Waits (bounded) until `count` events arrived; returns what arrived.
    std::vector<Event> WaitFor(size_t count,
                               std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, limit, [&] { return events_.size() >= count; });
        return events_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Event> events_;
};

class EventListener : public ::testing::Test {
protected:
    void SetUp() override {
        SetHidTransport(&mouse);
        SetDeviceEventHandler([this](uint8_t code, uint8_t value) { log.Add(code, value); });
        SetSleepHook([this](unsigned ms) {
            std::lock_guard lock(sleepMutex);
            pauses.push_back(ms);
        });
    }
    void TearDown() override {
        StopDeviceEventListener();
        SetDeviceEventHandler({});
        SetSleepHook({});
        SetHidTransport(nullptr);
    }

    std::vector<unsigned> Pauses() {
        std::lock_guard lock(sleepMutex);
        return pauses;
    }

    SimulatedMouse mouse;
    EventLog log;
    std::mutex sleepMutex;
    std::vector<unsigned> pauses;
};

TEST_F(EventListener, WithoutTheMouseNothingStarts) {
    mouse.Unplug();
    EXPECT_EQ(StartDeviceEventListener(), 255);
    EXPECT_FALSE(DeviceEventListenerRunning());
}

TEST_F(EventListener, DeliversRecognisedEventsInOrderAndDropsTheRest) {
    ASSERT_EQ(StartDeviceEventListener(), 5);
    EXPECT_TRUE(DeviceEventListenerRunning());

    const std::vector<std::vector<uint8_t>> reports = {
        {3, 2, 2, 0, 0, 0, 0, 0},     // level changed
        {4, 2, 1, 0, 0, 0, 0, 0},     // another report id
        {3, 6, 8, 0, 0, 0, 0, 0},     // report rate changed
        {3, 7, 1, 0, 0, 0, 0, 0},     // unknown event
        {3},                          // too short to hold an event
        {3, 0xB4, 5, 0, 0, 0, 0, 0},  // recognised, the handler ignores it
        {3, 6, 3, 0, 0, 0, 0, 0},     // unknown rate: the handler decides
        {3, 2, 0, 0, 0, 0, 0, 0},
    };
    for (const auto& report : reports) {
        mouse.SendInputReport(report);
    }
    const std::vector<Event> expected = {{2, 2}, {6, 8}, {0xB4, 5}, {6, 3}, {2, 0}};
    EXPECT_EQ(log.WaitFor(expected.size()), expected);
    // Every report read is followed by the pause that bounds the rate of handling.
    EXPECT_GE(Pauses().size(), expected.size());
    for (unsigned pause : Pauses()) {
        EXPECT_EQ(pause, 80u);
    }
}

TEST_F(EventListener, UnplugEndsTheListenerAndStartingAgainKeepsOnlyOne) {
    ASSERT_EQ(StartDeviceEventListener(), 5);
    mouse.Unplug();
    StopDeviceEventListener();
    EXPECT_FALSE(DeviceEventListenerRunning());

    mouse.Plug();
    ASSERT_EQ(StartDeviceEventListener(), 5);
    ASSERT_EQ(StartDeviceEventListener(), 5);  // replaces, never adds
    mouse.SendInputReport({3, 2, 3, 0, 0, 0, 0, 0});
    ASSERT_EQ(log.WaitFor(1).size(), 1u);
    // A second listener would deliver the same report again.
    EXPECT_EQ(log.WaitFor(2, std::chrono::milliseconds(300)), (std::vector<Event>{{2, 3}}));
    StopDeviceEventListener();
    EXPECT_FALSE(DeviceEventListenerRunning());
}

TEST_F(EventListener, AListenerWhoseMouseWentAwayDeliversNothingMore) {
    ASSERT_EQ(StartDeviceEventListener(), 5);
    mouse.Unplug();
    // The thread notices the removed device by itself, without being stopped.
    for (int i = 0; i < 1000 && DeviceEventListenerRunning(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_FALSE(DeviceEventListenerRunning());
    mouse.Plug();
    mouse.SendInputReport({3, 2, 1, 0, 0, 0, 0, 0});
    EXPECT_TRUE(log.WaitFor(1, std::chrono::milliseconds(300)).empty());
}

}  // namespace
