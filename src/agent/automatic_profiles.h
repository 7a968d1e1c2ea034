#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "agent/profile_apply.h"
#include "agent/profile_switcher.h"
#include "platform/window_source.h"
#include "profile/automatic_rules.h"

class AgentStatus;
struct inotify_event;

// The agent's automatic profiles: follows the active window through the
// desktop's window source (window_source.h), matches
// it against the rules file (read again whenever it changes, through
// inotify), and puts the matching profile on the mouse after a short settle,
// as APPLY would, only when it differs from what the mouse holds. A rules
// file that cannot be read (a FIFO, a device, too large, a link loop) leaves
// the rules read before in force; a linked one is watched where it leads too. Never while
// the configuration window or a command holds the mouse: it waits for their
// lock to be let go and applies the rule for the window active then.
class AutomaticProfiles {
public:
    // `notify` shows a notice; `lockFolder` holds the user's locks.
    AutomaticProfiles(std::string rulesFile, std::string lockFolder, AgentStatus& status,
                      std::function<void(const std::string&)> notify);
    ~AutomaticProfiles();
    AutomaticProfiles(const AutomaticProfiles&) = delete;
    AutomaticProfiles& operator=(const AutomaticProfiles&) = delete;

    // Called before each profile is put on the mouse (the simulated mouse
    // catches up with the other processes there).
    void SetBeforeApply(std::function<void()> beforeApply) {
        beforeApply_ = std::move(beforeApply);
    }

    // Reads the rules and starts following the active window; what cannot
    // be followed is said in the status and once on `err`.
    void Start(std::ostream& err, int64_t nowMs);
    // The descriptors to poll (-1 = none): the window source's, and the inotify
    // watch of the rules folder and the lock folder.
    int WindowFd() const;
    int FileFd() const { return inotifyFd_; }
    // Each is called when its descriptor is readable.
    void OnWindowEvents(int64_t nowMs);
    void OnFileEvents(int64_t nowMs);
    void OnMouseArrived(int64_t nowMs);
    // The poll's time limit, and the work due by then.
    std::optional<int64_t> NextDeadlineMs() const { return switcher_.NextDeadlineMs(); }
    void OnTime(int64_t nowMs);

private:
    void WatchRules();
    bool IsRulesEvent(const inotify_event& event) const;
    void ReadRules(int64_t nowMs, bool changed);
    void RefuseRulesFile(const std::string& reason);
    void UseRules(ParsedRules parsed);
    std::string ProfileFor(const ActiveWindow& window) const;
    void Apply(const std::string& profile);
    // Says in the status what every profile is laid over.
    void ShowBase();

    std::string rulesFile_;
    std::string lockFolder_;
    AgentStatus& status_;
    std::function<void(const std::string&)> notify_;
    std::function<void()> beforeApply_;
    std::ostream* err_ = nullptr;
    std::unique_ptr<WindowSource> windows_;
    AutomaticRules rules_;
    std::string rulesText_;
    ProfileSwitcher switcher_;
    int inotifyFd_ = -1;
    // The rules file at the name given and where its link leads.
    struct RulesWatch {
        int descriptor;
        std::string folder;
        std::string name;
    };
    std::vector<RulesWatch> rulesWatches_;
    // Why the rules file was last refused; "" when it was read.
    std::string readProblem_;
    bool waitingForTheLock_ = false;
    std::string statusBeforeWait_;
    ProfileBase base_;
};
