#include "agent/automatic_profiles.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <ostream>
#include <string_view>

#include "agent/agent_status.h"
#include "agent/profile_apply.h"
#include "device/device_link.h"
#include "platform/instance_lock.h"
#include "platform/user_files.h"

namespace {

constexpr char kProfileKey[] = "profile";
constexpr char kBaseKey[] = "profile base";

// "cs2" for ".../cs2.toml": what a notice calls the profile.
std::string ProfileName(const std::string& path) {
    std::string name = NameOfPath(path);
    if (const size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0) {
        name.erase(dot);
    }
    return name;
}

// Who holds the mouse, so that the status names the right thing to end.
std::string WaitText(const std::string& profile, InstanceLock::Holder holder) {
    const std::string name = ProfileName(profile);
    switch (holder) {
        case InstanceLock::Holder::Window:
            return name + " waits for the configuration window to close";
        case InstanceLock::Holder::Command:
            return name + " waits for a command to finish";
        default:
            return name + " waits for the mouse to be let go";
    }
}

// Where a linked rules file really is: its changes show in that folder.
std::string RealPath(const std::string& path) {
    if (char* real = ::realpath(path.c_str(), nullptr)) {
        std::string resolved = real;
        std::free(real);
        return resolved;
    }
    // A link to a file not made yet names where it will be.
    std::string target;
    std::string unused;
    return FollowLinksSafely(path, target, unused) ? target : path;
}

// A regular file being made is read when it is closed; a link, a FIFO or a
// device made there is whole at once.
bool MadeWhole(const std::string& folder, const std::string& name) {
    struct stat info {};
    return ::lstat((folder + "/" + name).c_str(), &info) == 0 && !S_ISREG(info.st_mode);
}

constexpr uint32_t kRulesEvents =
    IN_CLOSE_WRITE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM | IN_CREATE;

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
    std::string unused;
    MakeFolders(FolderOfPath(rulesFile_), unused);
    inotifyFd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (inotifyFd_ >= 0) {
        // The window and commands let their lock go by closing it.
        ::inotify_add_watch(inotifyFd_, lockFolder_.c_str(), IN_CLOSE_WRITE);
    }
    WatchRules();
    ReadRules(nowMs, false);
    ShowBase();
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

void AutomaticProfiles::WatchRules() {
    if (inotifyFd_ < 0) {
        return;
    }
    // The name the user gave, and where a link (into a dotfiles folder) leads:
    // an edit of the real file and a save through the link both show.
    rulesWatches_.clear();
    for (const std::string& path : {rulesFile_, RealPath(rulesFile_)}) {
        const int watch = ::inotify_add_watch(inotifyFd_, FolderOfPath(path).c_str(), kRulesEvents);
        if (watch >= 0) {
            rulesWatches_.push_back({watch, FolderOfPath(path), NameOfPath(path)});
        }
    }
}

bool AutomaticProfiles::IsRulesEvent(const inotify_event& event) const {
    if (event.len == 0) {
        return false;
    }
    const std::string name = event.name;
    for (const RulesWatch& watch : rulesWatches_) {
        if (watch.descriptor == event.wd && name == watch.name) {
            return (event.mask & IN_CREATE) == 0 || MadeWhole(watch.folder, name);
        }
    }
    return false;
}

void AutomaticProfiles::ReadRules(int64_t nowMs, bool changed) {
    std::string text;
    std::string error;
    if (!ReadUserFile(rulesFile_, kMaxRulesBytes, "a rules file", text, error)) {
        if (errno != ENOENT) {
            RefuseRulesFile(error);
            return;
        }
        rules_ = {};
        rulesText_.clear();
        readProblem_.clear();
        status_.Set("rules", "none (" + rulesFile_ + " does not exist)");
    } else if (text == rulesText_ && changed && readProblem_.empty()) {
        return;  // written again unchanged
    } else {
        readProblem_.clear();
        rulesText_ = std::move(text);
        UseRules(ParseAutomaticRules(rulesText_, rulesFile_));
    }
    if (changed && windows_) {
        switcher_.OnRulesChanged(ProfileFor(windows_->Current()), nowMs);
    }
}

void AutomaticProfiles::RefuseRulesFile(const std::string& reason) {
    // A FIFO, a device, a huge file or a link loop: what was read before goes on.
    const bool kept = !rules_.rules.empty() || !rules_.defaultProfile.empty();
    status_.Set("rules",
                "not read: " + reason + (kept ? "; the rules read before stay in force" : ""));
    if (reason == readProblem_) {
        return;
    }
    readProblem_ = reason;
    notify_("The rules file was not read: " + reason);
    if (err_ != nullptr) {
        *err_ << "kestrine-config agent: the rules file was not read: " << reason << std::endl;
    }
}

void AutomaticProfiles::UseRules(ParsedRules parsed) {
    if (parsed.problems.empty()) {
        rules_ = std::move(parsed.rules);
        status_.Set("rules", rulesFile_ + ", " + std::to_string(rules_.rules.size()) + " rule" +
                                 (rules_.rules.size() == 1 ? "" : "s"));
        return;
    }
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
            rules = rules || IsRulesEvent(*event);
            lock = lock || (event->len > 0 &&
                            event->name == std::string_view(InstanceLock::kWindowLockName));
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    if (rules) {
        // The link may lead somewhere else now.
        WatchRules();
        ReadRules(nowMs, true);
    }
    if (lock && waitingForTheLock_ && !InstanceLock::HeldNow(lockFolder_)) {
        waitingForTheLock_ = false;
        // Says what holds until the switch after the settle says more; that
        // switch may find nothing to do.
        status_.Set(kProfileKey, statusBeforeWait_);
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

void AutomaticProfiles::ShowBase() {
    base_.defaultProfile = ResolveProfilePath(rulesFile_, rules_.defaultProfile);
    status_.Set(kBaseKey, BaseText(base_));
}

void AutomaticProfiles::Apply(const std::string& profile) {
    // The window's lock, for the moment of the write: the window and commands
    // never read the mouse halfway through it, and it is never written while
    // they are open (their pages or reads would go stale).
    InstanceLock lock(InstanceLock::Holder::Agent);
    if (lock.Acquire(lockFolder_) != InstanceLock::Result::Acquired) {
        if (!waitingForTheLock_) {
            statusBeforeWait_ = status_.Get(kProfileKey);
        }
        waitingForTheLock_ = true;
        switcher_.OnApplyPostponed();
        status_.Set(kProfileKey, WaitText(profile, lock.HeldBy().holder));
        return;
    }
    if (beforeApply_) {
        beforeApply_();
    }
    base_.defaultProfile = ResolveProfilePath(rulesFile_, rules_.defaultProfile);
    const ProfileApplyResult result = ApplyProfileFile(profile, base_);
    ReleaseDevice();
    ShowBase();
    const std::string name = ProfileName(profile);
    switch (result.outcome) {
        case ProfileApplyOutcome::Applied:
            status_.Set(kProfileKey, name + " applied");
            notify_("Profile '" + name + "' applied");
            return;
        case ProfileApplyOutcome::Unchanged:
            status_.Set(kProfileKey, name + " (the mouse held it already)");
            return;
        case ProfileApplyOutcome::NoMouse:
            // Tried again when the mouse comes.
            switcher_.OnApplyFailed();
            status_.Set(kProfileKey, name + " waits for the mouse");
            return;
        default:
            switcher_.OnApplyFailed();
            status_.Set(kProfileKey, name + " was not applied: " + result.reason);
            notify_("Profile '" + name + "' was not applied: " + result.reason);
            return;
    }
}
