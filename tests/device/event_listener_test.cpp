#include "device/event_listener.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "device/simulated/simulated_mouse.h"
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
        // Guarded as in the tests: a stop that hangs fails this test, not the program.
        StopOrFail();
        SetDeviceEventHandler({});
        SetSleepHook({});
        SetHidTransport(nullptr);
    }

    // A stop that does not return is a failure, not a hung test program: the
    // mouse's removal then frees the read (the limit only guards against a hang).
    // A stop that not even the removal ends leaves a thread nothing can free:
    // the program ends at once with the failure rather than wait for ctest's limit.
    void StopOrFail() {
        auto stopped = std::async(std::launch::async, StopDeviceEventListener);
        if (stopped.wait_for(std::chrono::seconds(10)) == std::future_status::ready) {
            stopped.get();
            return;
        }
        ADD_FAILURE() << "the stop did not end a waiting read";
        mouse.Unplug();
        if (stopped.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            std::fprintf(stderr, "FAILED: the stop did not end even after the mouse's removal\n");
            std::fflush(stderr);
            std::_Exit(1);
        }
        stopped.get();
    }

    // The thread ends within microseconds; the limit only guards against a hang.
    bool WaitUntilListenerEnded() {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (DeviceEventListenerRunning() && std::chrono::steady_clock::now() < limit) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return !DeviceEventListenerRunning();
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

TEST_F(EventListener, StartingAgainKeepsOnlyOneListener) {
    ASSERT_EQ(StartDeviceEventListener(), 5);
    ASSERT_EQ(StartDeviceEventListener(), 5);  // replaces, never adds
    mouse.SendInputReport({3, 2, 3, 0, 0, 0, 0, 0});
    // Every reader has handled the report and waits for the next: a second
    // listener would have delivered it again by now.
    ASSERT_TRUE(mouse.WaitUntilInputTaken());
    EXPECT_EQ(log.WaitFor(1), (std::vector<Event>{{2, 3}}));
    EXPECT_EQ(mouse.ReadersWaitingWithoutLimit(), 1u);
}

// While the mouse is quiet the listener waits in a read without a time limit,
// so it never wakes up to look for a stop request; the stop interrupts the read.
TEST_F(EventListener, StopWhileBlockedEndsTheReadAndClosesTheInterface) {
    ASSERT_EQ(StartDeviceEventListener(), 5);
    ASSERT_TRUE(mouse.WaitUntilInputTaken());
    ASSERT_EQ(mouse.ReadersWaitingWithoutLimit(), 1u) << "the listener polls instead of waiting";

    ASSERT_NO_FATAL_FAILURE(StopOrFail());
    EXPECT_FALSE(DeviceEventListenerRunning());
    EXPECT_EQ(mouse.ReadersWaitingWithoutLimit(), 0u);
    // Its connection is closed: a report now reaches no one.
    mouse.SendInputReport({3, 2, 1, 0, 0, 0, 0, 0});
    ASSERT_TRUE(mouse.WaitUntilInputTaken()) << "a connection is still open and unread";
    EXPECT_TRUE(log.WaitFor(0).empty());
}

// The removal ends the waiting read at once: the listener ends by itself and
// delivers nothing from the mouse plugged in again.
TEST_F(EventListener, UnplugWhileBlockedEndsTheListener) {
    ASSERT_EQ(StartDeviceEventListener(), 5);
    ASSERT_TRUE(mouse.WaitUntilInputTaken());
    ASSERT_EQ(mouse.ReadersWaitingWithoutLimit(), 1u);

    mouse.Unplug();
    EXPECT_TRUE(WaitUntilListenerEnded()) << "the listener goes on reading a removed mouse";
    mouse.Plug();
    mouse.SendInputReport({3, 2, 1, 0, 0, 0, 0, 0});
    ASSERT_TRUE(mouse.WaitUntilInputTaken());
    EXPECT_TRUE(log.WaitFor(0).empty());
    ASSERT_NO_FATAL_FAILURE(StopOrFail());

    // A new listener for the mouse plugged in again.
    ASSERT_EQ(StartDeviceEventListener(), 5);
    mouse.SendInputReport({3, 2, 2, 0, 0, 0, 0, 0});
    EXPECT_EQ(log.WaitFor(1), (std::vector<Event>{{2, 2}}));
}

}  // namespace
