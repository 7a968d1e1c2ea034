#include "profile/profile.h"

#include <toml++/toml.h>
#include <algorithm>
#include <cstdio>
#include <map>
#include <sstream>

#include "profile/profile_fields.h"
#include "profile/toml_entry.h"
#include "profile/toml_text.h"

namespace {

constexpr std::string_view kLevelArray = "cpi_level";
constexpr std::string_view kFilterTable = "multiclick_filter";
constexpr int kLevelTables = kCpiLevelCount;

// The profile's layout: top-level settings, then the filter table, then the
// levels (TOML wants plain keys before any table).
bool InLevels(std::string_view key) {
    return key.starts_with(std::string(kLevelArray) + ".");
}

bool InFilterTable(std::string_view key) {
    return key.starts_with(std::string(kFilterTable) + ".");
}

std::string_view LastPart(std::string_view key) {
    return key.substr(key.rfind('.') + 1);
}

std::string TomlText(const ProfileValue& value) {
    if (const auto* b = std::get_if<bool>(&value)) {
        return *b ? "true" : "false";
    }
    if (const auto* i = std::get_if<int64_t>(&value)) {
        return std::to_string(*i);
    }
    if (const auto* d = std::get_if<double>(&value)) {
        char text[32];
        std::snprintf(text, sizeof text, "%.1f", *d);
        return text;
    }
    return TomlQuoted(std::get<std::string>(value));
}

struct Shown {
    const ProfileRule* rule;
    ProfileValue value;
};

std::vector<Shown> ShowRecord(const SettingsRecord& record, std::vector<std::string>* leftOut) {
    std::vector<Shown> shown;
    for (const ProfileRule& rule : ProfileRules()) {
        if (auto value = rule.show(record)) {
            shown.push_back({&rule, std::move(*value)});
        } else if (leftOut) {
            leftOut->push_back(rule.key +
                               ": the mouse holds an action no page offers; left out, so an "
                               "import keeps what the mouse it goes to holds");
        }
    }
    return shown;
}

void AddToToml(toml::table& table, const ProfileValue& value, std::string_view key) {
    std::visit([&](const auto& v) { table.insert_or_assign(key, v); }, value);
}

std::optional<ProfileValue> ValueOf(const toml::node& node) {
    if (const auto* v = node.as_boolean()) {
        return ProfileValue(v->get());
    }
    if (const auto* v = node.as_integer()) {
        return ProfileValue(v->get());
    }
    if (const auto* v = node.as_floating_point()) {
        return ProfileValue(v->get());
    }
    if (const auto* v = node.as_string()) {
        return ProfileValue(v->get());
    }
    return std::nullopt;
}

int LineOf(const toml::node& node) {
    return static_cast<int>(node.source().begin.line);
}

class Flattener {
public:
    explicit Flattener(ParsedProfile& out) : out_(out) {}

    void Scalar(const std::string& key, const toml::node& node) {
        if (auto value = ValueOf(node)) {
            out_.entries.push_back({key, std::move(*value), LineOf(node)});
        } else {
            Problem(node, key + ": expects a single value, not a table, list or date");
        }
    }

    void Table(const std::string& prefix, const toml::table& table) {
        for (const auto& [key, node] : table) {
            Scalar(prefix + std::string(key.str()), node);
        }
    }

    void Top(const toml::table& document) {
        for (const auto& [name, node] : document) {
            const std::string key(name.str());
            if (key == kFilterTable && node.is_table()) {
                Table(key + ".", *node.as_table());
            } else if (key == kLevelArray && node.is_array_of_tables()) {
                Levels(*node.as_array());
            } else if ((key == kFilterTable || key == kLevelArray) && !node.is_value()) {
                Problem(node, key + ": expected " +
                                  (key == kFilterTable ? "a [multiclick_filter] table"
                                                       : "[[cpi_level]] tables"));
            } else {
                Scalar(key, node);
            }
        }
    }

private:
    void Levels(const toml::array& levels) {
        if (levels.size() != kLevelTables) {
            Problem(levels, "cpi_level: expected " + std::to_string(kLevelTables) +
                                " [[cpi_level]] tables, one per level, found " +
                                std::to_string(levels.size()));
            return;
        }
        for (size_t index = 0; index < levels.size(); ++index) {
            Table("cpi_level." + std::to_string(index + 1) + ".", *levels[index].as_table());
        }
    }

