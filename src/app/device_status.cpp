#include "app/device_status.h"

#include "device/find_result_text.h"

DeviceStatus DeviceStatusFor(FindResult result) {
    switch (result) {
        case FindResult::Found:
            return DeviceStatus::Connected;
        case FindResult::NoMouse:
            return DeviceStatus::NoMouse;
        case FindResult::AccessDenied:
            return DeviceStatus::AccessDenied;
        case FindResult::Gone:
            return DeviceStatus::Gone;
        case FindResult::OpenFailed:
            break;
    }
    return DeviceStatus::OpenFailed;
}

QString DeviceStatusText(DeviceStatus status, const QString& firmwareVersion) {
    switch (status) {
        case DeviceStatus::Connected:
            return QString("Kestrine XQ3 8k v2 connected, firmware %1.").arg(firmwareVersion);
        case DeviceStatus::Saved:
            return DeviceStatusText(DeviceStatus::Connected, firmwareVersion) +
                   " Settings saved on the mouse.";
        case DeviceStatus::ResetDone:
            return DeviceStatusText(DeviceStatus::Connected, firmwareVersion) +
                   " Factory settings restored.";
        case DeviceStatus::NoMouse:
            return QString::fromStdString(FindResultText(FindResult::NoMouse));
        case DeviceStatus::AccessDenied:
            return QString::fromStdString(FindResultText(FindResult::AccessDenied));
        case DeviceStatus::Gone:
            return QString::fromStdString(FindResultText(FindResult::Gone));
        case DeviceStatus::OpenFailed:
            return QString::fromStdString(FindResultText(FindResult::OpenFailed));
        case DeviceStatus::NotAnswering:
            return "The mouse was found but did not answer: unplug it and plug it in again.";
        case DeviceStatus::NotSaved:
            return "Settings not saved on the mouse; press APPLY to try again.";
        case DeviceStatus::LevelNotSaved:
            return "The CPI level was not saved on the mouse; choose it again to retry.";
        case DeviceStatus::ResetNotConfirmed:
            return "The mouse did not confirm the Factory Reset; the pages show what it holds "
                   "now.";
        case DeviceStatus::NotAnsweringAfterReset:
            return "The mouse did not answer after the Factory Reset: unplug it and plug it in "
                   "again.";
        case DeviceStatus::UnpluggedWithChanges:
            return "Your changes were not applied: they were discarded when the mouse was "
                   "unplugged.";
    }
    return {};
}
