// The TOML text this tool writes and the one entry it reads TOML through:
// quoting that reads back as written, and a guard that refuses, with its
// line, what would overflow the library's stack.
#include <gtest/gtest.h>

#include <string>

#include "profile/automatic_rules.h"
#include "profile/profile.h"
#include "profile/toml_text.h"

namespace {

TEST(TomlText, QuotesAndEscapesWhatABasicStringCannotHoldRaw) {
    const struct {
        std::string text;
        std::string quoted;
    } cases[] = {
        {"cs2", "\"cs2\""},
        {"", "\"\""},
        {"say \"hi\"", "\"say \\\"hi\\\"\""},
        {"C:\\games", "\"C:\\\\games\""},
        {"a\nb\tc", "\"a\\nb\\tc\""},
        {std::string("\x1b[31mred\x7f"), "\"\\u001b[31mred\\u007f\""},
        {std::string("nul\0x", 5), "\"nul\\u0000x\""},
        {"ünï 🎮", "\"ünï 🎮\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TomlQuoted(c.text), c.quoted);
        // The quoted text is a TOML value that reads back as the text.
        AutomaticRules rules;
        rules.rules.push_back({c.text.empty() ? "p" : c.text, "", c.text + ".toml"});
        const ParsedRules again = ParseAutomaticRules(AutomaticRulesText(rules), "r.toml");
        ASSERT_TRUE(again.problems.empty()) << c.quoted << ": " << again.problems.front();
        EXPECT_EQ(again.rules.rules.at(0).profile, c.text + ".toml") << c.quoted;
    }
}

std::string DottedChain(int parts) {
    std::string key = "a";
    for (int part = 1; part < parts; ++part) {
        key += ".a";
    }
    return key;
}

// The file that overflowed the library: 35,000 parts in about 70 KB.
const std::string kDeepDotted = "format = 1\n" + DottedChain(35000) + ".b = 1\n";

TEST(TomlEntry, RefusesWhatWouldOverflowTheLibraryWithItsLine) {
    const struct {
        const char* name;
        std::string text;
        int line;
        const char* said;
    } cases[] = {
        {"the 70 KB dotted name", kDeepDotted, 2, "a dotted name of more than 8 parts"},
        {"a dotted table header", "format = 1\n\n[" + DottedChain(9) + "]\n", 3,
         "a dotted name of more than 8 parts"},
        {"spaces around the dots", "format = 1\na . a . a . a . a . a . a . a . a = 1\n", 2,
         "a dotted name of more than 8 parts"},
        {"quoted parts", "format = 1\n\"a\".'a'.a.a.a.a.a.a.\"a\" = 1\n", 2,
         "a dotted name of more than 8 parts"},
        {"a dotted name in an inline table", "format = 1\nx = { " + DottedChain(20) + " = 1 }\n", 2,
         "a dotted name of more than 8 parts"},
        {"deep lists", "format = 1\nx = " + std::string(20000, '[') + std::string(20000, ']'), 2,
         "lists or tables nested more than 8 deep"},
        {"deep inline tables", "format = 1\nx = {a={a={a={a={a={a={a={a={a=1}}}}}}}}}\n", 2,
         "lists or tables nested more than 8 deep"},
        {"lines counted inside strings",
         "format = 1\nt = \"\"\"\n\n\"\"\"\n" + DottedChain(9) + " = 1\n", 5,
         "a dotted name of more than 8 parts"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ParsedProfile profile = ParseProfileText(c.text);
        ASSERT_EQ(profile.problems.size(), 1u);
        EXPECT_EQ(profile.problems[0].line, c.line);
        EXPECT_TRUE(profile.problems[0].message.starts_with(c.said)) << profile.problems[0].message;
        const ParsedRules rules = ParseAutomaticRules(c.text, "rules.toml");
        ASSERT_EQ(rules.problems.size(), 1u);
        EXPECT_TRUE(
            rules.problems[0].starts_with("rules.toml:" + std::to_string(c.line) + ": " + c.said))
            << rules.problems[0];
    }
}

// Dots and brackets where no name or nesting is: in strings, comments,
// numbers, and names at the limit.
TEST(TomlEntry, LeavesOrdinaryTextToTheLibrary) {
    const std::string texts[] = {
        "format = 1\nx = \"" + DottedChain(100) + "\"\n",
        "format = 1\nx = '[[[[[[[[[[[[[['\n",
        "format = 1\n# " + DottedChain(100) + " [[[[[[[[[[[[[[[[\n",
        "format = 1\nx = \"\"\"\n" + DottedChain(100) + "\n\"\"\"\n",
        "format = 1\nx = 6.626e-34\ny = 1979-05-27T07:32:00.999\n",
        "format = 1\n" + DottedChain(8) + " = 1\n",
        "format = 1\nx = [[[[[[[1]]]]]]]\n",
        "format = 1\nx = \"\\\"" + DottedChain(100) + "\"\n",
    };
    for (const std::string& text : texts) {
        const ParsedProfile profile = ParseProfileText(text);
        for (const ProfileProblem& problem : profile.problems) {
            EXPECT_EQ(problem.message.find("more than 8"), std::string::npos) << text << "\n"
                                                                              << problem.message;
        }
    }
}

TEST(TomlEntry, SetAssignmentsGoThroughTheSameGuard) {
    SettingsRecord record{};
    LoadDefaultSettings(record);
    const std::vector<ProfileProblem> problems =
        ApplyAssignments({"smoothing={" + DottedChain(35000) + "=1}"}, record);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].message.find("smoothing"), std::string::npos) << problems[0].message;
}

}  // namespace
