#include "device/hidraw_input.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
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

    // Reads without a time limit on another thread. A read that does not end
    // is a failure, not a hung test program: the removal then frees it.
    int ReadOnAnotherThread(const std::function<void()>& meanwhile) {
        auto read = std::async(std::launch::async, [this] {
            std::vector<uint8_t> buffer(8);
            return input->Read(buffer.data(), buffer.size(), -1);
        });
        meanwhile();
        if (read.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            ADD_FAILURE() << "the read did not end";
            Unplug();
        }
        return read.get();
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

TEST_F(HidrawInputTest, ANodeThatCannotBeOpenedFailsEveryRead) {
    HidrawInput missing("/nonexistent/hidraw");
    std::vector<uint8_t> buffer(8);
    EXPECT_EQ(missing.Read(buffer.data(), buffer.size(), 0), -1);
    EXPECT_EQ(missing.Read(buffer.data(), buffer.size(), -1), -1);
}

}  // namespace
