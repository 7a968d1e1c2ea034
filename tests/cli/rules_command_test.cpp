// kestrine-config rules check: the rules file and every profile it names are
// checked without the mouse; what each rule gives is printed, every problem
// is named by FILE:LINE: and makes the status 2.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "device/device_link.h"
#include "device/simulated/simulated_mouse.h"
#include "support/command_run.h"
#include "support/test_folder.h"

namespace {

namespace fs = std::filesystem;

class RulesCheckTest : public ::testing::Test {
protected:
    RulesCheckTest() {
        folder_ = TestFolderPath("kestrine-rules-test");
        config_ = folder_ / "config" / "kestrine-config";
        fs::create_directories(config_ / "profiles");
        if (const char* xdg = std::getenv("XDG_CONFIG_HOME")) {
            savedXdg_ = xdg;
        }
        ::setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
        // Nothing here may reach a mouse: one is there to notice if it does.
        SetHidTransport(&mouse_);
    }
    ~RulesCheckTest() override {
        SetHidTransport(nullptr);
        if (savedXdg_.empty()) {
            ::unsetenv("XDG_CONFIG_HOME");
        } else {
            ::setenv("XDG_CONFIG_HOME", savedXdg_.c_str(), 1);
        }
        fs::remove_all(folder_);
    }

    int Run(std::vector<std::string> arguments, const std::string& input = {}) {
        return RunCommandLine(arguments, input, out, err, folder_.string());
    }

    std::string Config(const std::string& name) const { return (config_ / name).string(); }

    static void Write(const std::string& path, const std::string& text) {
        std::ofstream(path) << text;
    }

