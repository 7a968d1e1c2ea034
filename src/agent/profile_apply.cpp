#include "agent/profile_apply.h"

#include "device/device_link.h"
#include "device/find_result_text.h"
#include "device/write_retries.h"
#include "platform/user_files.h"
#include "profile/profile.h"

namespace {

ProfileApplyResult Failed(ProfileApplyOutcome outcome, std::string reason) {
    return {outcome, std::move(reason)};
}

std::string ProblemsText(const std::string& path, const std::vector<ProfileProblem>& problems) {
    std::string text;
    for (const ProfileProblem& problem : problems) {
        if (!text.empty()) {
            text += "\n";
        }
        text += DescribeProblem(path, problem);
    }
    return text;
}

}  // namespace

ProfileApplyResult ApplyProfileFile(const std::string& path) {
    std::string text;
    std::string error;
    if (!ReadUserFile(path, kMaxProfileBytes, "a profile", text, error)) {
        return Failed(ProfileApplyOutcome::FileProblem, error);
    }
    // Checked on defaults first, as import does: a bad profile is reported the
    // same with or without a mouse, and never reaches it.
    const ParsedProfile profile = ParseProfileText(text);
    std::vector<ProfileProblem> problems = CheckProfile(profile);
    if (!problems.empty()) {
        return Failed(ProfileApplyOutcome::BadProfile, ProblemsText(path, problems));
    }
    if (!FindDevice(kProductId)) {
        return Failed(ProfileApplyOutcome::NoMouse, FindResultText(LastFindResult()));
    }
    if (ReadSettings() != 1) {
        return Failed(ProfileApplyOutcome::MouseSilent,
                      "the mouse did not send its settings; nothing was written");
    }
    SettingsRecord held{};
    DecodeSettingsImage(lastReadImage, held);
    SettingsRecord wanted = held;
    // All or nothing: on any problem `wanted` is left as the mouse holds it.
    problems = ApplyProfile(profile, wanted);
    if (!problems.empty()) {
        return Failed(ProfileApplyOutcome::BadProfile, ProblemsText(path, problems));
    }
    if (!SettingsDiffer(held, wanted)) {
        return {ProfileApplyOutcome::Unchanged, {}};
    }
    if (!WriteSettingsWithRetries(wanted)) {
        return Failed(ProfileApplyOutcome::NotConfirmed,
                      "the mouse did not confirm the new settings (three tries); it may hold "
                      "the old ones or the new ones");
    }
    return {ProfileApplyOutcome::Applied, {}};
}
