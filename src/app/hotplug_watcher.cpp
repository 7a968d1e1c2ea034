#include "app/hotplug_watcher.h"

#include <QPointer>
#include <QSocketNotifier>

#include "device/simulated/simulated_mouse.h"
#include "device/udev_monitor.h"

namespace {
SimulatedMouse* simulatedSource = nullptr;
}

void SetSimulatedHotplugSource(SimulatedMouse* mouse) {
    simulatedSource = mouse;
}

HotplugWatcher::HotplugWatcher(QObject* parent) : QObject(parent) {}

HotplugWatcher::~HotplugWatcher() {
    if (simulatedMouse_) {
        simulatedMouse_->SetPlugObserver({});
    }
}

bool HotplugWatcher::Start() {
    if (simulatedSource) {
        simulatedMouse_ = simulatedSource;
        // Delivered later from the event loop, as a real notification would be.
        QPointer<HotplugWatcher> self(this);
        simulatedMouse_->SetPlugObserver([self](const std::string& path, bool arrived) {
            QMetaObject::invokeMethod(
                self.data(),
                [self, path, arrived] {
                    if (self) {
                        self->Report(arrived, path);
                    }
                },
                Qt::QueuedConnection);
        });
        return true;
    }
    monitor_ = std::make_unique<UdevMonitor>();
    if (!monitor_->Start()) {
        monitor_.reset();
        return false;
    }
    notifier_ = new QSocketNotifier(monitor_->Fd(), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &HotplugWatcher::ReadUdevChanges);
    return true;
}

void HotplugWatcher::ReadUdevChanges() {
    for (const HidrawChange& change : monitor_->ReadChanges()) {
        Report(change.arrived, change.syspath);
    }
}

void HotplugWatcher::Report(bool arrived, const std::string& path) {
    const QString text = QString::fromStdString(path);
    if (arrived) {
        emit DeviceArrived(text);
    } else {
        emit DeviceRemoved(text);
    }
}
