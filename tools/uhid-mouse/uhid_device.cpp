#include "uhid_device.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

UhidDevice::~UhidDevice() {
    if (fd_ >= 0) {
        Destroy();
        close(fd_);
    }
}

bool UhidDevice::Open() {
    fd_ = open("/dev/uhid", O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) {
        error_ = std::string("cannot open /dev/uhid: ") + std::strerror(errno);
        return false;
    }
    return true;
}

bool UhidDevice::Create(const UhidIdentity& identity) {
    if (created_) {
        return true;
    }
    uhid_event event{};
    event.type = UHID_CREATE2;
    uhid_create2_req& request = event.u.create2;
    std::snprintf(reinterpret_cast<char*>(request.name), sizeof request.name, "%s",
                  identity.name.c_str());
    if (identity.reportDescriptor.size() > sizeof request.rd_data) {
        error_ = "report descriptor too long";
        return false;
    }
    std::copy(identity.reportDescriptor.begin(), identity.reportDescriptor.end(), request.rd_data);
    request.rd_size = static_cast<uint16_t>(identity.reportDescriptor.size());
    request.bus = 0x03;  // USB
    request.vendor = identity.vendorId;
    request.product = identity.productId;
    request.version = 0x0107;
    if (!Write(event)) {
        return false;
    }
    created_ = true;
    return true;
}

bool UhidDevice::Destroy() {
    if (!created_) {
        return true;
    }
    uhid_event event{};
    event.type = UHID_DESTROY;
    created_ = started_ = opened_ = false;
    return Write(event);
}

bool UhidDevice::ReadEvent(uhid_event& event) {
    const ssize_t length = read(fd_, &event, sizeof event);
    if (length <= 0) {
        return false;
    }
    switch (event.type) {
        case UHID_START:
            started_ = true;
            break;
        case UHID_STOP:
            started_ = false;
            break;
        case UHID_OPEN:
            opened_ = true;
            break;
        case UHID_CLOSE:
            opened_ = false;
            break;
        default:
            break;
    }
    return true;
}

bool UhidDevice::SendInput(const uint8_t* data, size_t length) {
    uhid_event event{};
    event.type = UHID_INPUT2;
    length = std::min(length, sizeof event.u.input2.data);
    std::memcpy(event.u.input2.data, data, length);
    event.u.input2.size = static_cast<uint16_t>(length);
    return Write(event);
}

bool UhidDevice::ReplyGetReport(uint32_t id, uint16_t error, const uint8_t* data, size_t length) {
    uhid_event event{};
    event.type = UHID_GET_REPORT_REPLY;
    event.u.get_report_reply.id = id;
    event.u.get_report_reply.err = error;
    length = std::min(length, sizeof event.u.get_report_reply.data);
    if (data) {
        std::memcpy(event.u.get_report_reply.data, data, length);
    }
    event.u.get_report_reply.size = static_cast<uint16_t>(data ? length : 0);
    return Write(event);
}

bool UhidDevice::ReplySetReport(uint32_t id, uint16_t error) {
    uhid_event event{};
    event.type = UHID_SET_REPORT_REPLY;
    event.u.set_report_reply.id = id;
    event.u.set_report_reply.err = error;
    return Write(event);
}

bool UhidDevice::Write(const uhid_event& event) {
    const ssize_t written = write(fd_, &event, sizeof event);
    if (written != static_cast<ssize_t>(sizeof event)) {
        error_ = std::string("write to /dev/uhid failed: ") +
                 (written < 0 ? std::strerror(errno) : "short write");
        return false;
    }
    return true;
}
