#pragma once

#include <QObject>
#include <memory>
#include <string>

class QSocketNotifier;
class SimulatedMouse;
class UdevMonitor;

// Brings arrival and removal of HID interfaces to the main window on the UI
// thread: from a udev monitor, or from the simulated mouse when one is in use.
class HotplugWatcher : public QObject {
    Q_OBJECT
public:
    explicit HotplugWatcher(QObject* parent = nullptr);
    ~HotplugWatcher() override;

    // false when no source of notifications could be set up.
    bool Start();

signals:
    void DeviceArrived(const QString& path);
    void DeviceRemoved(const QString& path);

private:
    void ReadUdevChanges();
    void Report(bool arrived, const std::string& path);

    std::unique_ptr<UdevMonitor> monitor_;
    QSocketNotifier* notifier_ = nullptr;
    SimulatedMouse* simulatedMouse_ = nullptr;
};

// While set, notifications come from this simulated mouse instead of udev.
void SetSimulatedHotplugSource(SimulatedMouse* mouse);