    void Problem(const toml::node& node, std::string message) {
        out_.problems.push_back({LineOf(node), std::move(message)});
    }

    ParsedProfile& out_;
};

std::string KnownKeys() {
    std::string text;
    for (const ProfileRule& rule : ProfileRules()) {
        if (!InLevels(rule.key) || rule.key.starts_with("cpi_level.1.")) {
            text +=
                (text.empty() ? "" : ", ") +
                (InLevels(rule.key) ? "cpi_level.N." + std::string(LastPart(rule.key)) : rule.key);
        }
    }
    return text;
}

std::vector<ProfileProblem> ApplyEntries(const std::vector<ProfileEntry>& entries,
                                         SettingsRecord& record) {
    std::vector<ProfileProblem> problems;
    SettingsRecord result = record;
    std::map<std::string, int> lineOfKey;
    for (const ProfileEntry& entry : entries) {
        const ProfileRule* rule = FindProfileRule(entry.key);
        if (!rule) {
            problems.push_back({entry.line, "unknown setting " + TomlQuoted(entry.key) +
                                                "; the settings are: " + KnownKeys()});
            continue;
        }
        if (!lineOfKey.try_emplace(entry.key, entry.line).second) {
            problems.push_back({entry.line, entry.key + ": given more than once"});
            continue;
        }
        if (std::string wrong = rule->set(entry.value, result); !wrong.empty()) {
            problems.push_back({entry.line, entry.key + ": " + wrong});
        }
    }
    if (!problems.empty()) {
        return problems;
    }
    for (const CrossProblem& cross : CheckProfileRecord(result)) {
        const auto line = lineOfKey.find(cross.key);
        problems.push_back(
            {line == lineOfKey.end() ? 0 : line->second, cross.key + ": " + cross.message});
    }
    if (problems.empty()) {
        record = result;
    }
    return problems;
}

}  // namespace

std::string FormatProfile(const SettingsRecord& record, std::vector<std::string>* leftOut) {
    std::ostringstream out;
    out << "# Mouse settings for kestrine-config (kestrine-config import FILE).\n"
           "# Every setting but format may be left out: the mouse then keeps its own.\n\n";
    std::string_view section;
    std::string_view lastAllowed;
    for (const Shown& s : ShowRecord(record, leftOut)) {
        const std::string& key = s.rule->key;
        if (InFilterTable(key) && section != kFilterTable) {
            section = kFilterTable;
            out << "\n# Multiclick filter of each button (the Buttons page).\n[" << kFilterTable
                << "]\n";
        } else if (InLevels(key) && key.ends_with(".x")) {
            section = kLevelArray;
            out << "\n[[" << kLevelArray << "]]  # level " << key.substr(kLevelArray.size() + 1, 1)
                << "\n";
        }
        // Each kind of value is explained once, above the first setting that takes it.
        if (s.rule->allowed != lastAllowed) {
            lastAllowed = s.rule->allowed;
            out << "# " << s.rule->allowed << "\n";
        }
        const std::string name(section.empty() ? std::string_view(key) : LastPart(key));
        out << name << " = " << TomlText(s.value) << "\n";
    }
    return out.str();
}

