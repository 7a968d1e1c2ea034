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

bool IsSettledStatus(DeviceStatus status) {
    switch (status) {
        case DeviceStatus::Connected:
        case DeviceStatus::Saved:
        case DeviceStatus::LevelSet:
        case DeviceStatus::ResetDone:
        case DeviceStatus::ProfileMatches:
            return true;
        default:
            return false;
    }
}

QString DeviceStatusText(DeviceStatus status, const QString& firmwareVersion,
                         const QString& detail) {
    const QString connected =
        QString("Kestrine XQ3 8k v2 connected, firmware %1.").arg(firmwareVersion);
    switch (status) {
        case DeviceStatus::Connected:
            return connected;
        case DeviceStatus::Unapplied:
            return connected + " Changes not applied: press APPLY to save them on the mouse.";
        case DeviceStatus::Saved:
            return connected + " Settings saved on the mouse.";
        case DeviceStatus::LevelSet:
            return connected + ' ' + detail;
        case DeviceStatus::ResetDone:
            return connected + " Factory settings restored.";
        case DeviceStatus::ProfileLoaded:
            return connected +
                   QString(" Profile loaded: %1 %2 from the mouse; press APPLY.")
                       .arg(detail, detail == "1" ? "setting differs" : "settings differ");
        case DeviceStatus::ProfileMatches:
            return connected + " Profile loaded: it matches what the mouse holds.";
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
        case DeviceStatus::ResetNotDone:
            return "The Factory Reset did not happen: the mouse did not take it and holds its "
                   "settings as before. Your changes are kept.";
        case DeviceStatus::NotAnsweringAfterReset:
            return "The mouse did not answer after the Factory Reset: unplug it and plug it in "
                   "again.";
        case DeviceStatus::UnpluggedWithChanges:
            return "Your changes were not applied: they were discarded when the mouse was "
                   "unplugged.";
        case DeviceStatus::UnpluggedUnconfirmed:
            return "The mouse was unplugged before it confirmed your changes: it may hold them "
                   "or not. Plug it in to see what it holds.";
    }
    return {};
}
