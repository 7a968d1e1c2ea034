#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The seam between the device code and a real or simulated mouse.

enum class HidResult { Ok, Transient, Error };

// Why an interface could not be opened.
enum class OpenFailure { None, AccessDenied, Gone, Other };

// The kernel keeps this many input reports for each hidraw reader and drops
// the rest until the reader catches up.
inline constexpr size_t kHidrawQueueReports = 64;

struct HidInterfaceInfo {
    std::string path;
    uint16_t vendorId;
    uint16_t productId;
    uint16_t usagePage;
    uint16_t usage;
    std::string serial = {};  // the device's serial number; empty when it has none
};

// One open HID interface; closing = destruction.
class HidConnection {
public:
    virtual ~HidConnection() = default;
    virtual HidResult SendFeatureReport(const uint8_t* data, size_t length) = 0;
    // data[0] = report id on entry.
    virtual HidResult GetFeatureReport(uint8_t* data, size_t length) = 0;
    // Bytes read, 0 = none within the timeout, -1 = error (e.g. device gone).
    // timeoutMs < 0 waits without a limit: until a report arrives, the device
    // goes away or InterruptRead() is called (then 0).
    virtual int ReadInput(uint8_t* data, size_t length, int timeoutMs) = 0;
    // Ends a ReadInput waiting on another thread at once, and makes every later
    // one return 0 at once too: the connection is about to be closed. Safe
    // from any thread.
    virtual void InterruptRead() = 0;
    // The HID report descriptor the interface declares, as the system read it
    // from the device: where each report keeps what. Empty when unknown.
    virtual std::vector<uint8_t> ReportDescriptor() { return {}; }
};

class HidTransport {
public:
    virtual ~HidTransport() = default;
    // Every interface of the vendor and product, in system order.
    virtual std::vector<HidInterfaceInfo> Enumerate(uint16_t vendorId, uint16_t productId) = 0;
    // nullptr = failed; LastOpenFailure() then says why.
    virtual std::unique_ptr<HidConnection> Open(const std::string& path) = 0;
    // Why the last Open failed; None after one that succeeded.
    virtual OpenFailure LastOpenFailure() const { return OpenFailure::Other; }
};

// nullptr = the hidapi transport.
void SetHidTransport(HidTransport* transport);
HidTransport& CurrentHidTransport();
