#include "device/event_listener.h"

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "device/device_link.h"
#include "device/hid_transport.h"
#include "device/sleep.h"

namespace {

// The read waits until a report arrives, the mouse goes away or a stop
// interrupts it: a quiet mouse costs no wake-ups at all.
constexpr int kWaitWithoutLimit = -1;
// Bounds the handling to about twelve reports a second.
constexpr unsigned kPauseAfterReportMs = 80;

bool IsRecognisedEvent(uint8_t code) {
    return code == kEventLevelChanged || code == kEventReportRateChanged ||
           code == kEventWithoutEffect;
}

struct Listener {
    std::unique_ptr<HidConnection> connection;
    std::thread thread;
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> running{false};

    // A listener still running at process exit is stopped, not abandoned.
    ~Listener() { Stop(); }

    // The UI thread's side: the read is interrupted, the thread joined, and
    // only then is the connection it reads closed.
    void Stop() {
        stopRequested.store(true);
        if (connection) {
            connection->InterruptRead();
        }
        if (thread.joinable()) {
            thread.join();
        }
        connection.reset();
        running.store(false);
    }
};

// Start and stop come from the UI thread only; the mutex keeps the handler
// readable from the listener thread while the UI thread replaces it.
std::mutex handlerMutex;
DeviceEventHandler eventHandler;
Listener listener;
std::atomic<uint64_t> reportsRead{0};

void DeliverEvent(uint8_t code, uint8_t value) {
    DeviceEventHandler handler;
    {
        std::lock_guard<std::mutex> lock(handlerMutex);
        handler = eventHandler;
    }
    if (handler) {
        handler(code, value);
    }
}

void ListenLoop(HidConnection* connection) {
    while (!listener.stopRequested.load()) {
        // Cleared before every read so that a short report never shows bytes of an earlier one.
        std::array<uint8_t, kEventReportSize> report{};
        const int length = connection->ReadInput(report.data(), report.size(), kWaitWithoutLimit);
        if (length < 0) {
            break;  // the mouse has gone; a new listener starts when it comes back
        }
        if (length == 0) {
            continue;  // interrupted: the loop sees the stop request
        }
        reportsRead.fetch_add(1);
        if (length >= 3 && report[0] == kEventReportId && IsRecognisedEvent(report[1])) {
            DeliverEvent(report[1], report[2]);
        }
        SleepMs(kPauseAfterReportMs);
    }
    listener.running.store(false);
}

std::unique_ptr<HidConnection> OpenEventInterface() {
    HidTransport& transport = CurrentHidTransport();
    for (const HidInterfaceInfo& info : transport.Enumerate(kVendorId, kProductId)) {
        if (IsMouseInterface(info, kProductId, kEventUsagePage, kEventUsage)) {
            return transport.Open(info.path);
        }
    }
    return nullptr;
}

}  // namespace

void SetDeviceEventHandler(DeviceEventHandler handler) {
    std::lock_guard<std::mutex> lock(handlerMutex);
    eventHandler = std::move(handler);
}

int StartDeviceEventListener() {
    // Never more than one listener on the event interface.
    StopDeviceEventListener();
    std::unique_ptr<HidConnection> connection = OpenEventInterface();
    if (!connection) {
        return 255;
    }
    listener.stopRequested.store(false);
    listener.running.store(true);
    try {
        listener.thread = std::thread(ListenLoop, connection.get());
    } catch (const std::system_error&) {
        listener.running.store(false);
        return 20;
    }
    listener.connection = std::move(connection);
    return 5;
}

void StopDeviceEventListener() {
    listener.Stop();
}

bool DeviceEventListenerRunning() {
    return listener.running.load();
}

uint64_t DeviceEventsRead() {
    return reportsRead.load();
}
