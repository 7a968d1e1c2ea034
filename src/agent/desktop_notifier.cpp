#include "agent/desktop_notifier.h"

#include <systemd/sd-bus.h>

#include <chrono>
#include <cstring>

namespace {

constexpr char kService[] = "org.freedesktop.Notifications";
constexpr char kObject[] = "/org/freedesktop/Notifications";
// The desktop entry's Name and file name: what the desktop shows as the
// sender, and where it finds the icon and the user's settings for it.
constexpr char kApplication[] = "Kestrine XQ3 Configuration";
constexpr char kDesktopEntry[] = "io.github.kestrine.config";
constexpr char kIcon[] = "kestrine-config";
constexpr uint8_t kNormalUrgency = 1;
constexpr int32_t kOnScreenMs = 2500;
// A notice is worth nothing seconds late: a service that has not answered by
// then is taken as stuck.
constexpr uint64_t kAnswerWithinUs = 2'000'000;
// How long a stuck service is left alone before a notice tries it again.
constexpr int64_t kRetryAfterMs = 30'000;
constexpr char kOwnerMatch[] =
    "type='signal',sender='org.freedesktop.DBus',path='/org/freedesktop/DBus',"
    "interface='org.freedesktop.DBus',member='NameOwnerChanged',"
    "arg0='org.freedesktop.Notifications'";

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Fills a Notify call: app_name, replaces_id, app_icon, summary, body,
// actions, hints, expire_timeout.
int AppendNotice(sd_bus_message* call, const std::string& text, uint32_t replaces) {
    int r = sd_bus_message_append(call, "susss", kApplication, replaces, kIcon, text.c_str(), "");
    if (r >= 0)
        r = sd_bus_message_append(call, "as", 0);
    if (r >= 0)
        r = sd_bus_message_open_container(call, 'a', "{sv}");
    if (r >= 0)
        r = sd_bus_message_append(call, "{sv}", "urgency", "y", kNormalUrgency);
    if (r >= 0)
        r = sd_bus_message_append(call, "{sv}", "desktop-entry", "s", kDesktopEntry);
    if (r >= 0)
        r = sd_bus_message_append(call, "{sv}", "transient", "b", 1);
    if (r >= 0)
        r = sd_bus_message_close_container(call);
    if (r >= 0)
        r = sd_bus_message_append(call, "i", kOnScreenMs);
    return r;
}

}  // namespace

DesktopNotifier::~DesktopNotifier() {
    Disconnect();
}

bool DesktopNotifier::Connect(std::string& problem) {
    if (bus_ != nullptr && !lost_) {
        return true;
    }
    Disconnect();
    // Connecting to a local socket does not wait; the greeting is answered in
    // the poll like every call.
    const int r = sd_bus_open_user(&bus_);
    if (r < 0) {
        bus_ = nullptr;
        problem = std::string("no session bus: ") + std::strerror(-r);
        return false;
    }
    sd_bus_add_match_async(bus_, &owners_, kOwnerMatch, OnOwnerChanged, nullptr, this);
    // A new connection may meet a new service: no id of the old one is used.
    shownId_ = 0;
    return true;
}

void DesktopNotifier::Disconnect() {
    call_ = sd_bus_slot_unref(call_);
    owners_ = sd_bus_slot_unref(owners_);
    bus_ = sd_bus_close_unref(bus_);
    lost_ = false;
}

int DesktopNotifier::Fd() const {
    return bus_ != nullptr ? sd_bus_get_fd(bus_) : -1;
}

short DesktopNotifier::Events() const {
    const int events = bus_ != nullptr ? sd_bus_get_events(bus_) : 0;
    return static_cast<short>(events > 0 ? events : 0);
}

std::optional<int64_t> DesktopNotifier::DeadlineMs() const {
    uint64_t dueUs = 0;
    if (bus_ == nullptr || sd_bus_get_timeout(bus_, &dueUs) < 0 || dueUs == UINT64_MAX) {
        return std::nullopt;
    }
    // sd-bus counts on the monotonic clock, as the agent's steady clock does.
    return static_cast<int64_t>((dueUs + 999) / 1000);
}

void DesktopNotifier::Show(const std::string& text) {
    if (silentUntilMs_ && NowMs() < *silentUntilMs_) {
        if (unshown_) {
            unshown_(text, "the notification service did not answer; it is tried again later");
        }
        return;
    }
    if (call_ != nullptr) {
        waiting_ = text;
        return;
    }
    Send(text);
}

void DesktopNotifier::Send(const std::string& text) {
    std::string problem;
    if (!Connect(problem)) {
        if (unshown_) {
            unshown_(text, problem);
        }
        return;
    }
    sending_ = text;
    sd_bus_message* call = nullptr;
    int r = sd_bus_message_new_method_call(bus_, &call, kService, kObject, kService, "Notify");
    if (r >= 0)
        r = AppendNotice(call, text, shownId_);
    if (r >= 0)
        r = sd_bus_call_async(bus_, &call_, call, OnReply, this, kAnswerWithinUs);
    sd_bus_message_unref(call);
    if (r < 0) {
        // The connection is gone: made anew at the next notice (not here,
        // where sd-bus may be calling us).
        lost_ = true;
        Fail(std::string("the session bus was lost: ") + std::strerror(-r));
    }
}

void DesktopNotifier::Fail(const std::string& problem) {
    silentUntilMs_ = NowMs() + kRetryAfterMs;
    const std::string text = waiting_ ? *waiting_ : sending_;
    waiting_.reset();
    if (unshown_) {
        unshown_(text, problem);
    }
}

int DesktopNotifier::OnReply(sd_bus_message* reply, void* self, sd_bus_error*) {
    auto& notifier = *static_cast<DesktopNotifier*>(self);
    notifier.call_ = sd_bus_slot_unref(notifier.call_);
    const sd_bus_error* error = sd_bus_message_get_error(reply);
    uint32_t id = 0;
    if (error != nullptr || sd_bus_message_read(reply, "u", &id) < 0) {
        const std::string why = error != nullptr && error->message != nullptr
                                    ? error->message
                                    : "a reply without an id";
        notifier.Fail("no notification service answered on the session bus: " + why);
        return 0;
    }
    notifier.shownId_ = id;
    notifier.silentUntilMs_.reset();
    if (notifier.waiting_) {
        const std::string next = *notifier.waiting_;
        notifier.waiting_.reset();
        notifier.Send(next);
    }
    return 0;
}

int DesktopNotifier::OnOwnerChanged(sd_bus_message* signal, void* self, sd_bus_error*) {
    auto& notifier = *static_cast<DesktopNotifier*>(self);
    const char* name = nullptr;
    const char* before = nullptr;
    const char* now = nullptr;
    if (sd_bus_message_read(signal, "sss", &name, &before, &now) < 0) {
        return 0;
    }
    // Another process holds the name now: its ids mean nothing of ours, and
    // it may well answer where the old one did not.
    notifier.shownId_ = 0;
    if (now != nullptr && now[0] != '\0') {
        notifier.silentUntilMs_.reset();
    }
    return 0;
}

void DesktopNotifier::Process(int64_t) {
    if (bus_ == nullptr) {
        return;
    }
    int r;
    while ((r = sd_bus_process(bus_, nullptr)) > 0) {
    }
    if (r < 0 || lost_) {
        // Lost: pending calls were answered with an error above.
        Disconnect();
    }
}
