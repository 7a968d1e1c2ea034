#pragma once

#include "app/busy_cursor.h"

// While the UI thread runs a device command, waits included, the user sees
// the busy pointer, and the clicks, keys and wheel turns made meanwhile are
// dropped instead of reaching, once the command ends, controls that were
// disabled or showed something else when the user pressed them. Input made
// after the command works as usual. Nested waits are one wait.
class DeviceWait {
public:
    DeviceWait();
    ~DeviceWait();
    DeviceWait(const DeviceWait&) = delete;
    DeviceWait& operator=(const DeviceWait&) = delete;

private:
    BusyCursor busy_;
};
