#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>

#include "profile/profile.h"

// The settings a profile holds, one rule each: how the pages show a record's
// value, and how a value is checked and set. The rules are the pages' own
// (the CPI grid, the rate and lift-off lists, the action and key names), taken
// from the core, so a profile accepts exactly what the pages can produce.
struct ProfileRule {
    std::string key;      // dotted: "polling_rate_hz", "cpi_level.2.x"
    std::string allowed;  // what the setting takes, for comments and messages
    std::function<std::optional<ProfileValue>(const SettingsRecord&)> show;
    // Sets the value; returns what is wrong with it, "" when it was set.
    std::function<std::string(const ProfileValue&, SettingsRecord&)> set;
};

std::span<const ProfileRule> ProfileRules();
const ProfileRule* FindProfileRule(std::string_view key);

// Rules between settings, checked once all are set: what is wrong, or "".
// Each problem names the setting it is about.
struct CrossProblem {
    std::string key;
    std::string message;
};
std::vector<CrossProblem> CheckProfileRecord(const SettingsRecord& record);

// The names of the button slots a profile holds, by slot; "" for slot 5,
// which no page offers.
std::string_view ButtonKeyOfSlot(int slot);
