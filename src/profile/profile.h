#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "settings/settings_image.h"

// Profile files: every setting the pages edit, as TOML a user reads and
// writes by hand, and the same content as JSON. The opaque fields and what no
// page changes (glass mode, the hidden jitter filter, the sixth button) are
// not in it: reading a profile keeps what the record already holds there.

inline constexpr int64_t kProfileFormat = 1;
// A profile is a few kilobytes; a file far larger is not one.
inline constexpr size_t kMaxProfileBytes = size_t{1} << 20;

using ProfileValue = std::variant<bool, int64_t, double, std::string>;

// One setting as read: its dotted name ("polling_rate_hz",
// "cpi_level.2.x", "multiclick_filter.left") and its line (0 = none).
struct ProfileEntry {
    std::string key;
    ProfileValue value;
    int line = 0;
};

struct ProfileProblem {
    int line = 0;  // 0: not tied to a line
    std::string message;
};

struct ParsedProfile {
    std::vector<ProfileEntry> entries;  // in file order
    std::vector<ProfileProblem> problems;
};

// The profile's text as TOML, commented, every setting the pages show.
// `leftOut` gets a sentence for each button whose action no page offers;
// such a button is left out, so reading the profile keeps what a mouse holds.
std::string FormatProfile(const SettingsRecord& record,
                          std::vector<std::string>* leftOut = nullptr);
// The same content as JSON.
std::string FormatProfileJson(const SettingsRecord& record,
                              std::vector<std::string>* leftOut = nullptr);

// Reads TOML text into entries; syntax and shape problems carry their line.
ParsedProfile ParseProfileText(std::string_view text);
// Validates every entry by the pages' rules and, only when all hold, sets
// them in `record`. A profile must name its format (format = 1).
std::vector<ProfileProblem> ApplyProfile(const ParsedProfile& profile, SettingsRecord& record);

// The profile checked whole on the default settings, as import checks it
// before it looks for a mouse: a bad profile is told the same with or
// without one. Empty when it is good.
std::vector<ProfileProblem> CheckProfile(const ParsedProfile& profile);

// "NAME=VALUE" assignments with the profile's names, validated alike and set
// all at once or not at all. VALUE is read as a TOML value where it is one,
// else as text: polling_rate_hz=1000, forward=key:F13, smoothing=Force Off.
std::vector<ProfileProblem> ApplyAssignments(const std::vector<std::string>& assignments,
                                             SettingsRecord& record);

// One setting's value as a script wants it: digits, true or false, text
// without quotes. Nothing, with the reason in `error`, for a name that is no
// setting or a value no page shows (such a button is left out of profiles).
std::optional<std::string> ProfileValueText(const SettingsRecord& record, std::string_view key,
                                            std::string& error);

// "SOURCE:LINE: message", or "SOURCE: message" for a problem without a line.
std::string DescribeProblem(std::string_view source, const ProfileProblem& problem);

// Every name a profile can hold, with what it takes, in file order.
struct ProfileKeyHelp {
    std::string key;
    std::string allowed;
};
std::vector<ProfileKeyHelp> ProfileKeys();
