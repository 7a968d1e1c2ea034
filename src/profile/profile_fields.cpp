#include "profile/profile_fields.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "profile/action_names.h"
#include "profile/toml_text.h"
#include "settings/button_actions.h"
#include "settings/click_filters.h"
#include "settings/cpi_scale.h"
#include "settings/sensor_choices.h"

namespace {

constexpr int kAngleMin = -127;
constexpr int kAngleMax = 127;
constexpr int kLeftSlot = 0;
constexpr int kRightSlot = 1;

constexpr std::string_view kButtonKeys[kButtonSlotCount] = {
    "left", "right", "middle", "forward", "back", "", "wheel_up", "wheel_down"};
constexpr int kFirstWheelSlot = 6;

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::ranges::transform(lower, lower.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

std::string Describe(const ProfileValue& value) {
    if (const auto* b = std::get_if<bool>(&value)) {
        return *b ? "true" : "false";
    }
    if (const auto* i = std::get_if<int64_t>(&value)) {
        return std::to_string(*i);
    }
    if (const auto* d = std::get_if<double>(&value)) {
        char text[32];
        std::snprintf(text, sizeof text, "%g", *d);
        return text;
    }
    return TomlQuoted(std::get<std::string>(value));
}

// The number at the start of a list entry's text: 1000 of "1000Hz", 1.2 of "1.2mm".
double LeadingNumber(const char* text) {
    return std::strtod(text, nullptr);
}

std::string JoinChoiceNumbers(std::span<const SensorChoice> choices) {
    std::string text;
    for (const SensorChoice& choice : choices) {
        text += (text.empty() ? "" : ", ") + std::string(choice.text);
        text.erase(text.find_last_not_of("Hzm") + 1);
    }
    return text;
}

std::string JoinChoiceTexts(std::span<const SensorChoice> choices) {
    std::string text;
    for (const SensorChoice& choice : choices) {
        text += (text.empty() ? "" : ", ") + TomlQuoted(choice.text);
    }
    return text;
}

std::optional<int> ChoiceIndexByText(std::span<const SensorChoice> choices, std::string_view text) {
    for (size_t index = 0; index < choices.size(); ++index) {
        if (Lower(choices[index].text) == Lower(text)) {
            return static_cast<int>(index);
        }
    }
    return std::nullopt;
}

uint8_t SwitchByte(bool on) {
    return on ? 1 : 0;
}

void SetFlag(uint8_t& flags, uint8_t bit, bool on) {
    flags = on ? (flags | bit) : (flags & ~bit);
}

// Kind checks: the text of a wrong kind, "" when the value has the kind.
std::string NeedsInteger(const ProfileValue& value, const std::string& allowed) {
    return std::holds_alternative<int64_t>(value) ? "" : "expects a whole number (" + allowed + ")";
}

std::string NeedsBool(const ProfileValue& value) {
    return std::holds_alternative<bool>(value) ? "" : "expects true or false";
}

std::string NeedsText(const ProfileValue& value, const std::string& allowed) {
    return std::holds_alternative<std::string>(value) ? ""
                                                      : "expects text in quotes (" + allowed + ")";
}

ProfileRule SwitchRule(std::string key, uint8_t SettingsRecord::*field) {
    return {
        std::move(key), "true or false",
        [field](const SettingsRecord& r) -> std::optional<ProfileValue> { return r.*field == 1; },
        [field](const ProfileValue& v, SettingsRecord& r) {
            if (std::string wrong = NeedsBool(v); !wrong.empty()) {
                return wrong;
            }
            r.*field = SwitchByte(std::get<bool>(v));
            return std::string();
        }};
}

ProfileRule PollingRateRule() {
    const std::string allowed = "Hz, one of " + JoinChoiceNumbers(PollingRateChoices());
    return {"polling_rate_hz", allowed,
            [](const SettingsRecord& r) -> std::optional<ProfileValue> {
                const int index = PollingRateIndexToShow(r.pollingRateCode);
                return static_cast<int64_t>(LeadingNumber(PollingRateChoices()[index].text));
            },
            [allowed](const ProfileValue& v, SettingsRecord& r) {
                if (std::string wrong = NeedsInteger(v, allowed); !wrong.empty()) {
                    return wrong;
                }
                const int64_t hz = std::get<int64_t>(v);
                for (const SensorChoice& choice : PollingRateChoices()) {
                    if (LeadingNumber(choice.text) == static_cast<double>(hz)) {
                        r.pollingRateCode = choice.value;
                        return std::string();
                    }
                }
                return std::to_string(hz) + " Hz is not offered; " + allowed;
            }};
}

ProfileRule LiftOffRule() {
    const std::string allowed = "mm, one of " + JoinChoiceNumbers(LiftOffChoices(false)) +
                                " (with the mouse in glass mode " +
                                JoinChoiceNumbers(LiftOffChoices(true)) + ")";
    return {"lift_off_mm", allowed,
            [](const SettingsRecord& r) -> std::optional<ProfileValue> {
                const bool glass = r.glassMode == 1;
                const int index = LiftOffIndexToShow(glass, r.liftOffDistance);
                return LeadingNumber(LiftOffChoices(glass)[index].text);
            },
            [](const ProfileValue& v, SettingsRecord& r) {
                const bool glass = r.glassMode == 1;
                const std::string choices = JoinChoiceNumbers(LiftOffChoices(glass));
                const std::string here =
                    glass ? "with the mouse in glass mode, one of " : "one of ";
                double mm = 0;
                if (const auto* d = std::get_if<double>(&v)) {
                    mm = *d;
                } else if (const auto* i = std::get_if<int64_t>(&v)) {
                    mm = static_cast<double>(*i);
                } else {
                    return "expects a number of mm (" + here + choices + ")";
                }
                for (const SensorChoice& choice : LiftOffChoices(glass)) {
                    if (std::abs(LeadingNumber(choice.text) - mm) < 1e-6) {
                        r.liftOffDistance = choice.value;
                        return std::string();
                    }
                }
                return Describe(v) + " mm is not offered; " + here + choices;
            }};
}

ProfileRule LedRule() {
    // The box is ticked while liftOffLed is not 1; ticked stores 0.
    return {
        "disable_led_on_lift_off", "true or false",
        [](const SettingsRecord& r) -> std::optional<ProfileValue> { return r.liftOffLed != 1; },
        [](const ProfileValue& v, SettingsRecord& r) {
            if (std::string wrong = NeedsBool(v); !wrong.empty()) {
                return wrong;
            }
            r.liftOffLed = SwitchByte(!std::get<bool>(v));
            return std::string();
        }};
}

ProfileRule AngleRule() {
    const std::string allowed = "-127 to 127";
    return {"sensor_angle", allowed,
            [](const SettingsRecord& r) -> std::optional<ProfileValue> {
                // -128 lies outside the page's range and shows as 0.
                return static_cast<int64_t>(r.sensorAngle == -128 ? 0 : r.sensorAngle);
            },
            [allowed](const ProfileValue& v, SettingsRecord& r) {
                if (std::string wrong = NeedsInteger(v, allowed); !wrong.empty()) {
                    return wrong;
                }
                const int64_t angle = std::get<int64_t>(v);
                if (angle < kAngleMin || angle > kAngleMax) {
                    return std::to_string(angle) + " is out of range; " + allowed;
                }
                r.sensorAngle = static_cast<int8_t>(angle);
                return std::string();
            }};
}

ProfileRule TuningRule(std::string key, std::span<const SensorChoice> choices, bool downshift) {
    const std::string allowed = "one of " + JoinChoiceTexts(choices);
    return {
        std::move(key), allowed,
        [choices, downshift](const SettingsRecord& r) -> std::optional<ProfileValue> {
            const int index = downshift ? CpiDownshiftIndexToShow(r.sensorTuning)
                                        : SmoothingIndexToShow(r.sensorTuning);
            return std::string(choices[index].text);
        },
        [choices, downshift, allowed](const ProfileValue& v, SettingsRecord& r) {
            if (std::string wrong = NeedsText(v, allowed); !wrong.empty()) {
                return wrong;
            }
            const auto index = ChoiceIndexByText(choices, std::get<std::string>(v));
            if (!index) {
                return Describe(v) + " is not offered; " + allowed;
            }
            // As the page does, both codes are written from what the boxes show.
            const int downshiftIndex = downshift ? *index : CpiDownshiftIndexToShow(r.sensorTuning);
            const int smoothingIndex = downshift ? SmoothingIndexToShow(r.sensorTuning) : *index;
            r.sensorTuning = SensorTuningFor(r.sensorTuning, downshiftIndex, smoothingIndex);
            return std::string();
        }};
}

ProfileRule SlamclickRule() {
    return {"slamclick_filter", "true or false",
            [](const SettingsRecord& r) -> std::optional<ProfileValue> {
                return (r.featureFlags & kSlamclickFilterFlag) != 0;
            },
            [](const ProfileValue& v, SettingsRecord& r) {
                if (std::string wrong = NeedsBool(v); !wrong.empty()) {
                    return wrong;
                }
                SetFlag(r.featureFlags, kSlamclickFilterFlag, std::get<bool>(v));
                return std::string();
            }};
}

ProfileRule LevelCountRule() {
    const std::string allowed = "1 to 4";
    return {"cpi_level_count", allowed,
            [](const SettingsRecord& r) -> std::optional<ProfileValue> {
                return static_cast<int64_t>(std::clamp<int>(r.cpiLevelCount, 1, kCpiLevelCount));
            },
            [allowed](const ProfileValue& v, SettingsRecord& r) {
                if (std::string wrong = NeedsInteger(v, allowed); !wrong.empty()) {
                    return wrong;
                }
                const int64_t count = std::get<int64_t>(v);
                if (count < 1 || count > kCpiLevelCount) {
                    return std::to_string(count) + " levels are not offered; " + allowed;
                }
                r.cpiLevelCount = static_cast<uint8_t>(count);
                return std::string();
            }};
}

ProfileRule ActiveLevelRule() {
    const std::string allowed = "1 to cpi_level_count, as the Basic page counts";
    return {"active_cpi_level", allowed,
            [](const SettingsRecord& r) -> std::optional<ProfileValue> {
                const int count = std::clamp<int>(r.cpiLevelCount, 1, kCpiLevelCount);
                return static_cast<int64_t>(std::min<int>(r.activeCpiLevel, count - 1) + 1);
            },
            [allowed](const ProfileValue& v, SettingsRecord& r) {
                if (std::string wrong = NeedsInteger(v, allowed); !wrong.empty()) {
                    return wrong;
                }
                const int64_t level = std::get<int64_t>(v);
                if (level < 1 || level > kCpiLevelCount) {
                    return "level " + std::to_string(level) + " does not exist; " + allowed;
                }
                r.activeCpiLevel = static_cast<uint8_t>(level - 1);
                return std::string();
            }};
}

ProfileRule CpiRule(int level, bool xAxis) {
    const std::string key = "cpi_level." + std::to_string(level + 1) + (xAxis ? ".x" : ".y");
    const std::string allowed =
        "CPI, 10 to 10000 in steps of 10, above that to 30000 in steps of 50";
    return {key, allowed,
            [level, xAxis](const SettingsRecord& r) -> std::optional<ProfileValue> {
                const CpiLevel& l = r.cpiLevels[level];
                return static_cast<int64_t>(NormalizeLevelCpi(xAxis ? l.x : l.y));
            },
            [level, xAxis, allowed](const ProfileValue& v, SettingsRecord& r) {
                if (std::string wrong = NeedsInteger(v, allowed); !wrong.empty()) {
                    return wrong;
                }
                const int64_t cpi = std::get<int64_t>(v);
                if (cpi < kMinLevelCpi || cpi > kMaxLevelCpi ||
                    NormalizeLevelCpi(static_cast<uint32_t>(cpi)) != cpi) {
                    return "CPI " + std::to_string(cpi) + " is not allowed: " + allowed;
                }
                CpiLevel& l = r.cpiLevels[level];
                (xAxis ? l.x : l.y) = static_cast<uint16_t>(cpi);
                l.separateXY = l.x != l.y ? 1 : 0;
                return std::string();
            }};
}

ProfileRule ButtonRule(int slot) {
    const bool fixedCpi = slot < kFirstWheelSlot;
    const std::string allowed = std::string(
                                    "a Button Mapping name: \"LEFT CLICK\", \"media:PLAY/PAUSE\", "
                                    "\"key:Ctrl+Shift+F13\"") +
                                (fixedCpi ? ", \"fixed-cpi:800x1600\"" : "") +
                                ", \"CPI LOOP\", \"DISABLE\", ...";
    return {std::string(kButtonKeys[slot]), allowed,
            [slot](const SettingsRecord& r) -> std::optional<ProfileValue> {
                if (auto name = ActionName(r.buttons[slot])) {
                    return *name;
                }
                return std::nullopt;
            },
            [slot, fixedCpi, allowed](const ProfileValue& v, SettingsRecord& r) {
                if (std::string wrong = NeedsText(v, allowed); !wrong.empty()) {
                    return wrong;
                }
                std::string error;
                const auto values = ParseActionName(std::get<std::string>(v), fixedCpi, error);
                if (!values) {
                    return error;
                }
                AssignAction(r.buttons[slot], *values);
                return std::string();
            }};
}

ProfileRule FilterRule(int slot) {
    const bool switchModes = slot < kSwitchModeSlots;
    std::string allowed = "a multiclick filter level, 0 to " + std::to_string(kClickFilterLevelMax);
    if (switchModes) {
        for (size_t mode = 1; mode < SwitchModes().size(); ++mode) {
            allowed +=
                std::string(mode == 1 ? ", or " : " or ") + TomlQuoted(SwitchModes()[mode].text);
        }
    }
    return {"multiclick_filter." + std::string(kButtonKeys[slot]), allowed,
            [slot, switchModes](const SettingsRecord& r) -> std::optional<ProfileValue> {
                const uint8_t filter = r.buttons[slot].filter;
                if (switchModes && SwitchModeIndexOf(filter) != kSwitchModeOff) {
                    return std::string(SwitchModes()[SwitchModeIndexOf(filter)].text);
                }
                return static_cast<int64_t>(std::min<int>(filter, kClickFilterLevelMax));
            },
            [slot, switchModes, allowed](const ProfileValue& v, SettingsRecord& r) {
                if (const auto* level = std::get_if<int64_t>(&v)) {
                    if (*level < 0 || *level > kClickFilterLevelMax) {
                        return "level " + std::to_string(*level) + " is not offered; " + allowed;
                    }
                    r.buttons[slot].filter = static_cast<uint8_t>(*level);
                    return std::string();
                }
                if (const auto* text = std::get_if<std::string>(&v); text && switchModes) {
                    for (size_t mode = 1; mode < SwitchModes().size(); ++mode) {
                        if (Lower(SwitchModes()[mode].text) == Lower(*text)) {
                            r.buttons[slot].filter = SwitchModes()[mode].filterByte;
                            return std::string();
                        }
                    }
                }
                return Describe(v) + " is not offered; " + allowed;
            }};
}

std::vector<ProfileRule> BuildRules() {
    std::vector<ProfileRule> rules;
    rules.push_back(
        {"format", "1, the profile format",
         [](const SettingsRecord&) -> std::optional<ProfileValue> { return kProfileFormat; },
         [](const ProfileValue& v, SettingsRecord&) {
             const auto* format = std::get_if<int64_t>(&v);
             if (format && *format == kProfileFormat) {
                 return std::string();
             }
             return "format " + Describe(v) + " is not known; this version reads format = 1";
         }});
    rules.push_back(PollingRateRule());
    rules.push_back(LiftOffRule());
    rules.push_back(LedRule());
    rules.push_back(SwitchRule("angle_snapping", &SettingsRecord::angleSnapping));
    rules.push_back(SwitchRule("motion_sync", &SettingsRecord::motionSync));
    rules.push_back(SwitchRule("force_max_fps", &SettingsRecord::forceMaxFps));
    rules.push_back(AngleRule());
    rules.push_back(TuningRule("cpi_downshift", CpiDownshiftChoices(), true));
    rules.push_back(TuningRule("smoothing", SmoothingChoices(), false));
    rules.push_back(SlamclickRule());
    rules.push_back(
        SwitchRule("multiclick_filter_acknowledged", &SettingsRecord::multiclickAcknowledged));
    rules.push_back(LevelCountRule());
    rules.push_back(ActiveLevelRule());
    for (int slot = 0; slot < kButtonSlotCount; ++slot) {
        if (!kButtonKeys[slot].empty()) {
            rules.push_back(ButtonRule(slot));
        }
    }
    for (int slot = 0; slot < kClickFilterSlots; ++slot) {
        rules.push_back(FilterRule(slot));
    }
    for (int level = 0; level < kCpiLevelCount; ++level) {
        rules.push_back(CpiRule(level, true));
        rules.push_back(CpiRule(level, false));
    }
    return rules;
}

}  // namespace

std::span<const ProfileRule> ProfileRules() {
    static const std::vector<ProfileRule> rules = BuildRules();
    return rules;
}

const ProfileRule* FindProfileRule(std::string_view key) {
    for (const ProfileRule& rule : ProfileRules()) {
        if (rule.key == key) {
            return &rule;
        }
    }
    return nullptr;
}

std::vector<CrossProblem> CheckProfileRecord(const SettingsRecord& record) {
    std::vector<CrossProblem> problems;
    if (record.activeCpiLevel >= record.cpiLevelCount) {
        problems.push_back({"active_cpi_level", "level " +
                                                    std::to_string(record.activeCpiLevel + 1) +
                                                    " is not in use; 1 to cpi_level_count (" +
                                                    std::to_string(record.cpiLevelCount) + ")"});
    }
    // Without a LEFT CLICK on one of the two main buttons the mouse could not click.
    std::string unused;
    const ActionValues leftClick = *ParseActionName("LEFT CLICK", false, unused);
    if (ValuesOf(record.buttons[kLeftSlot]) != leftClick &&
        ValuesOf(record.buttons[kRightSlot]) != leftClick) {
        problems.push_back({"left",
                            "one of left and right must be \"LEFT CLICK\" (right for "
                            "left-handed use), as on the Button Mapping page"});
    }
    return problems;
}

std::string_view ButtonKeyOfSlot(int slot) {
    return slot >= 0 && slot < kButtonSlotCount ? kButtonKeys[slot] : std::string_view();
}
