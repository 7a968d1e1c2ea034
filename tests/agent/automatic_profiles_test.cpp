// The agent's rules file: read through the one safe reader, so a FIFO, a
// device, a huge file or a link loop never holds the agent and the rules read
// before stay in force; a linked rules file is followed where it leads.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "agent/agent_status.h"
#include "agent/automatic_profiles.h"
#include "platform/user_files.h"
#include "support/test_folder.h"

namespace {

namespace fs = std::filesystem;

const char kTwoRules[] =
    "format = 1\n[[rule]]\nprogram = \"a\"\nprofile = \"a.toml\"\n"
    "[[rule]]\nprogram = \"b\"\nprofile = \"b.toml\"\n";
const char kOneRule[] = "format = 1\n[[rule]]\nprogram = \"a\"\nprofile = \"a.toml\"\n";

class AgentRulesFile : public ::testing::Test {
protected:
    AgentRulesFile() {
        folder_ = TestFolderPath("kestrine-agent-rules");
        fs::create_directories(folder_ / "config");
        fs::create_directories(folder_ / "locks");
        // Windows are not followed here: only the rules file is.
        if (const char* display = std::getenv("DISPLAY")) {
            savedDisplay_ = display;
        }
        ::unsetenv("DISPLAY");
    }
    ~AgentRulesFile() override {
        profiles_.reset();
        status_.reset();
        if (!savedDisplay_.empty()) {
            ::setenv("DISPLAY", savedDisplay_.c_str(), 1);
        }
        fs::remove_all(folder_);
    }

    std::string Path(const std::string& name) const { return (folder_ / name).string(); }

    static void Write(const std::string& path, const std::string& text) {
        std::ofstream(path) << text;
    }

    void Start(const std::string& rulesFile) {
        status_ = std::make_unique<AgentStatus>(Path("status"));
        profiles_ = std::make_unique<AutomaticProfiles>(
            rulesFile, Path("locks"), *status_,
            [this](const std::string& notice) { notices_.push_back(notice); });
        profiles_->Start(log_, 0);
    }

    std::string RulesStatus() const {
        std::istringstream lines(AgentStatus::Read(Path("status")));
        for (std::string line; std::getline(lines, line);) {
            if (line.starts_with("rules: ")) {
                return line.substr(7);
            }
        }
        return {};
    }

    // Reads the file events that come within a second, as the agent's loop
    // would; true when some came.
    bool FileEventsWithinASecond() {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        bool seen = false;
        while (std::chrono::steady_clock::now() < until) {
            pollfd watch{profiles_->FileFd(), POLLIN, 0};
            if (::poll(&watch, 1, 100) > 0) {
                profiles_->OnFileEvents(0);
                seen = true;
            } else if (seen) {
                return true;
            }
        }
        return seen;
    }

    fs::path folder_;
    std::string savedDisplay_;
    std::unique_ptr<AgentStatus> status_;
    std::unique_ptr<AutomaticProfiles> profiles_;
    std::vector<std::string> notices_;
    std::ostringstream log_;
};

TEST_F(AgentRulesFile, WhatCannotBeReadLeavesThePreviousRulesInForce) {
    const std::string rules = Path("config/rules.toml");
    Write(rules, kTwoRules);
    Start(rules);
    ASSERT_EQ(RulesStatus(), rules + ", 2 rules");

    const struct {
        const char* name;
        std::function<void()> make;
        const char* said;
    } cases[] = {
        {"a FIFO, which would hold open() for ever", [&] { ::mkfifo(rules.c_str(), 0600); },
         "a FIFO, not a regular file"},
        {"a device that never ends", [&] { fs::create_symlink("/dev/zero", rules); },
         "a character device, not a regular file"},
        {"a file far larger than rules",
         [&] { Write(rules, std::string(kTwoRules) + "#" + std::string(size_t{2} << 20, 'x')); },
         "too large for a rules file (more than 1 MiB)"},
        {"a link loop",
         [&] {
             fs::create_symlink(Path("config/loop"), rules);
             fs::create_symlink(rules, Path("config/loop"));
         },
         "Too many levels of symbolic links"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        notices_.clear();
        fs::remove(rules);
        fs::remove(Path("config/loop"));
        c.make();
        ASSERT_TRUE(FileEventsWithinASecond());
        EXPECT_EQ(RulesStatus(),
                  "not read: " + rules + ": " + c.said + "; the rules read before stay in force");
        ASSERT_EQ(notices_.size(), 1u);
        EXPECT_NE(notices_[0].find(c.said), std::string::npos) << notices_[0];
    }
    // A good file again is read at once.
    fs::remove(rules);
    fs::remove(Path("config/loop"));
    Write(rules, kOneRule);
    ASSERT_TRUE(FileEventsWithinASecond());
    EXPECT_EQ(RulesStatus(), rules + ", 1 rule");
}

// The rules in a dotfiles folder, linked from the config folder: an edit of
// the real file and a save through the link are both seen within a second.
TEST_F(AgentRulesFile, ALinkedRulesFileIsFollowedWhereItLeads) {
    fs::create_directories(folder_ / "dotfiles");
    const std::string real = Path("dotfiles/rules.toml");
    const std::string rules = Path("config/rules.toml");
    Write(real, kTwoRules);
    fs::create_symlink(real, rules);
    Start(rules);
    ASSERT_EQ(RulesStatus(), rules + ", 2 rules");

    Write(real, kOneRule);  // an editor on the real file
    ASSERT_TRUE(FileEventsWithinASecond());
    EXPECT_EQ(RulesStatus(), rules + ", 1 rule");

    std::string error;  // the dialog's Save, through the link
    ASSERT_EQ(WriteUserFile(rules, kTwoRules, "a rules file", error), WriteResult::Written)
        << error;
    ASSERT_TRUE(FileEventsWithinASecond());
    EXPECT_EQ(RulesStatus(), rules + ", 2 rules");
    EXPECT_TRUE(fs::is_symlink(rules));

    // The link pointed elsewhere: the new place is followed from then on.
    fs::create_directories(folder_ / "elsewhere");
    const std::string moved = Path("elsewhere/rules.toml");
    Write(moved, kOneRule);
    fs::remove(rules);
    fs::create_symlink(moved, rules);
    ASSERT_TRUE(FileEventsWithinASecond());
    EXPECT_EQ(RulesStatus(), rules + ", 1 rule");
    Write(moved, kTwoRules);
    ASSERT_TRUE(FileEventsWithinASecond());
    EXPECT_EQ(RulesStatus(), rules + ", 2 rules");
}

}  // namespace
