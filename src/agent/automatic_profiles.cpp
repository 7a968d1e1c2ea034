#include "agent/automatic_profiles.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <fstream>
#include <ostream>
#include <sstream>

#include "agent/agent_status.h"
#include "agent/profile_apply.h"
#include "device/device_link.h"
#include "platform/instance_lock.h"

namespace {

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// "cs2" for ".../cs2.toml": what a notice calls the profile.
std::string ProfileName(const std::string& path) {
    std::string name = NameOf(path);
    if (const size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0) {
        name.erase(dot);
    }
    return name;
}

void MakeFolders(const std::string& folder) {
    for (size_t slash = folder.find('/', 1); slash != std::string::npos;
         slash = folder.find('/', slash + 1)) {
        ::mkdir(folder.substr(0, slash).c_str(), 0755);
    }
    ::mkdir(folder.c_str(), 0755);
}

}  // namespace

AutomaticProfiles::AutomaticProfiles(std::string rulesFile, std::string lockFolder,
                                     AgentStatus& status,
                                     std::function<void(const std::string&)> notify)
    : rulesFile_(std::move(rulesFile)),
      lockFolder_(std::move(lockFolder)),
      status_(status),
      notify_(std::move(notify)) {}

AutomaticProfiles::~AutomaticProfiles() {
    if (inotifyFd_ >= 0) {
        ::close(inotifyFd_);
    }
}

int AutomaticProfiles::WindowFd() const {
    return windows_ ? windows_->Fd() : -1;
}

void AutomaticProfiles::Start(std::ostream& err, int64_t nowMs) {
    err_ = &err;
    // The rules folder is made so that a rules file written later is seen.
    MakeFolders(FolderOf(rulesFile_));
    inotifyFd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (inotifyFd_ >= 0) {
        ::inotify_add_watch(inotifyFd_, FolderOf(rulesFile_).c_str(),
                            IN_CLOSE_WRITE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM);
        // The window and commands let their lock go by closing it.
        ::inotify_add_watch(inotifyFd_, lockFolder_.c_str(), IN_CLOSE_WRITE);
    }
    ReadRules(nowMs, false);
    const SessionEnvironment session = SessionEnvironment::OfThisProcess();
    const WindowSourceChoice choice = ChooseWindowSource(session);
    windows_ = MakeWindowSource(choice.kind, session);
    std::string problem = choice.note;
    if (!windows_ || !windows_->Start(problem)) {
        windows_.reset();
        status_.Set("windows", "cannot be followed: " + problem);
        err << "kestrine-config agent: automatic profiles are off: " << problem << std::endl;
        return;
    }
    status_.Set("windows", WindowsFollowedText(choice));
    if (!choice.note.empty()) {
        err << "kestrine-config agent: " << choice.note << std::endl;
    }
    switcher_.OnActiveWindow(ProfileFor(windows_->Current()), nowMs);
    // Events that came with the first replies wait in the source's buffer, not on the descriptor.
    OnWindowEvents(nowMs);
}

void AutomaticProfiles::ReadRules(int64_t nowMs, bool changed) {
    std::ifstream file(rulesFile_);
    std::ostringstream text;
    text << file.rdbuf();
    if (!file.is_open()) {
        rules_ = {};
        rulesText_.clear();
        status_.Set("rules", "none (" + rulesFile_ + " does not exist)");
    } else if (text.str() == rulesText_ && changed) {
        return;  // written again unchanged
    } else {
        rulesText_ = text.str();
        ParsedRules parsed = ParseAutomaticRules(rulesText_, rulesFile_);
        if (parsed.problems.empty()) {
            rules_ = std::move(parsed.rules);
            status_.Set("rules", rulesFile_ + ", " + std::to_string(rules_.rules.size()) + " rule" +
                                     (rules_.rules.size() == 1 ? "" : "s"));
        } else {
            // A broken file switches nothing: not half of what the user meant.
            rules_ = {};
            std::string problems;
            for (const std::string& problem : parsed.problems) {
                problems += (problems.empty() ? "" : "; ") + problem;
            }
            status_.Set("rules", "not used: " + problems);
            if (err_ != nullptr) {
                *err_ << "kestrine-config agent: the rules are not used:\n";
                for (const std::string& problem : parsed.problems) {
                    *err_ << "  " << problem << "\n";
                }
                err_->flush();
            }
        }
    }
    if (changed && windows_) {
        switcher_.OnRulesChanged(ProfileFor(windows_->Current()), nowMs);
    }
}

