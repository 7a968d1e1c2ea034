// Any bytes as a rules file: never a crash, and a file read without problems
// is written back as text that reads to the same rules.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "profile/automatic_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const ParsedRules parsed = ParseAutomaticRules(text, "rules.toml");
    if (!parsed.problems.empty()) {
        return 0;
    }
    const ParsedRules again = ParseAutomaticRules(AutomaticRulesText(parsed.rules), "rules.toml");
    if (!again.problems.empty() || !(again.rules == parsed.rules)) {
        std::abort();  // the tool wrote rules it cannot read back as they were
    }
    // Every rule's own window finds a profile.
    for (const AutomaticRule& rule : parsed.rules.rules) {
        const WindowIdentity window{rule.program, rule.windowClass, rule.windowClass};
        if (MatchingProfile(parsed.rules, window).empty()) {
            std::abort();
        }
        (void)ResolveProfilePath("/home/u/.config/kestrine-config/rules.toml", rule.profile);
    }
    return 0;
}
