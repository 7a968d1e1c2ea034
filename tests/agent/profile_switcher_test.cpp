// When the agent applies a profile, driven by a fake clock as the agent's
// poll loop drives it: every wake-up asks Due, and the loop sleeps until
// NextDeadlineMs or the next event.
#include "agent/profile_switcher.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

enum class Event { Window, ConfigOpen, ConfigClosed, RulesChanged, MouseArrived };

struct Step {
    int64_t atMs;
    Event event;
    std::string profile = {};  // for Window and RulesChanged
};

struct Apply {
    int64_t atMs;
    std::string profile;
    bool operator==(const Apply&) const = default;
};

void PrintTo(const Apply& apply, std::ostream* out) {
    *out << apply.profile << "@" << apply.atMs;
}

// Runs the steps and returns every profile Due handed out, with when.
// `postponed`: profiles whose first attempt finds the configuration window
// holding the mouse (opened between the decision and the write).
std::vector<Apply> Drive(const std::vector<Step>& steps, const std::set<std::string>& failing,
                         int64_t endMs, std::set<std::string> postponed = {}) {
    ProfileSwitcher switcher;
    std::vector<Apply> applies;
    auto ask = [&](int64_t nowMs) {
        if (auto profile = switcher.Due(nowMs)) {
            if (postponed.erase(*profile) > 0) {
                switcher.OnApplyPostponed();
                switcher.OnConfigWindowOpen(true, nowMs);
                return;
            }
            applies.push_back({nowMs, *profile});
            if (failing.count(*profile)) {
                switcher.OnApplyFailed();
            }
        }
    };
    // Wakes at each deadline before `untilMs`; a deadline that stays put
    // after Due is a loop the agent would spin in.
    auto runUntil = [&](int64_t untilMs) {
        for (int wakeUps = 0; wakeUps < 100; ++wakeUps) {
            const std::optional<int64_t> deadline = switcher.NextDeadlineMs();
            if (!deadline || *deadline > untilMs) {
                return;
            }
            ask(*deadline);
        }
        ADD_FAILURE() << "the deadline never moves on";
    };
    for (const Step& step : steps) {
        runUntil(step.atMs);
        ask(step.atMs);  // a wake-up for the event itself
        switch (step.event) {
            case Event::Window:
                switcher.OnActiveWindow(step.profile, step.atMs);
                break;
            case Event::ConfigOpen:
                switcher.OnConfigWindowOpen(true, step.atMs);
                break;
            case Event::ConfigClosed:
                switcher.OnConfigWindowOpen(false, step.atMs);
                break;
            case Event::RulesChanged:
                switcher.OnRulesChanged(step.profile, step.atMs);
                break;
            case Event::MouseArrived:
                switcher.OnMouseArrived(step.atMs);
                break;
        }
        ask(step.atMs);
    }
    runUntil(endMs);
    EXPECT_FALSE(switcher.NextDeadlineMs()) << "still waiting at the end";
    return applies;
}

struct Case {
    const char* name;
    std::vector<Step> steps;
    std::vector<Apply> applies;
    std::set<std::string> failing = {};
    std::set<std::string> postponed = {};
};

