#include "agent/desktop_notifier.h"

#include <systemd/sd-bus.h>

#include <cstring>

namespace {

constexpr char kService[] = "org.freedesktop.Notifications";
constexpr char kObject[] = "/org/freedesktop/Notifications";
constexpr char kApplication[] = "kestrine-config";
constexpr char kIcon[] = "kestrine-config";
constexpr char kDesktopEntry[] = "io.github.kestrine.config";
constexpr uint8_t kLowUrgency = 0;
constexpr int32_t kOnScreenMs = 2500;
// A service that does not answer within this time is taken as missing, so a
// stuck desktop never stalls the agent.
constexpr uint64_t kAnswerWithinUs = 2'000'000;

std::string Why(int result, const sd_bus_error& error) {
    if (sd_bus_error_is_set(&error) && error.message != nullptr) {
        return error.message;
    }
    return std::strerror(-result);
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
        r = sd_bus_message_append(call, "{sv}", "urgency", "y", kLowUrgency);
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
    sd_bus_flush_close_unref(bus_);
}

bool DesktopNotifier::Connect(std::string& problem) {
    if (bus_ != nullptr && sd_bus_is_open(bus_) > 0) {
        return true;
    }
    bus_ = sd_bus_flush_close_unref(bus_);
    const int r = sd_bus_open_user(&bus_);
    if (r < 0) {
        bus_ = nullptr;
        problem = std::string("no session bus: ") + std::strerror(-r);
        return false;
    }
    return true;
}

uint32_t DesktopNotifier::Show(const std::string& text, uint32_t replaces, std::string& problem) {
    if (!Connect(problem)) {
        return 0;
    }
    sd_bus_message* call = nullptr;
    sd_bus_message* reply = nullptr;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    uint32_t id = 0;
    int r = sd_bus_message_new_method_call(bus_, &call, kService, kObject, kService, "Notify");
    if (r >= 0)
        r = AppendNotice(call, text, replaces);
    if (r >= 0)
        r = sd_bus_call(bus_, call, kAnswerWithinUs, &error, &reply);
    if (r >= 0)
        r = sd_bus_message_read(reply, "u", &id);
    if (r < 0) {
        problem = "no notification service answered on the session bus: " + Why(r, error);
        id = 0;
    }
    sd_bus_error_free(&error);
    sd_bus_message_unref(reply);
    sd_bus_message_unref(call);
    return id;
}