    SimulatedMouse mouse_;
    std::ostringstream out;
    std::ostringstream err;
    fs::path folder_;
    fs::path config_;
    std::string savedXdg_;
};

const char kGoodProfile[] = "format = 1\npolling_rate_hz = 1000\n";

TEST_F(RulesCheckTest, AGoodFilePrintsWhatEachRuleGivesAndExitsZero) {
    Write(Config("rules.toml"),
          "format = 1\n"
          "default = \"desktop.toml\"\n"
          "[[rule]]\n"
          "program = \"cs2\"\n"
          "profile = \"cs2.toml\"\n"
          "[[rule]]\n"
          "window_class = \"steam_app_570\"\n"
          "profile = \"profiles/dota.toml\"\n");
    for (const char* profile : {"desktop.toml", "cs2.toml", "profiles/dota.toml"}) {
        Write(Config(profile), kGoodProfile);
    }
    // The default file, and the same named.
    for (const auto& arguments :
         {std::vector<std::string>{"rules", "check"},
          std::vector<std::string>{"rules", "check", Config("rules.toml")}}) {
        EXPECT_EQ(Run(arguments), kExitDone) << err.str();
        EXPECT_EQ(out.str(),
                  "rule 1 (line 3): program \"cs2\" -> " + Config("cs2.toml") +
                      "\n"
                      "rule 2 (line 6): window class \"steam_app_570\" -> " +
                      Config("profiles/dota.toml") +
                      "\nnote: a rule by program matches a window only where the "
                      "desktop names its process (sway, KWin, GNOME Shell, and X11 "
                      "windows that set _NET_WM_PID); any other window is matched by "
                      "window class only (WM_CLASS, or the Wayland app id)\ndefault -> " +
                      Config("desktop.toml") + "\n" + Config("rules.toml") +
                      ": a good rules file\n");
        EXPECT_EQ(err.str(), "");
    }
    EXPECT_TRUE(mouse_.SentReports().empty());
}

TEST_F(RulesCheckTest, EveryProblemIsNamedAndTheStatusIsTwo) {
    struct Case {
        const char* name;
        std::string rules;
        std::vector<std::string> errors;  // each a line of stderr, as it starts
        std::string out;                  // a part of stdout
    };
    Write(Config("good.toml"), kGoodProfile);
    Write(Config("bad.toml"), "format = 1\npolling_rate_hz = 1001\n");
    fs::create_directories(config_ / "folder.toml");
    const std::string rules = Config("rules.toml");
    const Case cases[] = {
        {"ShapeProblemsKeepTheGoodRules",
         "format = 1\n[[rule]]\nprogram = \"a\"\nprofile = \"good.toml\"\n[[rule]]\n"
         "program = \"b\"\nwindow_class = \"b\"\nprofile = \"good.toml\"\n",
         {rules + ":5: rule: both program and window_class"},
         "rule 1 (line 2): program \"a\" -> " + Config("good.toml")},
        {"MissingProfile",
         "format = 1\n[[rule]]\nprogram = \"a\"\nprofile = \"gone.toml\"\n",
         {rules + ":2: profile " + Config("gone.toml") + ": No such file or directory"},
         "rule 1 (line 2)"},
        {"BadProfileWithItsOwnLines",
         "format = 1\n[[rule]]\nprogram = \"a\"\nprofile = \"bad.toml\"\n[[rule]]\n"
         "program = \"b\"\nprofile = \"bad.toml\"\n",
         {rules + ":2: profile " + Config("bad.toml") + " is not a good profile:",
          "  " + Config("bad.toml") + ":2: polling_rate_hz: 1001 Hz is not offered",
          rules + ":5: profile " + Config("bad.toml") + " cannot be used (see above)"},
         "rule 2 (line 5)"},
        {"ProfileIsAFolder",
         "format = 1\n[[rule]]\nwindow_class = \"a\"\nprofile = \"folder.toml\"\n",
         {rules + ":2: profile " + Config("folder.toml") + ": a folder, not a regular file"},
         "window class \"a\""},
        {"BadDefault",
         "format = 1\ndefault = \"gone.toml\"\n",
         {rules + ": default: profile " + Config("gone.toml") + ": No such file or directory"},
         "default -> " + Config("gone.toml")},
        {"NotARulesFile",
         "polling_rate_hz = 1000\n",
         {rules + ": not a rules file: it has no \"format = 1\" line",
          rules + ":1: unknown key \"polling_rate_hz\""},
         "no rules\ndefault: none"},
    };
    for (const Case& c : cases) {
        Write(rules, c.rules);
        EXPECT_EQ(Run({"rules", "check"}), kExitUsage) << c.name;
        std::istringstream lines(err.str());
        for (const std::string& expected : c.errors) {
            std::string line;
            std::getline(lines, line);
            EXPECT_TRUE(line.starts_with(expected)) << c.name << "\n" << err.str();
        }
        std::string rest;
        EXPECT_FALSE(std::getline(lines, rest)) << c.name << ": " << rest;
        EXPECT_NE(out.str().find(c.out), std::string::npos) << c.name << "\n" << out.str();
        EXPECT_EQ(out.str().find("a good rules file"), std::string::npos) << c.name;
    }
}

TEST_F(RulesCheckTest, AMissingRulesFileIsNamed) {
    EXPECT_EQ(Run({"rules", "check"}), kExitUsage);
    EXPECT_EQ(err.str(),
              "kestrine-config: " + Config("rules.toml") + ": No such file or directory\n");
    EXPECT_EQ(out.str(), "");
}

// A rule after one that matches the same is noted, but the file is good.
TEST_F(RulesCheckTest, ARuleThatNeverAppliesIsNoted) {
    Write(Config("good.toml"), kGoodProfile);
    Write(Config("rules.toml"),
          "format = 1\n"
          "[[rule]]\nwindow_class = \"a\"\nprofile = \"good.toml\"\n"
          "[[rule]]\nprogram = \"a\"\nprofile = \"good.toml\"\n"
          "[[rule]]\nwindow_class = \"a\"\nprofile = \"good.toml\"\n");
    EXPECT_EQ(Run({"rules", "check"}), kExitDone);
    EXPECT_EQ(err.str(), Config("rules.toml") +
                             ":8: note: rule 3 never applies: rule 1 (line 2) matches the same "
                             "window class first\n");
    EXPECT_NE(out.str().find("a good rules file"), std::string::npos);
}

// From stdin, relative profiles are taken from the working folder.
TEST_F(RulesCheckTest, RulesFromStdin) {
    const fs::path before = fs::current_path();
    fs::current_path(config_);
    Write(Config("good.toml"), kGoodProfile);
    const int status = Run({"rules", "check", "-"},
                           "format = 1\n[[rule]]\nprogram = \"a\"\nprofile = \"good.toml\"\n");
    fs::current_path(before);
    EXPECT_EQ(status, kExitDone) << err.str();
    EXPECT_NE(out.str().find("program \"a\" -> good.toml\n"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("<stdin>: a good rules file"), std::string::npos) << out.str();
}

// Text from the file reaches the terminal escaped: a window class or a path
// can never move the cursor or change the colours.
TEST_F(RulesCheckTest, ControlCharactersFromTheFileAreShownEscaped) {
    Write(Config("good.toml"), kGoodProfile);
    Write(Config("rules.toml"),
          "format = 1\n[[rule]]\nwindow_class = \"x\\u001b[2Jy\"\nprofile = \"good.toml\"\n"
          "[[rule]]\nprogram = \"p\"\nprofile = \"bad\\u0007.toml\"\n");
    EXPECT_EQ(Run({"rules", "check"}), kExitUsage);
    const std::string all = out.str() + err.str();
    EXPECT_EQ(all.find('\x1b'), std::string::npos) << all;
    EXPECT_EQ(all.find('\x07'), std::string::npos) << all;
    EXPECT_NE(out.str().find("window class \"x\\u001b[2Jy\" -> "), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("bad\\u0007.toml"), std::string::npos) << out.str();
}

// The reader's limits name a rules file, and the library never sees a name
// of thousands of parts (it overflowed its stack on one).
TEST_F(RulesCheckTest, OversizedAndOverdeepFilesAreRefusedWithTheirLine) {
    std::string chain = "a";
    for (int part = 1; part < 35000; ++part) {
        chain += ".a";
    }
    Write(Config("rules.toml"), "format = 1\n" + chain + ".b = 1\n");
    EXPECT_EQ(Run({"rules", "check"}), kExitUsage);
    EXPECT_NE(err.str().find(Config("rules.toml") + ":2: a dotted name of more than 8 parts"),
              std::string::npos)
        << err.str();

    err.str("");
    Write(Config("rules.toml"), "format = 1\n#" + std::string(size_t{1} << 20, 'x') + "\n");
    EXPECT_EQ(Run({"rules", "check"}), kExitUsage);
    EXPECT_EQ(err.str(), "kestrine-config: " + Config("rules.toml") +
                             ": too large for a rules file (more than 1 MiB)\n");
}

}  // namespace
