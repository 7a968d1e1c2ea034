#include "device/udev_monitor.h"

#include <libudev.h>

#include <cstring>

struct UdevMonitor::Handles {
    udev* context = nullptr;
    udev_monitor* monitor = nullptr;

    ~Handles() {
        if (monitor) {
            udev_monitor_unref(monitor);
        }
        if (context) {
            udev_unref(context);
        }
    }
};

UdevMonitor::UdevMonitor() : handles_(std::make_unique<Handles>()) {}
UdevMonitor::~UdevMonitor() = default;

bool UdevMonitor::Start() {
    handles_ = std::make_unique<Handles>();
    handles_->context = udev_new();
    if (!handles_->context) {
        return false;
    }
    handles_->monitor = udev_monitor_new_from_netlink(handles_->context, "udev");
    if (!handles_->monitor ||
        udev_monitor_filter_add_match_subsystem_devtype(handles_->monitor, "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(handles_->monitor) < 0) {
        handles_ = std::make_unique<Handles>();
        return false;
    }
    return true;
}

int UdevMonitor::Fd() const {
    return handles_->monitor ? udev_monitor_get_fd(handles_->monitor) : -1;
}

std::vector<HidrawChange> UdevMonitor::ReadChanges() {
    std::vector<HidrawChange> changes;
    if (!handles_->monitor) {
        return changes;
    }
    // The monitor socket is non-blocking: receive_device returns null when drained.
    while (udev_device* device = udev_monitor_receive_device(handles_->monitor)) {
        const char* action = udev_device_get_action(device);
        const char* syspath = udev_device_get_syspath(device);
        if (action && syspath) {
            if (std::strcmp(action, "add") == 0) {
                changes.push_back({true, syspath});
            } else if (std::strcmp(action, "remove") == 0) {
                changes.push_back({false, syspath});
            }
        }
        udev_device_unref(device);
    }
    return changes;
}
