#include "device/hid_transport.h"

#include <stdexcept>

// Placeholder until the hidapi transport lands.
namespace {
HidTransport* current = nullptr;
}
void SetHidTransport(HidTransport* transport) {
    current = transport;
}
HidTransport& CurrentHidTransport() {
    if (!current)
        throw std::logic_error("no transport");
    return *current;
}