std::string AutomaticProfiles::ProfileFor(const ActiveWindow& window) const {
    const std::string profile = MatchingProfile(
        rules_, WindowIdentity{window.program, window.instance, window.windowClass});
    return profile.empty() ? std::string() : ResolveProfilePath(rulesFile_, profile);
}

void AutomaticProfiles::OnWindowEvents(int64_t nowMs) {
    if (!windows_) {
        return;
    }
    if (const auto changed = windows_->ReadChanges()) {
        switcher_.OnActiveWindow(ProfileFor(*changed), nowMs);
    }
    if (windows_->Broken()) {
        status_.Set("windows",
                    "no longer followed: " + windows_->Name() + " closed the connection");
        windows_.reset();
    }
}

void AutomaticProfiles::OnFileEvents(int64_t nowMs) {
    alignas(inotify_event) std::array<char, 4096> buffer;
    bool rules = false;
    bool lock = false;
    ssize_t length;
    while ((length = ::read(inotifyFd_, buffer.data(), buffer.size())) > 0) {
        for (ssize_t at = 0; at < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + at);
            const std::string name = event->len > 0 ? event->name : "";
            rules = rules || name == NameOf(rulesFile_);
            lock = lock || name == InstanceLock::kWindowLockName;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    if (rules) {
        ReadRules(nowMs, true);
    }
    if (lock && waitingForTheLock_ && !InstanceLock::HeldNow(lockFolder_)) {
        waitingForTheLock_ = false;
        switcher_.OnConfigWindowOpen(false, nowMs);
    }
}

void AutomaticProfiles::OnMouseArrived(int64_t nowMs) {
    switcher_.OnMouseArrived(nowMs);
}

void AutomaticProfiles::OnTime(int64_t nowMs) {
    if (const std::optional<std::string> profile = switcher_.Due(nowMs)) {
        Apply(*profile);
        if (waitingForTheLock_) {
            switcher_.OnConfigWindowOpen(true, nowMs);
        }
    }
}

void AutomaticProfiles::Apply(const std::string& profile) {
    // The window's lock, for the moment of the write: the window and commands
    // never read the mouse halfway through it, and it is never written while
    // they are open (their pages or reads would go stale).
    InstanceLock lock(InstanceLock::Holder::Agent);
    if (lock.Acquire(lockFolder_) != InstanceLock::Result::Acquired) {
        waitingForTheLock_ = true;
        switcher_.OnApplyPostponed();
        status_.Set("profile", ProfileName(profile) + ": waits for the window to close");
        return;
    }
    if (beforeApply_) {
        beforeApply_();
    }
    const ProfileApplyResult result = ApplyProfileFile(profile);
    ReleaseDevice();
    const std::string name = ProfileName(profile);
    switch (result.outcome) {
        case ProfileApplyOutcome::Applied:
            status_.Set("profile", name + " applied");
            notify_("Profile '" + name + "' applied");
            return;
        case ProfileApplyOutcome::Unchanged:
            status_.Set("profile", name + " (the mouse held it already)");
            return;
        case ProfileApplyOutcome::NoMouse:
            // Tried again when the mouse comes.
            switcher_.OnApplyFailed();
            status_.Set("profile", name + " waits for the mouse");
            return;
        default:
            switcher_.OnApplyFailed();
            status_.Set("profile", name + " was not applied: " + result.reason);
            notify_("Profile '" + name + "' was not applied: " + result.reason);
            return;
    }
}
