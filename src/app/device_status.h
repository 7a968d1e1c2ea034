#pragma once

#include <QString>

#include "device/device_link.h"

// What the main window knows about the mouse, said in its status line.
enum class DeviceStatus {
    Connected,               // found, and it answered
    Unapplied,               // connected, with edits that wait for APPLY
    Saved,                   // connected, and it confirmed an APPLY
    LevelSet,                // connected, and it confirmed a level click (detail: what it set)
    ResetDone,               // connected, and it confirmed a Factory Reset
    ProfileLoaded,           // a profile went into the pages (detail: how many settings differ)
    ProfileMatches,          // a profile went into the pages and matches the mouse
    NoMouse,                 // no configuration interface at all
    AccessDenied,            // there, but this user may not open it
    Gone,                    // went away while it was being opened
    OpenFailed,              // there, but it could not be opened
    NotAnswering,            // opened, but it did not answer
    NotSaved,                // an APPLY the mouse did not confirm
    LevelNotSaved,           // a level write the mouse did not confirm
    ResetNotConfirmed,       // a Factory Reset the mouse did not confirm, read back
    ResetNotDone,            // a Factory Reset the mouse did not take: it holds what it held
    NotAnsweringAfterReset,  // a Factory Reset, then no answer to the read
    UnpluggedWithChanges,    // unplugged while edits waited for APPLY
    UnpluggedUnconfirmed,    // unplugged before it confirmed an APPLY it may have stored
};

// The statuses that say all is well with the mouse; edits that light APPLY
// make each of them untrue.
bool IsSettledStatus(DeviceStatus status);

// The status after a FindDevice that found no mouse to talk to.
DeviceStatus DeviceStatusFor(FindResult result);

// The words for a status. `firmwareVersion` ("V1.07") names what is connected;
// `detail` is what LevelSet set and how many settings ProfileLoaded changed.
QString DeviceStatusText(DeviceStatus status, const QString& firmwareVersion,
                         const QString& detail = {});
