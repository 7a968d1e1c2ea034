#include "profile/action_names.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <map>

#include "settings/cpi_scale.h"
#include "settings/key_table.h"

namespace {

constexpr std::string_view kKeyPrefix = "key:";
constexpr std::string_view kMediaPrefix = "media:";
constexpr std::string_view kFixedCpiPrefix = "fixed-cpi:";

struct ModifierName {
    uint8_t bit;
    const char* name;
};
// The modifiers a name may carry, in any order.
constexpr std::array<ModifierName, 4> kModifierNames{{
    {kCtrlBit, "Ctrl"},
    {kShiftBit, "Shift"},
    {kAltBit, "Alt"},
    {kWinBit, "Win"},
}};

constexpr std::string_view kUnknownKeyPrefix = "unknown key 0x";

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::ranges::transform(lower, lower.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && Lower(text.substr(0, prefix.size())) == prefix;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    return text;
}

bool IsMediaKind(uint8_t kind) {
    return kind == static_cast<uint8_t>(ActionKind::MediaKey) ||
           kind == static_cast<uint8_t>(ActionKind::AppLaunch);
}

// The entries a plain or "media:" name picks: all but the two that run a dialog.
std::string EntryName(const ActionEntry& entry) {
    return (IsMediaKind(entry.values.kind) ? std::string(kMediaPrefix) : std::string()) +
           entry.label;
}

bool RunsDialog(const ActionEntry& entry) {
    return entry.commandId == kKeyboardKeyCommand || entry.commandId == kFixedCpiCommand;
}

// The keys a name can bind, by their names and aliases, and for each usage
// its name; the window names the same keys by the same rows. The names of
// keys the mouse cannot send are kept too, so that they are refused as the
// dialog refuses them rather than called unknown.
struct KeyTables {
    std::map<std::string, uint16_t> virtualKeyOfName;  // lower-case names
    std::map<std::string, uint16_t> refusedKeyOfName;  // lower-case
};

const KeyTables& Keys() {
    static const KeyTables tables = [] {
        KeyTables t;
        for (const KeyRow& key : AssignableKeys()) {
            t.virtualKeyOfName.try_emplace(Lower(key.name), key.virtualKey);
        }
        // Aliases after every name: a name always wins.
        for (const KeyRow& key : AssignableKeys()) {
            for (const std::string_view alias : KeyAliases(key)) {
                t.virtualKeyOfName.try_emplace(Lower(alias), key.virtualKey);
            }
        }
        for (const RefusedKey& key : RefusedKeys()) {
            t.refusedKeyOfName.try_emplace(Lower(key.name), key.virtualKey);
        }
        return t;
    }();
    return tables;
}

// "Unknown key 0x82": a usage no row has, as the window names it when the
// mouse holds one, so that an exported profile gives it back.
std::optional<uint16_t> UnknownUsageOf(std::string_view name) {
    const std::string lower = Lower(name);
    if (!lower.starts_with(kUnknownKeyPrefix) || lower.size() != kUnknownKeyPrefix.size() + 2) {
        return std::nullopt;
    }
    unsigned usage = 0;
    const char* digits = lower.data() + kUnknownKeyPrefix.size();
    const auto [end, ec] = std::from_chars(digits, digits + 2, usage, 16);
    if (ec != std::errc() || end != digits + 2 || usage == 0 || FindKeyByUsage(usage)) {
        return std::nullopt;
    }
    return static_cast<uint16_t>(kUsageKeyBase + usage);
}

std::optional<std::string> KeyActionName(const ButtonAction& action) {
    constexpr uint8_t kAllModifierBits = kCtrlBit | kShiftBit | kAltBit | kWinBit;
    const std::string name = KeyName(UsageToVirtualKey(action.x));
    if ((action.code & ~kAllModifierBits) != 0 || action.y != 0 || name.empty()) {
        return std::nullopt;
    }
    return std::string(kKeyPrefix) + ModifierPrefix(action.code) + name;
}

std::optional<uint32_t> ReadNumber(std::string_view text) {
    uint32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

std::optional<ActionValues> ParseFixedCpi(std::string_view text, std::string& error) {
    const size_t separator = Lower(text).find('x');
    const auto x = ReadNumber(text.substr(0, separator));
    const auto y = separator == std::string_view::npos ? x : ReadNumber(text.substr(separator + 1));
    if (!x || !y) {
        error =
            "a fixed CPI is written \"fixed-cpi:X\" or \"fixed-cpi:XxY\" (e.g. "
            "\"fixed-cpi:800x1600\")";
        return std::nullopt;
    }
    for (const uint32_t value : {*x, *y}) {
        if (NormalizeFixedCpiValue(value) != value) {
            error = "fixed CPI " + std::to_string(value) +
                    " is not allowed: 10 to 30000 in steps of 10";
            return std::nullopt;
        }
    }
    return ActionValues{static_cast<uint8_t>(ActionKind::FixedCpi), 0, static_cast<uint16_t>(*x),
                        static_cast<uint16_t>(*y)};
}

std::string AllowedActions(bool allowFixedCpi) {
    std::string text;
    for (const ActionEntry& entry : ActionTable()) {
        // Appended piece by piece: GCC 12 at -O3 takes "literal" + string
        // for an overlapping copy (-Wrestrict, a false alarm).
        if (!RunsDialog(entry)) {
            text += '"';
            text += EntryName(entry);
            text += "\", ";
        }
    }
    text += "\"key:NAME\" (e.g. \"key:Shift+Ctrl+F13\")";
    if (allowFixedCpi) {
        text += ", \"fixed-cpi:XxY\"";
    }
    return text;
}

}  // namespace

std::optional<std::string> ActionName(const ButtonAction& action) {
    const ActionValues values = ValuesOf(action);
    if (values.kind == static_cast<uint8_t>(ActionKind::KeyboardKey)) {
        return KeyActionName(action);
    }
    if (values.kind == static_cast<uint8_t>(ActionKind::FixedCpi)) {
        if (values.code != 0 || NormalizeFixedCpiValue(values.x) != values.x ||
            NormalizeFixedCpiValue(values.y) != values.y) {
            return std::nullopt;
        }
        return std::string(kFixedCpiPrefix) + std::to_string(values.x) + "x" +
               std::to_string(values.y);
    }
    for (const ActionEntry& entry : ActionTable()) {
        if (!RunsDialog(entry) && entry.values == values) {
            return EntryName(entry);
        }
    }
    return std::nullopt;
}

std::optional<ActionValues> ParseKeyActionName(std::string_view text, std::string& error) {
    KeyCaptureState capture;
    std::string_view rest = Trim(text);
    for (bool more = true; more;) {
        more = false;
        for (const ModifierName& modifier : kModifierNames) {
            const std::string prefix = Lower(modifier.name) + "+";
            // "Ctrl++" is Ctrl with the "+" key: a modifier needs a key after it.
            if (rest.size() > prefix.size() && StartsWithNoCase(rest, prefix)) {
                capture.modifiers |= modifier.bit;
                rest.remove_prefix(prefix.size());
                more = true;
            }
        }
    }
    const std::string keyName(Trim(rest));
    if (const auto refused = Keys().refusedKeyOfName.find(Lower(keyName));
        refused != Keys().refusedKeyOfName.end()) {
        error = KeyRefusalText(refused->second);
        return std::nullopt;
    }
    const auto key = Keys().virtualKeyOfName.find(Lower(keyName));
    const auto unknownUsage = UnknownUsageOf(keyName);
    if (key == Keys().virtualKeyOfName.end() && !unknownUsage) {
        error = "unknown key \"" + keyName +
                "\": a key name as the KEYBOARD KEY dialog and \"keys\" show it (\"A\", "
                "\"F13\", \"Num 1\", \"Page Up\"), after any of \"Shift+\", \"Ctrl+\", "
                "\"Win+\", \"Alt+\"";
        return std::nullopt;
    }
    capture.keyCode = unknownUsage ? *unknownUsage : key->second;
    return EncodeKeyAction(capture);
}
std::optional<ActionValues> ParseActionName(std::string_view name, bool allowFixedCpi,
                                            std::string& error) {
    const std::string_view text = Trim(name);
    if (StartsWithNoCase(text, kKeyPrefix)) {
        return ParseKeyActionName(text.substr(kKeyPrefix.size()), error);
    }
    if (StartsWithNoCase(text, kFixedCpiPrefix)) {
        if (!allowFixedCpi) {
            error = "the wheel cannot be given a fixed CPI";
            return std::nullopt;
        }
        return ParseFixedCpi(text.substr(kFixedCpiPrefix.size()), error);
    }
    const std::string lower = Lower(text);
    for (const ActionEntry& entry : ActionTable()) {
        if (RunsDialog(entry)) {
            continue;
        }
        const std::string label = Lower(entry.label);
        if (lower == Lower(EntryName(entry)) || lower == label) {
            return entry.values;
        }
    }
    error = "unknown action \"" + std::string(text) + "\": one of " + AllowedActions(allowFixedCpi);
    return std::nullopt;
}

std::vector<std::string> BindableKeyNames() {
    std::vector<std::string> names;
    for (const KeyRow& key : AssignableKeys()) {
        names.emplace_back(key.name);
    }
    return names;
}
