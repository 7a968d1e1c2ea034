#pragma once

#include "agent/notifier.h"

struct sd_bus;

// Notices through the desktop's notification service
// (org.freedesktop.Notifications on the session bus, via sd-bus): low
// urgency, a short time on screen, the tool's icon. The bus is connected at
// the first notice and again after it was lost, so a service that starts
// after the agent is found.
class DesktopNotifier : public Notifier {
public:
    DesktopNotifier() = default;
    ~DesktopNotifier() override;
    DesktopNotifier(const DesktopNotifier&) = delete;
    DesktopNotifier& operator=(const DesktopNotifier&) = delete;

    uint32_t Show(const std::string& text, uint32_t replaces, std::string& problem) override;

private:
    bool Connect(std::string& problem);

    sd_bus* bus_ = nullptr;
};
