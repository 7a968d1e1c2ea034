#include "device/hidapi_transport.h"

#include <hidapi.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <string>

#include "device/hidraw_input.h"

namespace {

struct ErrnoClass {
    int error;
    HidResult result;
};

// What each errno means on a hidraw feature-report or read call. Anything not
// listed is taken as Error.
constexpr ErrnoClass kErrnoClasses[] = {
    // The device stalled the control request; it may accept the next one.
    {EPIPE, HidResult::Transient},
    // USB protocol error on the transfer (bit stuffing, babble).
    {EPROTO, HidResult::Transient},
    // USB CRC or bad token on the transfer.
    {EILSEQ, HidResult::Transient},
    // Generic I/O failure; also a get-report that the device left unanswered.
    {EIO, HidResult::Transient},
    // The control transfer timed out.
    {ETIMEDOUT, HidResult::Transient},
    // Busy for now: try again.
    {EAGAIN, HidResult::Transient},
    // A signal interrupted the call.
    {EINTR, HidResult::Transient},
    // The driver refused the request as it stands; a device still settling gives this.
    {EINVAL, HidResult::Transient},
    // The device was unplugged: a removed hidraw node answers this from then on.
    {ENODEV, HidResult::Error},
    // The node is gone.
    {ENOENT, HidResult::Error},
    // The USB interface was shut down as the device disconnected.
    {ESHUTDOWN, HidResult::Error},
    // The handle is not open.
    {EBADF, HidResult::Error},
    // No permission on the node (the udev rule is not installed).
    {EACCES, HidResult::Error},
};

// hid_init once, hid_exit at process exit.
bool HidapiReady() {
    struct Library {
        Library() : ready(hid_init() == 0) {}
        ~Library() { hid_exit(); }
        bool ready;
    };
    static Library library;
    return library.ready;
}

// The node hidapi opened for `device` ("/dev/hidrawN"), or "" when unknown.
std::string NodeOf(hid_device* device) {
    const hid_device_info* info = hid_get_device_info(device);
    return info && info->path ? info->path : "";
}

// Feature reports go through hidapi; input reports are read from a descriptor
// of our own on the same node, so that a read without a time limit can still
// be interrupted. hidapi's own descriptor receives the input reports too; no
// one reads it, and the kernel keeps at most 64 waiting reports per reader.
class HidapiConnection : public HidConnection {
public:
    explicit HidapiConnection(hid_device* device)
        : device_(device), node_(NodeOf(device)), input_(node_) {}
    ~HidapiConnection() override { hid_close(device_); }
    HidapiConnection(const HidapiConnection&) = delete;
    HidapiConnection& operator=(const HidapiConnection&) = delete;

    HidResult SendFeatureReport(const uint8_t* data, size_t length) override {
        errno = 0;
        if (hid_send_feature_report(device_, data, length) >= 0)
            return HidResult::Ok;
        return ClassifyErrno(errno);
    }

    HidResult GetFeatureReport(uint8_t* data, size_t length) override {
        errno = 0;
        const int delivered = hid_get_feature_report(device_, data, length);
        return FinishFeatureFetch(delivered, errno, data, length);
    }

    int ReadInput(uint8_t* data, size_t length, int timeoutMs) override {
        return input_.Read(data, length, timeoutMs);
    }

    void InterruptRead() override { input_.Interrupt(); }

    std::vector<uint8_t> ReportDescriptor() override { return ReadReportDescriptor(node_); }

private:
    hid_device* device_;
    std::string node_;
    HidrawInput input_;
};

}  // namespace

HidResult ClassifyErrno(int error) {
    const auto* found = std::find_if(std::begin(kErrnoClasses), std::end(kErrnoClasses),
                                     [error](const ErrnoClass& c) { return c.error == error; });
    return found == std::end(kErrnoClasses) ? HidResult::Error : found->result;
}

OpenFailure OpenFailureForErrno(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
            return OpenFailure::AccessDenied;
        // No node any more, or a node whose device has been removed.
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return OpenFailure::Gone;
        default:
            return OpenFailure::Other;
    }
}

HidResult FinishFeatureFetch(int delivered, int error, uint8_t* data, size_t length) {
    if (delivered < 0)
        return ClassifyErrno(error);
    if (static_cast<size_t>(delivered) >= length)
        return HidResult::Ok;
    std::fill(data + delivered, data + length, 0);
    // The device sends the same short report again: repeating would not help.
    return HidResult::Error;
}

std::vector<HidInterfaceInfo> HidapiTransport::Enumerate(uint16_t vendorId, uint16_t productId) {
    std::vector<HidInterfaceInfo> found;
    if (!HidapiReady())
        return found;
    hid_device_info* list = hid_enumerate(vendorId, productId);
    for (const hid_device_info* entry = list; entry; entry = entry->next) {
        // Serial numbers are printable ASCII; anything else is shown as '?'.
        std::string serial;
        for (const wchar_t* c = entry->serial_number; c && *c; ++c)
            serial += (*c >= 0x20 && *c < 0x7F) ? static_cast<char>(*c) : '?';
        found.push_back({entry->path ? entry->path : "", entry->vendor_id, entry->product_id,
                         entry->usage_page, entry->usage, serial});
    }
    hid_free_enumeration(list);
    return found;
}

std::unique_ptr<HidConnection> HidapiTransport::Open(const std::string& path) {
    if (!HidapiReady()) {
        lastOpenFailure_ = OpenFailure::Other;
        return nullptr;
    }
    // hidapi's hidraw backend leaves the errno of its failed open() in place.
    errno = 0;
    hid_device* device = hid_open_path(path.c_str());
    if (!device) {
        lastOpenFailure_ = OpenFailureForErrno(errno);
        return nullptr;
    }
    lastOpenFailure_ = OpenFailure::None;
    return std::make_unique<HidapiConnection>(device);
}

HidapiTransport& DefaultHidapiTransport() {
    static HidapiTransport transport;
    return transport;
}