const Case kCases[] = {
    {"the first window's profile after the settle", {{0, Event::Window, "a"}}, {{300, "a"}}},
    {"three switches within the settle: one apply, of the last",
     {{0, Event::Window, "a"}, {100, Event::Window, "b"}, {250, Event::Window, "c"}},
     {{550, "c"}}},
    {"switches further apart: one apply each",
     {{0, Event::Window, "a"}, {1000, Event::Window, "b"}},
     {{300, "a"}, {1300, "b"}}},
    {"another window with the same profile: nothing",
     {{0, Event::Window, "a"}, {1000, Event::Window, "a"}},
     {{300, "a"}}},
    {"a window without rule between two of the same profile: the mouse keeps it",
     {{0, Event::Window, "a"}, {1000, Event::Window, ""}, {2000, Event::Window, "a"}},
     {{300, "a"}}},
    {"no rule and no default: nothing", {{0, Event::Window, ""}, {1000, Event::Window, ""}}, {}},
    {"Alt+Tab back to where it started: nothing",
     {{0, Event::Window, "a"}, {1000, Event::Window, "b"}, {1100, Event::Window, "a"}},
     {{300, "a"}}},
    {"nothing while the configuration window is open, the last window's profile once it closes",
     {{0, Event::Window, "a"},
      {1000, Event::ConfigOpen},
      {1100, Event::Window, "b"},
      {1200, Event::Window, "c"},
      {5000, Event::ConfigClosed}},
     {{300, "a"}, {5300, "c"}}},
    {"the configuration window opened during the settle holds the apply back",
     {{0, Event::Window, "a"}, {100, Event::ConfigOpen}, {2000, Event::ConfigClosed}},
     {{2300, "a"}}},
    {"closing the configuration window with the profile unchanged keeps its edits",
     {{0, Event::Window, "a"}, {1000, Event::ConfigOpen}, {2000, Event::ConfigClosed}},
     {{300, "a"}}},
    {"a switch right after closing restarts the settle",
     {{0, Event::ConfigOpen},
      {10, Event::Window, "a"},
      {1000, Event::ConfigClosed},
      {1200, Event::Window, "b"}},
     {{1500, "b"}}},
    {"rules changed: the window's profile again, even under the same name",
     {{0, Event::Window, "a"}, {1000, Event::RulesChanged, "a"}, {2000, Event::RulesChanged, "b"}},
     {{300, "a"}, {1300, "a"}, {2300, "b"}}},
    {"rules changed to no rule for the window: nothing",
     {{0, Event::Window, "a"}, {1000, Event::RulesChanged, ""}},
     {{300, "a"}}},
    {"rules changed before any window is known: nothing", {{0, Event::RulesChanged, "a"}}, {}},
    {"rules changed while the configuration window is open: after it closes",
     {{0, Event::Window, "a"},
      {500, Event::ConfigOpen},
      {1000, Event::RulesChanged, "b"},
      {3000, Event::ConfigClosed}},
     {{300, "a"}, {3300, "b"}}},
    {"a failed apply is not repeated on its own, but at the next window change",
     {{0, Event::Window, "a"}, {10000, Event::Window, "a"}},
     {{300, "a"}, {10300, "a"}},
     {"a"}},
    {"after a failure, a window without profile between: tried again when one comes",
     {{0, Event::Window, "a"}, {1000, Event::Window, ""}, {2000, Event::Window, "a"}},
     {{300, "a"}, {2300, "a"}},
     {"a"}},
    {"an apply that finds the configuration window open is made once it closes",
     {{0, Event::Window, "a"}, {1000, Event::Window, "b"}, {5000, Event::ConfigClosed}},
     {{300, "a"}, {5300, "b"}},
     {},
     {"b"}},
    {"a mouse plugged in gets the active window's profile",
     {{0, Event::Window, "a"}, {1000, Event::MouseArrived}},
     {{300, "a"}, {1300, "a"}}},
};

TEST(ProfileSwitcherTest, Cases) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Drive(c.steps, c.failing, 60000, c.postponed), c.applies);
    }
}

// Nothing is handed out before its deadline, whoever asks.
TEST(ProfileSwitcherTest, NothingBeforeTheSettleEnds) {
    ProfileSwitcher switcher;
    switcher.OnActiveWindow("a", 1000);
    ASSERT_EQ(switcher.NextDeadlineMs(), 1000 + ProfileSwitcher::kSettleMs);
    for (int64_t now = 1000; now < 1000 + ProfileSwitcher::kSettleMs; now += 50) {
        EXPECT_FALSE(switcher.Due(now)) << now;
    }
    EXPECT_EQ(switcher.Due(1000 + ProfileSwitcher::kSettleMs), "a");
    EXPECT_FALSE(switcher.Due(5000));
    EXPECT_FALSE(switcher.NextDeadlineMs());
}

}  // namespace
