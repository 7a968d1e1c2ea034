// kestrine-config cpi-check: strokes between lines of input, as a pipe gives
// them. The test's mouse moves as each line is taken, as a hand would between
// two presses of Enter; with --simulate the simulated mouse moves by itself.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <istream>
#include <sstream>
#include <streambuf>

#include "cli/commands.h"
#include "cli/cpi_check_command.h"
#include "device/device_link.h"
#include "device/pointer_reader.h"
#include "device/simulated/simulated_mouse.h"
#include "platform/instance_lock.h"
#include "support/sleep_recorder.h"
#include "support/test_folder.h"

namespace {

namespace fs = std::filesystem;

// Standard input of empty lines; before handing out line i it runs
// actions[i], if there is one. Ends after `lines` lines.
class ScriptedLines : public std::streambuf {
public:
    ScriptedLines(size_t lines, std::vector<std::function<void()>> actions)
        : lines_(lines), actions_(std::move(actions)) {}

protected:
    int_type underflow() override {
        if (given_ == lines_)
            return traits_type::eof();
        if (given_ < actions_.size() && actions_[given_])
            actions_[given_]();
        ++given_;
        setg(&newline_, &newline_, &newline_ + 1);
        return traits_type::to_int_type(newline_);
    }

private:
    size_t lines_;
    std::vector<std::function<void()>> actions_;
    size_t given_ = 0;
    char newline_ = '\n';
};

// Every count arrives: the reader takes each queue's worth before the next.
void Move(SimulatedMouse& mouse, int dx, int dy, int reports) {
    for (int report = 0; report < reports; ++report) {
        mouse.SendPointerReport({0, static_cast<uint8_t>(static_cast<int8_t>(dx)),
                                 static_cast<uint8_t>(static_cast<int8_t>(dy)), 0, 0, 0, 0, 0});
        if (report % 32 == 31) {
            ASSERT_TRUE(mouse.WaitUntilPointerReportsTaken());
        }
    }
    ASSERT_TRUE(mouse.WaitUntilPointerReportsTaken());
}

class CpiCheckCommandTest : public ::testing::Test {
protected:
    CpiCheckCommandTest() {
        folder_ = TestFolderPath("kestrine-cpi-check-test");
        fs::create_directories(folder_);
        fs::permissions(folder_, fs::perms::owner_all);
        SetHidTransport(&mouse);
    }
    ~CpiCheckCommandTest() override {
        ReleaseDevice();
        SetHidTransport(nullptr);
        fs::remove_all(folder_);
    }

    int Run(const std::vector<std::string>& arguments, size_t lines,
            std::vector<std::function<void()>> actions = {}) {
        const ParseResult parsed = ParseCommandLine(arguments);
        EXPECT_TRUE(parsed.commandLine) << parsed.error;
        if (!parsed.commandLine)
            return -1;
        ScriptedLines script(lines, std::move(actions));
        std::istream in(&script);
        out.str({});
        err.str({});
        CommandStreams streams{in, out, err, folder_.string()};
        const int status = RunCommand(*parsed.commandLine, streams);
        ReleaseDevice();
        return status;
    }

