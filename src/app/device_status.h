#pragma once

#include <QString>

#include "device/device_link.h"

// What the main window knows about the mouse, said in its status line.
enum class DeviceStatus {
    Connected,               // found, and it answered
    Saved,                   // connected, and it confirmed an APPLY
    ResetDone,               // connected, and it confirmed a Factory Reset
    NoMouse,                 // no configuration interface at all
    AccessDenied,            // there, but this user may not open it
    Gone,                    // went away while it was being opened
    OpenFailed,              // there, but it could not be opened
    NotAnswering,            // opened, but it did not answer
    NotSaved,                // an APPLY the mouse did not confirm
    LevelNotSaved,           // a level write the mouse did not confirm
    ResetNotConfirmed,       // a Factory Reset the mouse did not confirm, read back
    NotAnsweringAfterReset,  // a Factory Reset, then no answer to the read
    UnpluggedWithChanges,    // unplugged while edits waited for APPLY
};

// The status after a FindDevice that found no mouse to talk to.
DeviceStatus DeviceStatusFor(FindResult result);

// The words for a status. `firmwareVersion` ("V1.07") names what is connected.
QString DeviceStatusText(DeviceStatus status, const QString& firmwareVersion);
