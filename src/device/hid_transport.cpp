#include "device/hid_transport.h"

#include <atomic>

#include "device/hidapi_transport.h"

namespace {
// The listener thread asks for the transport too.
std::atomic<HidTransport*> current{nullptr};
}  // namespace

void SetHidTransport(HidTransport* transport) {
    current = transport;
}

HidTransport& CurrentHidTransport() {
    if (HidTransport* transport = current.load())
        return *transport;
    return DefaultHidapiTransport();
}
