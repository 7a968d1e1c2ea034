#pragma once

#include <optional>
#include <string>

#include <systemd/sd-bus.h>

#include "agent/notifier.h"

// Notices through the desktop's notification service
// (org.freedesktop.Notifications on the session bus, via sd-bus), as calls
// that are answered later in the agent's poll: one call at a time, the
// newest text waiting behind it. Normal urgency (each notice follows a
// deliberate act of the player), the desktop entry's name and hint.
//
// A service that does not answer within a moment is left alone for a while
// and its notices go to Unshown; one that starts or is restarted (its owner
// on the bus changes) is used again at once, with no old notice id. The bus
// is connected at the first notice and again after it was lost.
class DesktopNotifier : public Notifier {
public:
    DesktopNotifier() = default;
    ~DesktopNotifier() override;
    DesktopNotifier(const DesktopNotifier&) = delete;
    DesktopNotifier& operator=(const DesktopNotifier&) = delete;

    void SetUnshown(Unshown unshown) override { unshown_ = std::move(unshown); }
    void Show(const std::string& text) override;
    int Fd() const override;
    short Events() const override;
    std::optional<int64_t> DeadlineMs() const override;
    void Process(int64_t nowMs) override;

private:
    bool Connect(std::string& problem);
    void Disconnect();
    void Send(const std::string& text);
    void Fail(const std::string& problem);
    static int OnReply(sd_bus_message* reply, void* self, sd_bus_error* error);
    static int OnOwnerChanged(sd_bus_message* signal, void* self, sd_bus_error* error);

    Unshown unshown_;
    sd_bus* bus_ = nullptr;
    sd_bus_slot* call_ = nullptr;    // the call waiting for its answer
    sd_bus_slot* owners_ = nullptr;  // the watch of the service's owner
    std::string sending_;            // the text of that call
    std::optional<std::string> waiting_;
    uint32_t shownId_ = 0;  // the service's id of the notice on screen
    std::optional<int64_t> silentUntilMs_;
    bool lost_ = false;
};