std::string FormatProfileJson(const SettingsRecord& record, std::vector<std::string>* leftOut) {
    toml::table document;
    toml::table filters;
    toml::array levels;
    for (int level = 0; level < kLevelTables; ++level) {
        levels.push_back(toml::table{});
    }
    for (const Shown& s : ShowRecord(record, leftOut)) {
        const std::string& key = s.rule->key;
        if (InFilterTable(key)) {
            AddToToml(filters, s.value, LastPart(key));
        } else if (InLevels(key)) {
            const int level = key[kLevelArray.size() + 1] - '1';
            AddToToml(*levels[static_cast<size_t>(level)].as_table(), s.value, LastPart(key));
        } else {
            AddToToml(document, s.value, key);
        }
    }
    document.insert_or_assign(kFilterTable, std::move(filters));
    document.insert_or_assign(kLevelArray, std::move(levels));
    std::ostringstream out;
    out << toml::json_formatter{document} << "\n";
    return out.str();
}

ParsedProfile ParseProfileText(std::string_view text) {
    ParsedProfile parsed;
    ProfileProblem problem;
    const std::optional<toml::table> document = ParseToml(text, problem);
    if (!document) {
        parsed.problems.push_back(std::move(problem));
        return parsed;
    }
    Flattener(parsed).Top(*document);
    const auto byLine = [](const auto& a, const auto& b) { return a.line < b.line; };
    std::ranges::stable_sort(parsed.entries, byLine);
    std::ranges::stable_sort(parsed.problems, byLine);
    return parsed;
}

std::vector<ProfileProblem> ApplyProfile(const ParsedProfile& profile, SettingsRecord& record) {
    if (!profile.problems.empty()) {
        return profile.problems;
    }
    const bool hasFormat = std::ranges::any_of(
        profile.entries, [](const ProfileEntry& entry) { return entry.key == "format"; });
    if (!hasFormat) {
        return {{0, "not a profile: it has no \"format = 1\" line"}};
    }
    return ApplyEntries(profile.entries, record);
}

std::vector<ProfileProblem> CheckProfile(const ParsedProfile& profile) {
    SettingsRecord trial{};
    LoadDefaultSettings(trial);
    return ApplyProfile(profile, trial);
}

std::vector<ProfileProblem> ApplyAssignments(const std::vector<std::string>& assignments,
                                             SettingsRecord& record) {
    std::vector<ProfileEntry> entries;
    std::vector<ProfileProblem> problems;
    for (const std::string& assignment : assignments) {
        const size_t equals = assignment.find('=');
        if (equals == std::string::npos || equals == 0) {
            problems.push_back({0, "\"" + assignment + "\" is not NAME=VALUE"});
            continue;
        }
        std::string key = assignment.substr(0, equals);
        const std::string text = assignment.substr(equals + 1);
        ProfileValue value = text;
        // Not a TOML value: the words themselves, as a shell leaves them.
        ProfileProblem notToml;
        if (const std::optional<toml::table> one = ParseToml("v = " + text, notToml)) {
            if (const toml::node* node = one->get("v")) {
                value = ValueOf(*node).value_or(ProfileValue(text));
            }
        }
        entries.push_back({std::move(key), std::move(value), 0});
    }
    if (!problems.empty()) {
        return problems;
    }
    return ApplyEntries(entries, record);
}

std::optional<std::string> ProfileValueText(const SettingsRecord& record, std::string_view key,
                                            std::string& error) {
    const ProfileRule* rule = FindProfileRule(key);
    if (rule == nullptr || key == "format") {
        error = "unknown setting " + TomlQuoted(key) + "; the settings are: " + KnownKeys();
        return std::nullopt;
    }
    const std::optional<ProfileValue> value = rule->show(record);
    if (!value) {
        error = std::string(key) + ": the mouse holds a value that no page shows";
        return std::nullopt;
    }
    if (const auto* text = std::get_if<std::string>(&*value)) {
        return *text;
    }
    return TomlText(*value);
}

std::string DescribeProblem(std::string_view source, const ProfileProblem& problem) {
    std::string text(source);
    if (problem.line > 0) {
        text += ":" + std::to_string(problem.line);
    }
    return text + ": " + problem.message;
}

std::vector<ProfileKeyHelp> ProfileKeys() {
    std::vector<ProfileKeyHelp> keys;
    for (const ProfileRule& rule : ProfileRules()) {
        keys.push_back({rule.key, rule.allowed});
    }
    return keys;
}
