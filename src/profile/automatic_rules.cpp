#include "profile/automatic_rules.h"

#include <toml++/toml.h>
#include <algorithm>
#include <filesystem>
#include <sstream>

#include "platform/user_files.h"
#include "profile/profile.h"
#include "profile/toml_entry.h"
#include "profile/toml_text.h"

namespace {

// The kernel keeps a process's name to 15 bytes (/proc/PID/comm).
constexpr size_t kProgramNameBytes = 15;

constexpr char kKeys[] = "format, default and [[rule]] tables";
constexpr char kRuleKeys[] = "program, window_class and profile";

int LineOf(const toml::node& node) {
    return static_cast<int>(node.source().begin.line);
}

class Reader {
public:
    explicit Reader(ParsedRules& out) : out_(out) {}

    void Document(const toml::table& document) {
        bool hasFormat = false;
        for (const auto& [name, node] : document) {
            const std::string key(name.str());
            if (key == "format") {
                hasFormat = true;
                Format(node);
            } else if (key == "default") {
                Text(node, key, out_.rules.defaultProfile, true);
            } else if (key == "rule") {
                Rules(node);
            } else {
                Problem(LineOf(node),
                        "unknown key " + TomlQuoted(key) + "; a rules file holds " + kKeys);
            }
        }
        if (!hasFormat) {
            Problem(0, "not a rules file: it has no \"format = 1\" line");
        }
    }

    std::vector<ProfileProblem> problems;

private:
    void Problem(int line, std::string message) { problems.push_back({line, std::move(message)}); }

    void Format(const toml::node& node) {
        const auto* value = node.as_integer();
        if (value == nullptr || value->get() != kRulesFormat) {
            Problem(LineOf(node), "format: this version reads format = 1 only");
        }
    }

    // A string that says something; a profile path is also no "~" path,
    // which nothing here would expand.
    bool Text(const toml::node& node, const std::string& key, std::string& into, bool isProfile) {
        const auto* value = node.as_string();
        if (value == nullptr) {
            Problem(LineOf(node), key + ": expected text in quotes, as " + key + " = \"" +
                                      (isProfile ? "game.toml" : "name") + "\"");
            return false;
        }
        if (value->get().empty()) {
            Problem(LineOf(node),
                    key + ": empty; " +
                        (isProfile ? "name a profile file" : "name what the rule matches") +
                        (key == "default" ? ", or leave default out" : ""));
            return false;
        }
        if (isProfile && value->get().starts_with("~")) {
            Problem(LineOf(node), key +
                                      ": \"~\" is not expanded here; write the whole path, or "
                                      "one from the rules file's folder");
            return false;
        }
        into = value->get();
        return true;
    }

    void Rules(const toml::node& node) {
        if (!node.is_array_of_tables()) {
            Problem(LineOf(node),
                    "rule: expected [[rule]] tables, each with " + std::string(kRuleKeys));
            return;
        }
        for (const toml::node& element : *node.as_array()) {
            Rule(*element.as_table());
        }
    }

    void Rule(const toml::table& table) {
        AutomaticRule rule;
        rule.line = LineOf(table);
        bool good = true;
        bool hasProgram = false;
        bool hasClass = false;
        bool hasProfile = false;
        for (const auto& [name, node] : table) {
            const std::string key(name.str());
            if (key == "program") {
                hasProgram = true;
                good = Text(node, key, rule.program, false) && good;
            } else if (key == "window_class") {
                hasClass = true;
                good = Text(node, key, rule.windowClass, false) && good;
            } else if (key == "profile") {
                hasProfile = true;
                good = Text(node, key, rule.profile, true) && good;
            } else {
                Problem(LineOf(node), "unknown key " + TomlQuoted(key) +
                                          " in a [[rule]]; a rule holds " + kRuleKeys);
                good = false;
            }
        }
        if (hasProgram && hasClass) {
            Problem(rule.line,
                    "rule: both program and window_class; a rule matches by one of them (write "
                    "two rules for both)");
            good = false;
        } else if (!hasProgram && !hasClass) {
            Problem(rule.line,
                    "rule: matches nothing; give it program = \"NAME\" or "
                    "window_class = \"CLASS\"");
            good = false;
        }
        if (!hasProfile) {
            Problem(rule.line, "rule: no profile; give it profile = \"FILE.toml\"");
            good = false;
        }
        if (good) {
            out_.rules.rules.push_back(std::move(rule));
        }
    }

