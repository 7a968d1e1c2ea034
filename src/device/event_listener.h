#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

// Reads the mouse's event interface on a background thread and hands each
// recognised event (report id 3; codes 2, 6, 0xB4) to the handler, on the
// listener thread. The handler must not touch records or widgets itself.
// Between reports the thread sleeps in a read without a time limit, which a
// stop or the mouse's removal ends.
inline constexpr uint8_t kEventReportId = 3;
inline constexpr size_t kEventReportSize = 8;
inline constexpr uint8_t kEventLevelChanged = 2;
inline constexpr uint8_t kEventReportRateChanged = 6;
inline constexpr uint8_t kEventWithoutEffect = 0xB4;

using DeviceEventHandler = std::function<void(uint8_t code, uint8_t value)>;
void SetDeviceEventHandler(DeviceEventHandler handler);

// Stops a running listener first. 5 started; 255 the event interface was not
// opened; 20 the thread was not started.
int StartDeviceEventListener();
// Interrupts the read, joins the thread, then closes its connection. Safe
// when none runs.
void StopDeviceEventListener();
bool DeviceEventListenerRunning();

// How many reports the listener has read since the program started. Called by
// the handler, it is the number of the report being handed over; called on
// the UI thread, it tells apart reports read before and after a moment.
uint64_t DeviceEventsRead();
