// The rules file of automatic profiles: what it may hold, where a problem is
// reported, what a window matches, and that writing it back reads the same.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "profile/automatic_rules.h"

namespace {

constexpr char kFile[] = "/home/u/.config/kestrine-config/rules.toml";

struct BadCase {
    const char* name;
    const char* text;
    const char* problem;  // the whole first problem
};

void PrintTo(const BadCase& c, std::ostream* os) {
    *os << c.name;
}

class BadRulesTest : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadRulesTest, IsReportedWithFileLineAndWhatIsAllowed) {
    const BadCase& c = GetParam();
    const ParsedRules parsed = ParseAutomaticRules(c.text, kFile);
    ASSERT_FALSE(parsed.problems.empty());
    EXPECT_EQ(parsed.problems.front(), std::string(kFile) + c.problem);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadRulesTest,
    ::testing::Values(
        BadCase{"NoFormat", "default = \"a.toml\"\n",
                ": not a rules file: it has no \"format = 1\" line"},
        BadCase{"EmptyFile", "", ": not a rules file: it has no \"format = 1\" line"},
        BadCase{"FormatTwo", "\nformat = 2\n", ":2: format: this version reads format = 1 only"},
        BadCase{"FormatAsText", "format = \"1\"\n",
                ":1: format: this version reads format = 1 only"},
        BadCase{"Syntax", "format = 1\n[[rule]]\nprogram = cs2\n",
                ":3: TOML syntax: Error while parsing value: could not determine value type"},
        BadCase{"UnknownTopKey", "format = 1\nprofile = \"a.toml\"\n",
                ":2: unknown key \"profile\"; a rules file holds format, default and [[rule]] "
                "tables"},
        BadCase{"DefaultNotText", "format = 1\ndefault = 3\n",
                ":2: default: expected text in quotes, as default = \"game.toml\""},
        BadCase{"DefaultEmpty", "format = 1\ndefault = \"\"\n",
                ":2: default: empty; name a profile file, or leave default out"},
        BadCase{"RuleNotATable", "format = 1\nrule = \"cs2\"\n",
                ":2: rule: expected [[rule]] tables, each with program, window_class and "
                "profile"},
        BadCase{"UnknownRuleKey",
                "format = 1\n[[rule]]\nprogram = \"cs2\"\nprofile = \"a.toml\"\ntitle = \"x\"\n",
                ":5: unknown key \"title\" in a [[rule]]; a rule holds program, window_class and "
                "profile"},
        BadCase{"ProgramNotText", "format = 1\n[[rule]]\nprogram = 2\nprofile = \"a.toml\"\n",
                ":3: program: expected text in quotes, as program = \"name\""},
        BadCase{"ClassEmpty", "format = 1\n[[rule]]\nwindow_class = \"\"\nprofile = \"a.toml\"\n",
                ":3: window_class: empty; name what the rule matches"},
        BadCase{"ProfileEmpty", "format = 1\n[[rule]]\nprogram = \"cs2\"\nprofile = \"\"\n",
                ":4: profile: empty; name a profile file"},
        BadCase{"ProfileWithTilde",
                "format = 1\n[[rule]]\nprogram = \"cs2\"\nprofile = \"~/cs2.toml\"\n",
                ":4: profile: \"~\" is not expanded here; write the whole path, or one from the "
                "rules file's folder"},
        BadCase{"BothMatchers",
                "format = 1\n\n[[rule]]\nprogram = \"cs2\"\nwindow_class = \"cs2\"\n"
                "profile = \"a.toml\"\n",
                ":3: rule: both program and window_class; a rule matches by one of them (write "
                "two rules for both)"},
        BadCase{"NoMatcher", "format = 1\n[[rule]]\nprofile = \"a.toml\"\n",
                ":2: rule: matches nothing; give it program = \"NAME\" or window_class = "
                "\"CLASS\""},
        BadCase{"NoProfile", "format = 1\n[[rule]]\nprogram = \"cs2\"\n",
                ":2: rule: no profile; give it profile = \"FILE.toml\""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AutomaticRules, AGoodFileIsReadInItsOrderWithItsLines) {
    const ParsedRules parsed = ParseAutomaticRules(
        "format = 1\n"
        "default = \"desktop.toml\"  # the rest\n"
        "[[rule]]\n"
        "program = \"cs2\"\n"
        "profile = \"cs2.toml\"\n"
        "[[rule]]\n"
        "window_class = \"steam_app_570\"\n"
        "profile = \"profiles/dota.toml\"\n"
        "[[rule]]\n"
        "profile = \"/abs/a.toml\"\n"
        "program = \"another\"\n",
        kFile);
    EXPECT_TRUE(parsed.problems.empty()) << parsed.problems.front();
    EXPECT_EQ(parsed.rules.defaultProfile, "desktop.toml");
    ASSERT_EQ(parsed.rules.rules.size(), 3u);
    const struct {
        const char* program;
        const char* windowClass;
        const char* profile;
        int line;
    } expected[] = {{"cs2", "", "cs2.toml", 3},
                    {"", "steam_app_570", "profiles/dota.toml", 6},
                    {"another", "", "/abs/a.toml", 9}};
    for (size_t i = 0; i < 3; ++i) {
        const AutomaticRule& rule = parsed.rules.rules[i];
        EXPECT_EQ(rule.program, expected[i].program) << i;
        EXPECT_EQ(rule.windowClass, expected[i].windowClass) << i;
        EXPECT_EQ(rule.profile, expected[i].profile) << i;
        EXPECT_EQ(rule.line, expected[i].line) << i;
    }
}

// Every problem is named, each at its own line, and the good rules are kept
// for a reader (the dialog) that shows what could be read.
TEST(AutomaticRules, EveryProblemIsReportedInLineOrderAndGoodRulesAreKept) {
    const ParsedRules parsed = ParseAutomaticRules(
        "format = 1\n"
        "zoom = 1\n"  // after "rule" in the parser's own order

        "[[rule]]\n"
        "program = \"good\"\n"
        "profile = \"good.toml\"\n"
        "[[rule]]\n"
        "profile = \"bad.toml\"\n",
        "rules.toml");
    ASSERT_EQ(parsed.problems.size(), 2u);
    EXPECT_TRUE(parsed.problems[0].starts_with("rules.toml:2: unknown key \"zoom\""));
    EXPECT_TRUE(parsed.problems[1].starts_with("rules.toml:6: rule: matches nothing"));
    ASSERT_EQ(parsed.rules.rules.size(), 1u);
    EXPECT_EQ(parsed.rules.rules[0].program, "good");
}

TEST(AutomaticRules, WrittenRulesReadBackTheSame) {
    const AutomaticRules cases[] = {
        {},
        {"desktop.toml", {}},
        {"", {{"cs2", "", "cs2.toml"}, {"", "steam_app_570", "profiles/dota.toml"}}},
        // Text TOML must escape, and text beyond ASCII.
        {"/a \"quoted\" \\ path.toml",
         {{"tab\there", "", "new\nline.toml"}, {"", "Größe \x7f", "ä/ö.toml"}}},
    };
    for (const AutomaticRules& rules : cases) {
        const std::string text = AutomaticRulesText(rules);
        const ParsedRules parsed = ParseAutomaticRules(text, "rules.toml");
        EXPECT_TRUE(parsed.problems.empty()) << text << parsed.problems.front();
        EXPECT_EQ(parsed.rules, rules) << text;
    }
}

TEST(AutomaticRules, TheFirstMatchingRuleWinsElseTheDefault) {
    const AutomaticRules rules{"desktop.toml",
                               {{"cs2", "", "cs2.toml"},
                                {"", "steam_app_570", "dota.toml"},
                                {"", "Firefox", "browser.toml"},
                                {"", "cs2", "cs2-class.toml"},
                                {"SomeVeryLongGameName", "", "long.toml"}}};
    const struct {
        WindowIdentity window;
        const char* profile;
    } cases[] = {
        {{"cs2", "", ""}, "cs2.toml"},
        {{"cs2", "steam_app_570", "steam_app_570"}, "cs2.toml"},  // the earlier rule
        {{"dota2", "steam_app_570", "steam_app_570"}, "dota.toml"},
        {{"dota2", "", "steam_app_570"}, "dota.toml"},
        {{"firefox-bin", "Navigator", "Firefox"}, "browser.toml"},  // the class part
        {{"x", "Firefox", "Other"}, "browser.toml"},                // the instance part
        {{"x", "cs2", ""}, "cs2-class.toml"},
        {{"firefox-bin", "navigator", "firefox"}, "desktop.toml"},  // case counts
        {{"CS2", "", ""}, "desktop.toml"},
        {{"cs", "", ""}, "desktop.toml"},  // no prefix match
        {{"", "", ""}, "desktop.toml"},    // empty never matches empty
        {{"SomeVeryLongGa", "", ""}, "desktop.toml"},
        {{"SomeVeryLongGam", "", ""}, "long.toml"},  // as the kernel cut it
        {{"SomeVeryLongGameName", "", ""}, "long.toml"},
        {{"SomeVeryLongGameNameX", "", ""}, "desktop.toml"},
        // A Wayland window: its app id is its class; a desktop that names no
        // process leaves the program unknown, and a program rule cannot match.
        {{"", "", "steam_app_570"}, "dota.toml"},
        {{"", "", "cs2"}, "cs2-class.toml"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MatchingProfile(rules, c.window), c.profile)
            << c.window.program << " / " << c.window.instance << " / " << c.window.windowClass;
    }
    EXPECT_EQ(MatchingProfile({"", rules.rules}, {"nothing", "", ""}), "");
}

TEST(AutomaticRules, RelativeProfilesAreTakenFromTheRulesFilesFolder) {
    const struct {
        const char* rulesFile;
        const char* profile;
        const char* path;
    } cases[] = {
        {kFile, "cs2.toml", "/home/u/.config/kestrine-config/cs2.toml"},
        {kFile, "profiles/dota.toml", "/home/u/.config/kestrine-config/profiles/dota.toml"},
        {kFile, "../shared/a.toml", "/home/u/.config/shared/a.toml"},
        {kFile, "/opt/games/a.toml", "/opt/games/a.toml"},
        {"rules.toml", "a.toml", "a.toml"},
        {"conf/rules.toml", "./a.toml", "conf/a.toml"},
        {kFile, "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ResolveProfilePath(c.rulesFile, c.profile), c.path) << c.profile;
    }
}

class Environment {
public:
    explicit Environment(const char* name) : name_(name) {
        if (const char* value = std::getenv(name)) {
            saved_ = value;
        }
    }
    ~Environment() {
        if (saved_) {
            ::setenv(name_, saved_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }
    void Set(const char* value) {
        if (value) {
            ::setenv(name_, value, 1);
        } else {
            ::unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> saved_;
};

TEST(AutomaticRules, TheDefaultPathFollowsXdgConfigHome) {
    Environment home("HOME");
    Environment config("XDG_CONFIG_HOME");
    home.Set("/home/u");
    const struct {
        const char* xdg;
        const char* path;
    } cases[] = {
        {"/cfg", "/cfg/kestrine-config/rules.toml"},
        {nullptr, "/home/u/.config/kestrine-config/rules.toml"},
        {"", "/home/u/.config/kestrine-config/rules.toml"},
        {"relative/cfg", "/home/u/.config/kestrine-config/rules.toml"},  // ignored
    };
    for (const auto& c : cases) {
        config.Set(c.xdg);
        EXPECT_EQ(DefaultRulesPath(), c.path) << (c.xdg ? c.xdg : "(unset)");
    }
}

}  // namespace
