#include "device/simulated/simulated_event_channel.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

class SimulatedEventChannelTest : public ::testing::Test {
protected:
    void SetUp() override {
        char folder[] = "/tmp/kestrine-channel-XXXXXX";
        folder_ = ::mkdtemp(folder);
        memory_ = folder_ + "/mouse.bin";
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    void Append(const std::string& text) {
        std::ofstream(SimulatedEventChannel::PathFor(memory_), std::ios::app) << text;
    }
    static bool Readable(int fd) {
        pollfd watched{fd, POLLIN, 0};
        return ::poll(&watched, 1, 0) == 1;
    }

    std::string folder_;
    std::string memory_;
};

using Reports = std::vector<std::vector<uint8_t>>;

TEST_F(SimulatedEventChannelTest, AFollowerTakesOnlyOtherProcessesNewWellFormedLines) {
    Append("1 3 2 1\n");  // history: before the follower started
    SimulatedEventChannel follower(memory_);
    std::string error;
    const int fd = follower.Follow(error);
    ASSERT_GE(fd, 0) << error;
    EXPECT_FALSE(Readable(fd));

    SimulatedEventChannel own(memory_);
    ASSERT_TRUE(own.Publish({3, 2, 2, 0, 0, 0, 0, 0}, error)) << error;  // this process: skipped
    Append(
        "1 3 6 8\n"
        "garbage\n"
        "1 3 2 300\n"  // not a byte
        "1 3 2 3\n"
        "1 3 6");  // not whole yet
    EXPECT_TRUE(Readable(fd));
    EXPECT_EQ(follower.TakeOthers(), (Reports{{3, 6, 8, 0, 0, 0, 0, 0}, {3, 2, 3, 0, 0, 0, 0, 0}}));
    EXPECT_FALSE(Readable(fd));

    Append(" 16\n");
    EXPECT_EQ(follower.TakeOthers(), (Reports{{3, 6, 16, 0, 0, 0, 0, 0}}));
}

TEST_F(SimulatedEventChannelTest, AFileCutShortStartsOverAtItsEnd) {
    SimulatedEventChannel follower(memory_);
    std::string error;
    ASSERT_GE(follower.Follow(error), 0) << error;
    Append("1 3 2 1\n1 3 2 2\n");
    EXPECT_EQ(follower.TakeOthers().size(), 2u);
    std::ofstream(SimulatedEventChannel::PathFor(memory_), std::ios::trunc) << "1 3 2 3\n";
    EXPECT_TRUE(follower.TakeOthers().empty());
    Append("1 3 2 0\n");
    EXPECT_EQ(follower.TakeOthers(), (Reports{{3, 2, 0, 0, 0, 0, 0, 0}}));
}

}  // namespace
