#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The rules file of automatic profiles: which profile file the mouse gets
// while a given program's window is in front. TOML a user writes by hand:
//
//   format = 1
//   default = "desktop.toml"        # optional: when no rule matches
//   [[rule]]
//   program = "cs2"                 # the window's program name
//   profile = "cs2.toml"
//   [[rule]]
//   window_class = "steam_app_570"  # or either part of its WM_CLASS, or its Wayland app id
//   profile = "profiles/dota.toml"
//
// Relative profile paths are taken from the rules file's folder.

inline constexpr int kRulesFormat = 1;
// A rules file is a few kilobytes; one far larger is not one.
inline constexpr size_t kMaxRulesBytes = size_t{1} << 20;

// The window in front, as the window system describes it.
struct WindowIdentity {
    std::string program;      // /proc/PID/comm of the window's process; "" = unknown
    std::string instance;     // WM_CLASS, first part ("" on Wayland)
    std::string windowClass;  // WM_CLASS, second part, or the Wayland app id
};

// Exactly one of `program` and `windowClass` is set.
struct AutomaticRule {
    std::string program;
    std::string windowClass;
    std::string profile;  // as written in the file
    int line = 0;         // where it was read (0: not read from a file)
};
// What a rule is, not where it stands: the line is left out.
bool operator==(const AutomaticRule& a, const AutomaticRule& b);

struct AutomaticRules {
    std::string defaultProfile;  // as written; "" = none
    std::vector<AutomaticRule> rules;
    bool operator==(const AutomaticRules&) const = default;
};

struct ParsedRules {
    // What could be read: a rule with a problem is left out of it.
    AutomaticRules rules;
    // "FILE:LINE: what is wrong; what is allowed", in the file's order. Any
    // problem means the file is not good as a whole.
    std::vector<std::string> problems;
};

ParsedRules ParseAutomaticRules(const std::string& text, const std::string& fileName);

// The rules as the file holds them, commented; parsing it gives them back.
std::string AutomaticRulesText(const AutomaticRules& rules);

// The profile file a rule names: as written when absolute, else from the
// rules file's folder. "" for "".
std::string ResolveProfilePath(const std::string& rulesFile, const std::string& profile);

// The profile (as written) for the window: the first rule that matches wins,
// else the default ("" = none). A program is the same name exactly; a window
// class is either part of WM_CLASS, or the Wayland app id, exactly, upper and
// lower case as written. A window whose program is unknown (its desktop does
// not name its process) is matched by class only.
// A program name longer than the 15 bytes the kernel keeps of it matches the
// window's program when that is its first 15 bytes.
std::string MatchingProfile(const AutomaticRules& rules, const WindowIdentity& window);

// What a rule matches, for people: program "cs2", window class "steam_app_570".
std::string RuleMatchText(const AutomaticRule& rule);

// $XDG_CONFIG_HOME/kestrine-config/rules.toml, ~/.config/... without it.
std::string DefaultRulesPath();
