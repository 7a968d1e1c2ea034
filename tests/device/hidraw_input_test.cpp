#include "device/hidraw_input.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

// A packet socket stands in for the hidraw node: one report per read, and a
// hang-up when the other end goes, as a removed device gives.
class HidrawInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        int ends[2];
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends), 0);
        input = std::make_unique<HidrawInput>(ends[0]);
        device = ends[1];
    }
    void TearDown() override { Unplug(); }

    void Send(const std::vector<uint8_t>& report) {
        ASSERT_EQ(write(device, report.data(), report.size()), static_cast<ssize_t>(report.size()));
    }
    void Unplug() {
        if (device >= 0)
            close(device);
        device = -1;
    }

    // Reads without a time limit on another thread and runs `meanwhile` only
    // once that thread is known to wait in poll() and stays there, untouched,
    // for a while although nothing arrives. A read that does not end is a
    // failure, not a hung test program: the removal then frees it.
    int ReadOnAnotherThread(const std::function<void()>& meanwhile) {
        std::promise<pid_t> reader;
        auto tid = reader.get_future();
        std::atomic<bool> returned{false};
        auto read = std::async(std::launch::async, [&] {
            reader.set_value(static_cast<pid_t>(::syscall(SYS_gettid)));
            std::vector<uint8_t> buffer(8);
            const int result = input->Read(buffer.data(), buffer.size(), -1);
            returned.store(true);
            return result;
        });
        ExpectWaitingWithoutWakeUps(tid.get(), returned);
        meanwhile();
        if (read.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            ADD_FAILURE() << "the read did not end";
            Unplug();
        }
        return read.get();
    }

    // The thread is asleep in poll(): /proc names the system call it is in.
    static bool SleepsInPoll(pid_t tid) {
        const std::string task = "/proc/self/task/" + std::to_string(tid);
        long call = -1;
        std::ifstream(task + "/syscall") >> call;
        std::string stat;
        std::getline(std::ifstream(task + "/stat"), stat);
        // The state follows the command name, which ends with the last ')'.
        const size_t name = stat.rfind(')');
        const bool sleeping = name != std::string::npos && stat.compare(name, 3, ") S") == 0;
        return sleeping && IsPollCall(call);
    }
    static bool IsPollCall(long call) {
#ifdef SYS_poll
        if (call == SYS_poll)
            return true;
#endif
        return call == SYS_ppoll;
    }
    static long VoluntarySwitches(pid_t tid) {
        std::ifstream status("/proc/self/task/" + std::to_string(tid) + "/status");
        const std::string key = "voluntary_ctxt_switches:";
        for (std::string line; std::getline(status, line);) {
            if (line.rfind(key, 0) == 0)
                return std::stol(line.substr(key.size()));
        }
        return -1;
    }

    // With nothing to read the reader must sleep in poll() and not wake up:
    // no return, no wake-up counted by the kernel over the watched stretch.
    // The stretch only gives a periodic wake-up the chance to show itself.
    void ExpectWaitingWithoutWakeUps(pid_t tid, const std::atomic<bool>& returned) {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!returned.load() && !SleepsInPoll(tid) && std::chrono::steady_clock::now() < limit) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ASSERT_FALSE(returned.load()) << "the read returned although nothing arrived";
        ASSERT_TRUE(SleepsInPoll(tid)) << "the reader never slept in poll()";
        const long before = VoluntarySwitches(tid);
        ASSERT_GE(before, 0);
        for (int look = 0; look < 20; ++look) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            ASSERT_FALSE(returned.load()) << "the read returned although nothing arrived";
        }
        EXPECT_TRUE(SleepsInPoll(tid));
        EXPECT_EQ(VoluntarySwitches(tid), before)
            << "the waiting reader woke up with nothing to read";
    }

    std::unique_ptr<HidrawInput> input;
    int device = -1;
};

TEST_F(HidrawInputTest, DeliversOneReportPerReadAndClearsTheRestOfTheBuffer) {
    ASSERT_NO_FATAL_FAILURE(Send({3, 2, 1}));
    ASSERT_NO_FATAL_FAILURE(Send({3, 6, 8, 0, 0, 0, 0, 0}));
    std::vector<uint8_t> buffer(8, 0xEE);
    EXPECT_EQ(input->Read(buffer.data(), buffer.size(), -1), 3);
    EXPECT_EQ(buffer, (std::vector<uint8_t>{3, 2, 1, 0, 0, 0, 0, 0}));
    EXPECT_EQ(input->Read(buffer.data(), buffer.size(), 0), 8);
    EXPECT_EQ(buffer, (std::vector<uint8_t>{3, 6, 8, 0, 0, 0, 0, 0}));
    // A timed read keeps its meaning: nothing within the time is 0.
    EXPECT_EQ(input->Read(buffer.data(), buffer.size(), 0), 0);
}

TEST_F(HidrawInputTest, InterruptEndsAWaitingReadAndEveryLaterOne) {
    EXPECT_EQ(ReadOnAnotherThread([this] { input->Interrupt(); }), 0);
    // The connection is closing: even a waiting report is no longer read.
    ASSERT_NO_FATAL_FAILURE(Send({3, 2, 1, 0, 0, 0, 0, 0}));
    std::vector<uint8_t> buffer(8);
    EXPECT_EQ(input->Read(buffer.data(), buffer.size(), -1), 0);
}

TEST_F(HidrawInputTest, RemovalEndsAWaitingReadWithAnError) {
    EXPECT_EQ(ReadOnAnotherThread([this] { Unplug(); }), -1);
}

TEST_F(HidrawInputTest, AWaitingReadEndsWithTheReportThatArrives) {
    EXPECT_EQ(ReadOnAnotherThread([this] { Send({3, 6, 8}); }), 3);
}

TEST_F(HidrawInputTest, ANodeThatCannotBeOpenedFailsEveryRead) {
    HidrawInput missing("/nonexistent/hidraw");
    std::vector<uint8_t> buffer(8);
    EXPECT_EQ(missing.Read(buffer.data(), buffer.size(), 0), -1);
    EXPECT_EQ(missing.Read(buffer.data(), buffer.size(), -1), -1);
}

}  // namespace
