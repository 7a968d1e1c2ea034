#include "cli/rules_command.h"

#include <algorithm>
#include <istream>
#include <map>
#include <ostream>
#include <vector>

#include "cli/command_line.h"
#include "cli/profile_file.h"
#include "profile/automatic_rules.h"
#include "profile/profile.h"
#include "profile/toml_text.h"

namespace {

// Which desktops name a window's process is theirs to say, not the file's.
constexpr char kProgramRulesNote[] =
    "note: a rule by program matches a window only where the desktop names its process (sway, "
    "KWin, GNOME Shell, and X11 windows that set _NET_WM_PID); any other window is matched by "
    "window class only (WM_CLASS, or the Wayland app id)";

class RulesCheck {
public:
    RulesCheck(const std::string& file, std::istream& in, std::ostream& out, std::ostream& err)
        : path_(file.empty() ? DefaultRulesPath() : file),
          name_(path_ == "-" ? "<stdin>" : path_),
          in_(in),
          out_(out),
          err_(err) {}

    int Run() {
        std::string text;
        std::string error;
        if (!ReadFileOrStdin(path_, in_, kMaxRulesBytes, "a rules file", text, error)) {
            err_ << "kestrine-config: " << error << "\n";
            return kExitUsage;
        }
        const ParsedRules parsed = ParseAutomaticRules(text, name_);
        for (const std::string& problem : parsed.problems) {
            err_ << problem << "\n";
        }
        bool good = parsed.problems.empty();
        const std::vector<AutomaticRule>& rules = parsed.rules.rules;
        for (size_t index = 0; index < rules.size(); ++index) {
            const AutomaticRule& rule = rules[index];
            const std::string profile = ResolveProfilePath(path_, rule.profile);
            out_ << "rule " << index + 1 << " (line " << rule.line << "): " << RuleMatchText(rule)
                 << " -> " << TomlEscaped(profile) << "\n";
            good = ProfileIsGood(profile, name_ + ":" + std::to_string(rule.line)) && good;
            NoteShadowed(rules, index);
        }
        if (rules.empty()) {
            out_ << "no rules\n";
        }
        if (std::ranges::any_of(rules,
                                [](const AutomaticRule& rule) { return !rule.program.empty(); })) {
            out_ << kProgramRulesNote << "\n";
        }
        if (parsed.rules.defaultProfile.empty()) {
            out_ << "default: none (when no rule matches, the mouse keeps what it holds)\n";
        } else {
            const std::string profile = ResolveProfilePath(path_, parsed.rules.defaultProfile);
            out_ << "default -> " << TomlEscaped(profile) << "\n";
            good = ProfileIsGood(profile, name_ + ": default") && good;
        }
        if (!good) {
            return kExitUsage;
        }
        out_ << name_ << ": a good rules file\n";
        return kExitDone;
    }

private:
    // A rule after one that matches the same never applies: likely a slip,
    // but no error, since the file means the same without it.
    void NoteShadowed(const std::vector<AutomaticRule>& rules, size_t index) {
        const AutomaticRule& rule = rules[index];
        for (size_t earlier = 0; earlier < index; ++earlier) {
            const AutomaticRule& before = rules[earlier];
            if ((!rule.program.empty() && rule.program == before.program) ||
                (!rule.windowClass.empty() && rule.windowClass == before.windowClass)) {
                err_ << name_ << ":" << rule.line << ": note: rule " << index + 1
                     << " never applies: rule " << earlier + 1 << " (line " << before.line
                     << ") matches the same " << (rule.program.empty() ? "window class" : "program")
                     << " first\n";
                return;
            }
        }
    }

    // A profile the rules name must be there and be one import would take;
    // each file is read once, however many rules name it.
    bool ProfileIsGood(const std::string& profile, const std::string& where) {
        auto known = checked_.find(profile);
        if (known == checked_.end()) {
            known = checked_.emplace(profile, Check(profile)).first;
        } else if (!known->second.empty()) {
            err_ << where << ": profile " << TomlEscaped(profile)
                 << " cannot be used (see above)\n";
            return false;
        }
        // The first line says which rule; the profile's own lines carry their place.
        for (size_t index = 0; index < known->second.size(); ++index) {
            err_ << (index == 0 ? where + ": " : "") << known->second[index] << "\n";
        }
        return known->second.empty();
    }

    // What is wrong with the profile file, one line each; nothing when it is good.
    std::vector<std::string> Check(const std::string& profile) {
        std::string text;
        std::string error;
        if (!ReadUserFile(profile, kMaxProfileBytes, "a profile", text, error)) {
            return {"profile " + TomlEscaped(error)};
        }
        const std::vector<ProfileProblem> problems = CheckProfile(ParseProfileText(text));
        if (problems.empty()) {
            return {};
        }
        const std::string name = TomlEscaped(profile);
        std::vector<std::string> lines{"profile " + name + " is not a good profile:"};
        for (const ProfileProblem& problem : problems) {
            lines.push_back("  " + DescribeProblem(name, problem));
        }
        return lines;
    }

    const std::string path_;
    const std::string name_;
    std::istream& in_;
    std::ostream& out_;
    std::ostream& err_;
    std::map<std::string, std::vector<std::string>> checked_;
};

}  // namespace

int CheckRulesFile(const std::string& file, std::istream& in, std::ostream& out,
                   std::ostream& err) {
    return RulesCheck(file, in, out, err).Run();
}
