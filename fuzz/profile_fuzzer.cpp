// Any bytes as a profile and as set assignments: never a crash, and whatever
// is accepted is written back as a profile that reads to the same record.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "profile/profile.h"

namespace {

SettingsImage ImageOf(const SettingsRecord& record) {
    SettingsImage image{};
    EncodeSettingsImage(record, image);
    return image;
}

void CheckRoundTrip(const SettingsRecord& record) {
    SettingsRecord again{};
    LoadDefaultSettings(again);
    again.glassMode = record.glassMode;
    again.liftOffDistance = record.liftOffDistance;
    again.buttons[5] = record.buttons[5];
    const ParsedProfile parsed = ParseProfileText(FormatProfile(record));
    if (!ApplyProfile(parsed, again).empty()) {
        std::abort();  // the tool wrote a profile it refuses to read
    }
    if (ImageOf(again) != ImageOf(record)) {
        std::abort();  // the profile lost or changed a setting
    }
    (void)FormatProfileJson(record);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    SettingsRecord record{};
    LoadDefaultSettings(record);
    // Half the inputs meet a mouse in glass mode, with a glass lift-off distance.
    if (size > 0 && data[0] & 1) {
        record.glassMode = 1;
        record.liftOffDistance = 1;
    }
    if (ApplyProfile(ParseProfileText(text), record).empty()) {
        CheckRoundTrip(record);
    }

    std::vector<std::string> assignments;
    std::istringstream lines{std::string(text)};
    for (std::string line; std::getline(lines, line);) {
        assignments.push_back(line);
    }
    SettingsRecord assigned{};
    LoadDefaultSettings(assigned);
    if (ApplyAssignments(assignments, assigned).empty()) {
        CheckRoundTrip(assigned);
    }
    return 0;
}
