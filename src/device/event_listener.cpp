#include "device/event_listener.h"

// Placeholder until the listener lands.
void SetDeviceEventHandler(DeviceEventHandler /*handler*/) {}
int StartDeviceEventListener() {
    return 255;
}
void StopDeviceEventListener() {}
bool DeviceEventListenerRunning() {
    return false;
}
