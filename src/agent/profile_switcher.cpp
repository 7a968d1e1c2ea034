#include "agent/profile_switcher.h"

void ProfileSwitcher::OnActiveWindow(const std::string& profileForWindow, int64_t nowMs) {
    windowKnown_ = true;
    wanted_ = profileForWindow;
    // A failed attempt is retried once the user moves on, not at once again.
    if (lastFailed_) {
        force_ = true;
    }
    Settle(nowMs);
}

void ProfileSwitcher::OnConfigWindowOpen(bool open, int64_t nowMs) {
    const bool wasOpen = configOpen_;
    configOpen_ = open;
    if (wasOpen && !open && windowKnown_) {
        Settle(nowMs);
    }
}

void ProfileSwitcher::OnRulesChanged(const std::string& profileForWindow, int64_t nowMs) {
    if (!windowKnown_) {
        return;
    }
    wanted_ = profileForWindow;
    force_ = true;
    Settle(nowMs);
}

void ProfileSwitcher::OnMouseArrived(int64_t nowMs) {
    if (!windowKnown_) {
        return;
    }
    force_ = true;
    Settle(nowMs);
}

void ProfileSwitcher::OnApplyFailed() {
    lastFailed_ = true;
}

void ProfileSwitcher::OnApplyPostponed() {
    lastHandedOut_ = handedOutBefore_;
}

std::optional<int64_t> ProfileSwitcher::NextDeadlineMs() const {
    if (configOpen_) {
        return std::nullopt;
    }
    return settleEndMs_;
}

std::optional<std::string> ProfileSwitcher::Due(int64_t nowMs) {
    if (configOpen_ || !settleEndMs_ || nowMs < *settleEndMs_) {
        return std::nullopt;
    }
    settleEndMs_.reset();
    const bool force = force_;
    force_ = false;
    if (wanted_.empty() || (!force && lastHandedOut_ == wanted_)) {
        return std::nullopt;
    }
    handedOutBefore_ = lastHandedOut_;
    lastHandedOut_ = wanted_;
    lastFailed_ = false;
    return wanted_;
}
