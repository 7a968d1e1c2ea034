#include "agent/profile_apply.h"

#include <array>

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

// The profile at `path`, read and checked whole; nullopt with `failed` set
// when it cannot be used.
std::optional<ParsedProfile> CheckedProfile(const std::string& path, ProfileApplyResult& failed) {
    std::string text;
    std::string error;
    if (!ReadUserFile(path, kMaxProfileBytes, "a profile", text, error)) {
        failed = Failed(ProfileApplyOutcome::FileProblem, error);
        return std::nullopt;
    }
    // Checked on defaults first, as import does: a bad profile is reported the
    // same with or without a mouse, and never reaches it.
    ParsedProfile profile = ParseProfileText(text);
    const std::vector<ProfileProblem> problems = CheckProfile(profile);
    if (!problems.empty()) {
        failed = Failed(ProfileApplyOutcome::BadProfile, ProblemsText(path, problems));
        return std::nullopt;
    }
    return profile;
}

// Takes what the mouse holds as the base when there is none, or when
// another process wrote since the base was taken.
void RefreshBase(ProfileBase& base, const SettingsRecord& held) {
    const uint64_t writes = WritesByAnyProcess();
    if (base.held && writes == base.writesSeen) {
        return;
    }
    base.afterOtherWrite = base.held.has_value();
    base.held = held;
    base.writesSeen = writes;
    base.takenAt = std::time(nullptr);
}

std::string TimeText(std::time_t when) {
    std::tm local{};
    std::array<char, 16> text{};
    if (localtime_r(&when, &local) == nullptr ||
        std::strftime(text.data(), text.size(), "%H:%M:%S", &local) == 0) {
        return "?";
    }
    return text.data();
}

}  // namespace

std::string BaseText(const ProfileBase& base) {
    std::string text;
    if (!base.defaultProfile.empty()) {
        text = "the default profile " + base.defaultProfile + " over ";
    }
    if (!base.held) {
        return text + "what the mouse holds at the first switch";
    }
    return text + "what the mouse held " +
           (base.afterOtherWrite ? "after the last write by the window or a command"
                                 : "at the agent's first switch") +
           " (" + TimeText(base.takenAt) + ")";
}

ProfileApplyResult ApplyProfileFile(const std::string& path, ProfileBase& base) {
    ProfileApplyResult failed;
    const std::optional<ParsedProfile> profile = CheckedProfile(path, failed);
    if (!profile) {
        return failed;
    }
    std::optional<ParsedProfile> defaults;
    if (!base.defaultProfile.empty() && base.defaultProfile != path) {
        defaults = CheckedProfile(base.defaultProfile, failed);
        if (!defaults) {
            failed.reason = "the default profile: " + failed.reason;
            return failed;
        }
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
    RefreshBase(base, held);
    SettingsRecord wanted = *base.held;
    // All or nothing: on any problem nothing is written.
    std::vector<ProfileProblem> problems;
    if (defaults) {
        problems = ApplyProfile(*defaults, wanted);
    }
    if (problems.empty()) {
        problems = ApplyProfile(*profile, wanted);
    }
    if (!problems.empty()) {
        return Failed(ProfileApplyOutcome::BadProfile, ProblemsText(path, problems));
    }
    if (!SettingsDiffer(held, wanted)) {
        return {ProfileApplyOutcome::Unchanged, {}};
    }
    const bool confirmed = WriteSettingsWithRetries(wanted);
    // The agent's own write does not move the base, confirmed or not.
    base.writesSeen = WritesByAnyProcess();
    if (!confirmed) {
        return Failed(ProfileApplyOutcome::NotConfirmed,
                      "the mouse did not confirm the new settings (three tries); it may hold "
                      "the old ones or the new ones");
    }
    return {ProfileApplyOutcome::Applied, {}};
}