    ParsedRules& out_;
};

bool ProgramMatches(const std::string& rule, const std::string& program) {
    if (rule.empty() || program.empty()) {
        return false;
    }
    if (rule == program) {
        return true;
    }
    // A longer name reaches us cut to what the kernel keeps of it.
    return program.size() == kProgramNameBytes && rule.size() > kProgramNameBytes &&
           rule.starts_with(program);
}

bool ClassMatches(const std::string& rule, const WindowIdentity& window) {
    return !rule.empty() && (rule == window.instance || rule == window.windowClass);
}

}  // namespace

bool operator==(const AutomaticRule& a, const AutomaticRule& b) {
    return a.program == b.program && a.windowClass == b.windowClass && a.profile == b.profile;
}

ParsedRules ParseAutomaticRules(const std::string& text, const std::string& fileName) {
    ParsedRules parsed;
    std::vector<ProfileProblem> problems;
    ProfileProblem problem;
    if (const std::optional<toml::table> document = ParseToml(text, problem)) {
        Reader reader(parsed);
        reader.Document(*document);
        problems = std::move(reader.problems);
    } else {
        problems.push_back(std::move(problem));
    }
    // The rules in the order they stand (toml++ keeps keys sorted, not in file order).
    std::ranges::stable_sort(parsed.rules.rules, {}, &AutomaticRule::line);
    std::ranges::stable_sort(problems, {}, &ProfileProblem::line);
    for (const ProfileProblem& problem : problems) {
        parsed.problems.push_back(DescribeProblem(fileName, problem));
    }
    return parsed;
}

std::string AutomaticRulesText(const AutomaticRules& rules) {
    std::ostringstream out;
    out << "# Automatic profiles for kestrine-config: the profile the mouse gets while a\n"
           "# program's window is in front. The first rule that matches wins; the default\n"
           "# (if any) is for every other window. A rule matches by program (the window's\n"
           "# program name) or by window_class (either part of the window's WM_CLASS),\n"
           "# exactly, upper and lower case as written. Profile paths that do not start\n"
           "# with / are taken from this file's folder.\n"
        << "format = " << kRulesFormat << "\n";
    if (!rules.defaultProfile.empty()) {
        out << "default = " << TomlQuoted(rules.defaultProfile) << "\n";
    }
    for (const AutomaticRule& rule : rules.rules) {
        out << "\n[[rule]]\n";
        if (!rule.program.empty()) {
            out << "program = " << TomlQuoted(rule.program) << "\n";
        }
        if (!rule.windowClass.empty()) {
            out << "window_class = " << TomlQuoted(rule.windowClass) << "\n";
        }
        out << "profile = " << TomlQuoted(rule.profile) << "\n";
    }
    return out.str();
}

std::string ResolveProfilePath(const std::string& rulesFile, const std::string& profile) {
    if (profile.empty() || profile.front() == '/') {
        return profile;
    }
    const std::filesystem::path folder = std::filesystem::path(rulesFile).parent_path();
    return (folder / profile).lexically_normal().string();
}

std::string MatchingProfile(const AutomaticRules& rules, const WindowIdentity& window) {
    for (const AutomaticRule& rule : rules.rules) {
        if (ProgramMatches(rule.program, window.program) ||
            ClassMatches(rule.windowClass, window)) {
            return rule.profile;
        }
    }
    return rules.defaultProfile;
}

std::string RuleMatchText(const AutomaticRule& rule) {
    if (!rule.program.empty()) {
        return "program " + TomlQuoted(rule.program);
    }
    return "window class " + TomlQuoted(rule.windowClass);
}

std::string DefaultRulesPath() {
    return ConfigHome() + "/kestrine-config/rules.toml";
}