    SimulatedMouse mouse;
    SleepRecorder sleeps;
    std::ostringstream out;
    std::ostringstream err;
    fs::path folder_;
};

// The factory settings' active level is level 2 at 800 CPI; 4 in of it at
// 3 % high is 3,296 counts.
TEST_F(CpiCheckCommandTest, StrokesReadTheirCountsOverTheDistanceExactly) {
    const auto stroke = [this](int dx, int dy, int reports) {
        return [=, this] { Move(mouse, dx, dy, reports); };
    };
    // Start and stop lines of three strokes: right, reversed, down.
    const int status =
        Run({"cpi-check", "--distance", "4in"}, 6,
            {{}, stroke(103, 0, 32), {}, stroke(-103, 1, 32), {}, stroke(0, 103, 32)});
    ASSERT_EQ(status, kExitDone) << err.str();
    EXPECT_EQ(out.str(),
              "Stroke 1: 824 CPI, horizontal (X 3,296, Y 0 counts)\n"
              "Stroke 2: 824 CPI, horizontal (X -3,296, Y 32 counts)\n"
              "Stroke 3: 824 CPI, vertical (X 0, Y 3,296 counts)\n"
              "Mean of 3 strokes: 824 CPI, spread 0 CPI (0.0 %)\n"
              "Set: 800 CPI (level 2 of 4); measured +3.0 %\n"
              "X, 2 horizontal strokes: 824 CPI, spread 0 CPI (0.0 %); +3.0 % from the set 800 "
              "CPI\n"
              "Y, 1 vertical stroke: 824 CPI; +3.0 % from the set 800 CPI\n"
              "The measured CPI is the counts the sensor reported over the stroke divided by the "
              "inches the mouse travelled, read from the mouse's own reports, with no pointer "
              "acceleration in the way. Sensors often differ from their set CPI by a few per "
              "cent.\n"
              "The figure is only as exact as the ruler and the stroke: ending it 1 mm off the "
              "10.16 cm mark moves it by 1.0 %.\n");
    EXPECT_NE(err.str().find("Stroke 1 of 3: put the mouse at the ruler's start mark and press "
                             "Enter.\nNow move it 10.16 cm (4 in) along the ruler"),
              std::string::npos)
        << err.str();
}

// What moved before the start line is not part of the stroke; a stroke with
// no movement is asked for again.
TEST_F(CpiCheckCommandTest, OnlyTheMovementBetweenTheLinesCountsAndAnEmptyStrokeIsAskedAgain) {
    const int status =
        Run({"cpi-check", "--strokes", "1", "--distance", "2.54cm", "--json"}, 4,
            {[this] { Move(mouse, 50, 50, 10); }, {}, {}, [this] { Move(mouse, 100, 0, 16); }});
    ASSERT_EQ(status, kExitDone) << err.str();
    EXPECT_NE(err.str().find("No movement was seen; that stroke does not count.\nStroke 1 of 1"),
              std::string::npos)
        << err.str();
    const std::string json = out.str();
    EXPECT_EQ(json.front(), '{') << json;
    for (const char* expected :
         {"\"distance_cm\": 2.540,", "\"set_cpi_x\": 800,", "\"level\": 2,",
          "{\"cpi\": 1600.000, \"cpi_x\": 1600.000, \"cpi_y\": null, \"counts_x\": 1600, "
          "\"counts_y\": 0, \"direction\": \"horizontal\", \"trustworthy\": true}",
          "\"mean_cpi\": 1600.000,", "\"deviation_percent\": 100.000,", "\"y\": null,",
          "\"trustworthy\": true,", "\"ruler_bound_percent\": 3.937\n}\n"}) {
        EXPECT_NE(json.find(expected), std::string::npos) << expected << "\n" << json;
    }
}

TEST_F(CpiCheckCommandTest, NoMovementAtAllIsExitStatusOne) {
    EXPECT_EQ(Run({"cpi-check"}, 20), kExitMouse);
    EXPECT_EQ(out.str(), "");
    EXPECT_NE(err.str().find("kestrine-config: no movement was seen; move the mouse along the "
                             "ruler between the two presses of Enter\n"),
              std::string::npos)
        << err.str();
    // Three empty strokes in a row end it: a pipe of empty lines does not run forever.
    size_t asked = 0;
    for (size_t at = 0; (at = err.str().find("No movement was seen", at)) != std::string::npos;
         ++at)
        ++asked;
    EXPECT_EQ(asked, kEmptyStrokesAllowed);

    // Input that ends before a stroke is done: nothing measured either.
    EXPECT_EQ(Run({"cpi-check"}, 1), kExitMouse);
}

// The check only listens to the pointer; it reads the set CPI first, which
// needs the mouse: while the window holds it, nothing is measured.
TEST_F(CpiCheckCommandTest, TheWindowHoldingTheMouseIsSaid) {
    InstanceLock window;
    ASSERT_EQ(window.Acquire(folder_.string()), InstanceLock::Result::Acquired);
    EXPECT_EQ(Run({"cpi-check"}, 2), kExitMouse);
    EXPECT_NE(err.str().find("the configuration window is open"), std::string::npos) << err.str();
}

// A mouse whose pointer interface the system does not list.
class WithoutPointer : public HidTransport {
public:
    explicit WithoutPointer(HidTransport& mouse) : mouse_(mouse) {}
    std::vector<HidInterfaceInfo> Enumerate(uint16_t vendorId, uint16_t productId) override {
        std::vector<HidInterfaceInfo> listed;
        for (const HidInterfaceInfo& info : mouse_.Enumerate(vendorId, productId)) {
            if (info.usagePage != kPointerUsagePage)
                listed.push_back(info);
        }
        return listed;
    }
    std::unique_ptr<HidConnection> Open(const std::string& path) override {
        return mouse_.Open(path);
    }

private:
    HidTransport& mouse_;
};

TEST_F(CpiCheckCommandTest, NoPointerInterfaceIsSaid) {
    WithoutPointer transport(mouse);
    SetHidTransport(&transport);
    EXPECT_EQ(Run({"cpi-check"}, 2), kExitMouse);
    EXPECT_EQ(err.str(), "kestrine-config: the mouse's pointer interface cannot be opened\n");
}

TEST_F(CpiCheckCommandTest, BadUseIsRefusedWithTheReason) {
    const struct {
        std::vector<std::string> arguments;
        const char* reason;
    } cases[] = {
        {{"cpi-check", "--distance", "1cm"}, "--distance: the distance must be from 2 cm to 50 cm"},
        {{"cpi-check", "--distance=60cm"}, "--distance: the distance must be from 2 cm to 50 cm"},
        {{"cpi-check", "--distance", "10"}, "--distance: \"10\" is not a distance"},
        {{"cpi-check", "--strokes", "0"}, "--strokes"},
        {{"cpi-check", "--strokes", "21"}, "--strokes"},
        {{"cpi-check", "--strokes", "many"}, "--strokes"},
        {{"cpi-check", "--simulated-stroke"}, "moves only a simulated mouse: add --simulate"},
        {{"--simulate", "cpi-check", "--simulated-stroke=lots"}, "a per cent from -50 to 50"},
        {{"--simulate", "cpi-check", "--simulated-stroke=60"}, "a per cent from -50 to 50"},
        {{"cpi-check", "--json", "--json"}, "--json"},
    };
    for (const auto& c : cases) {
        const ParseResult parsed = ParseCommandLine(c.arguments);
        EXPECT_FALSE(parsed.commandLine) << c.arguments.back();
        EXPECT_EQ(parsed.exitCode, kExitUsage) << c.arguments.back();
        EXPECT_NE(parsed.error.find(c.reason), std::string::npos) << parsed.error;
    }
    const ParseResult good =
        ParseCommandLine({"--simulate", "cpi-check", "--simulated-stroke=+3%", "--strokes", "5"});
    ASSERT_TRUE(good.commandLine) << good.error;
    EXPECT_EQ(good.commandLine->command, Command::CpiCheck);
    EXPECT_EQ(good.commandLine->simulatedStrokePercent, 3.0);
    EXPECT_EQ(good.commandLine->strokes, 5u);
    EXPECT_DOUBLE_EQ(good.commandLine->strokeInches, 10 / 2.54);
}

// The whole road without a mouse: the program's own simulated mouse, its
// sensor 3 % high, moves each stroke between the lines of a pipe.
TEST(CpiCheckSimulated, ASensorThreePerCentHighReadsThreePerCentHigh) {
    const fs::path folder = TestFolderPath("kestrine-cpi-check-simulated");
    fs::create_directories(folder);
    fs::permissions(folder, fs::perms::owner_all);
    for (const bool json : {false, true}) {
        std::vector<std::string> arguments{"--simulate", "cpi-check", "--simulated-stroke=3"};
        if (json) {
            // 4 in of 800 CPI, 3 % high: 3,296 counts, a whole number.
            arguments.insert(arguments.end(), {"--json", "--strokes", "1", "--distance", "4in"});
        }
        const ParseResult parsed = ParseCommandLine(arguments);
        ASSERT_TRUE(parsed.commandLine) << parsed.error;
        std::istringstream in("\n\n\n\n\n\n");
        std::ostringstream out;
        std::ostringstream err;
        CommandStreams streams{in, out, err, folder.string()};
        ASSERT_EQ(RunCommand(*parsed.commandLine, streams), kExitDone) << err.str();
        if (json) {
            EXPECT_NE(out.str().find("\"deviation_percent\": 3.000,"), std::string::npos)
                << out.str();
        } else {
            EXPECT_NE(out.str().find("Set: 800 CPI (level 2 of 4); measured +3.0 %\n"),
                      std::string::npos)
                << out.str();
            EXPECT_NE(out.str().find("Stroke 3: 824 CPI, horizontal (X 3,244, Y 0 counts)\n"),
                      std::string::npos)
                << out.str();
        }
    }
    fs::remove_all(folder);
}

}  // namespace
