#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "device/hid_transport.h"

// The real mouse, through hidapi's hidraw backend. hidapi is initialised on
// first use and shut down when the process exits.
class HidapiTransport : public HidTransport {
public:
    std::vector<HidInterfaceInfo> Enumerate(uint16_t vendorId, uint16_t productId) override;
    std::unique_ptr<HidConnection> Open(const std::string& path) override;
    OpenFailure LastOpenFailure() const override { return lastOpenFailure_; }

private:
    std::atomic<OpenFailure> lastOpenFailure_{OpenFailure::None};
};

// The one process-wide instance, the transport used when none is set.
HidapiTransport& DefaultHidapiTransport();

// Why opening a hidraw node failed, from the errno of the failed open: no
// permission (the udev rule is missing), the node gone with its device, or
// anything else.
OpenFailure OpenFailureForErrno(int error);

// How a failed hidraw call is judged from its errno: Transient failures are
// worth repeating, everything else is Error.
HidResult ClassifyErrno(int error);

// The outcome of a get-feature call that returned `delivered` bytes (-1 =
// failed with `error`). A short answer is a failure, and the bytes it did not
// deliver are zeroed so nothing of an earlier report survives in the buffer.
HidResult FinishFeatureFetch(int delivered, int error, uint8_t* data, size_t length);
