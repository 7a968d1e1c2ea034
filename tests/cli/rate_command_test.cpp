// kestrine-config rate against a simulated mouse moved by hand: each wait of
// the command stands for a quarter second in which the test moves the mouse.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <utility>

#include "cli/commands.h"
#include "device/device_link.h"
#include "device/simulated/simulated_mouse.h"
#include "device/sleep.h"
#include "support/command_run.h"
#include "support/test_folder.h"

namespace {

namespace fs = std::filesystem;

class RateCommandTest : public ::testing::Test {
protected:
    RateCommandTest() {
        folder_ = TestFolderPath("kestrine-rate-test");
        fs::create_directories(folder_);
        fs::permissions(folder_, fs::perms::owner_all);
        SetHidTransport(&mouse);
        SetSleepHook([this](unsigned ms) {
            waits.push_back(ms);
            if (ms != 250)
                return;  // the settings read's own wait
            if (std::exchange(duringMeasuring, {}))
                duringMeasuringStatus = Run(duringMeasuringArguments);
            for (unsigned i = 0; i < reportsPerWait; ++i)
                mouse.SendPointerReport({0, 1, 0, 0, 0, 0, 0, 0});
            EXPECT_TRUE(mouse.WaitUntilPointerReportsTaken());
        });
    }
    ~RateCommandTest() override {
        SetSleepHook({});
        ReleaseDevice();
        SetHidTransport(nullptr);
        fs::remove_all(folder_);
    }

    ParseResult Parse(const std::vector<std::string>& arguments) {
        return ParseCommandLine(arguments);
    }

    int Run(const std::vector<std::string>& arguments) {
        const int status = RunCommandLine(arguments, {}, out, err, folder_.string());
        ReleaseDevice();
        return status;
    }

    SimulatedMouse mouse;
    unsigned reportsPerWait = 0;
    // A command run beside `rate`, at its first quarter second of measuring.
    bool duringMeasuring = false;
    std::vector<std::string> duringMeasuringArguments;
    int duringMeasuringStatus = -1;
    std::vector<unsigned> waits;
    std::ostringstream out;
    std::ostringstream err;
    fs::path folder_;
};

TEST_F(RateCommandTest, AStillMouseIsExitStatusOneAfterTheWholeTime) {
    EXPECT_EQ(Run({"rate", "--seconds", "2"}), kExitMouse);
    EXPECT_NE(out.str().find("Move the mouse"), std::string::npos) << out.str();
    EXPECT_NE(err.str().find("no movement was seen"), std::string::npos) << err.str();
    // The settings read's wait, then two seconds in quarters.
    EXPECT_EQ(waits, (std::vector<unsigned>{80, 250, 250, 250, 250, 250, 250, 250, 250}));
}

TEST_F(RateCommandTest, EveryReportOfAMovedMouseIsCounted) {
    // The kernel's whole queue at each quarter second.
    reportsPerWait = 64;
    EXPECT_EQ(Run({"rate", "--seconds", "1"}), kExitDone) << err.str();
    EXPECT_NE(out.str().find("Measured: "), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("(set: 8,000 Hz)"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("Reports: 256\n"), std::string::npos) << out.str();

    out.str({});
    EXPECT_EQ(Run({"rate", "--json", "--seconds", "1"}), kExitDone) << err.str();
    EXPECT_EQ(out.str().front(), '{') << out.str();  // the prompt goes to stderr
    EXPECT_NE(out.str().find("\"reports\": 256\n"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("\"set_hz\": 8000,"), std::string::npos) << out.str();
    EXPECT_NE(err.str().find("Move the mouse"), std::string::npos) << err.str();
}

// Measuring only listens: another command may use the mouse meanwhile.
TEST_F(RateCommandTest, ASetWhileRateMeasuresChangesTheMouse) {
    reportsPerWait = 64;
    duringMeasuring = true;
    duringMeasuringArguments = {"set", "polling_rate_hz=1000"};
    EXPECT_EQ(Run({"rate", "--seconds", "1"}), kExitDone) << err.str();
    EXPECT_EQ(duringMeasuringStatus, kExitDone) << err.str();
    EXPECT_EQ(mouse.PollingRateCode(), 8);  // 1000 Hz
}

TEST_F(RateCommandTest, BadUseIsRefused) {
    for (const auto& arguments : std::vector<std::vector<std::string>>{
             {"rate", "--seconds", "0"},
             {"rate", "--seconds", "soon"},
             {"rate", "--simulated-motion"},
             {"--simulate", "rate", "--simulated-motion=0"},
         }) {
        const ParseResult parsed = Parse(arguments);
        EXPECT_FALSE(parsed.commandLine) << arguments.back();
        EXPECT_EQ(parsed.exitCode, kExitUsage) << arguments.back();
    }
    const ParseResult moving = Parse({"--simulate", "rate", "--simulated-motion=8"});
    ASSERT_TRUE(moving.commandLine) << moving.error;
    EXPECT_EQ(moving.commandLine->simulatedMotion, 8u);
    EXPECT_EQ(moving.commandLine->command, Command::Rate);
}

}  // namespace
