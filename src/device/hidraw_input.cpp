#include "device/hidraw_input.h"

#include <fcntl.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds left until `deadline`, rounded up so that a wait never ends early.
int MillisecondsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}

}  // namespace

HidrawInput::HidrawInput(const std::string& node)
    : HidrawInput(::open(node.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)) {}

HidrawInput::HidrawInput(int descriptor)
    : input_(descriptor), wake_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    // Reads that must not wait rely on it.
    if (input_ >= 0)
        ::fcntl(input_, F_SETFL, ::fcntl(input_, F_GETFL) | O_NONBLOCK);
}

HidrawInput::~HidrawInput() {
    if (input_ >= 0)
        ::close(input_);
    if (wake_ >= 0)
        ::close(wake_);
}

int HidrawInput::Read(uint8_t* data, size_t length, int timeoutMs) {
    if (input_ < 0 || wake_ < 0)
        return -1;
    if (timeoutMs == 0)
        return ReadQueued(data, length);
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        pollfd watched[] = {{input_, POLLIN, 0}, {wake_, POLLIN, 0}};
        const int ready = ::poll(watched, 2, timeoutMs < 0 ? -1 : MillisecondsLeft(deadline));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return -1;
        if (ready == 0)
            return 0;
        // The eventfd is never drained, so an interrupt holds for every later read.
        if (watched[1].revents != 0)
            return 0;
        // A removed hidraw device wakes its readers with a hang-up and no data.
        if (watched[0].revents & (POLLERR | POLLHUP | POLLNVAL))
            return -1;
        const ssize_t delivered = ::read(input_, data, length);
        if (delivered < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (delivered < 0)
            return -1;
        // Nothing of an earlier report may survive behind a short one.
        std::fill(data + delivered, data + length, 0);
        return static_cast<int>(delivered);
    }
}

int HidrawInput::ReadQueued(uint8_t* data, size_t length) {
    if (interrupted_.load())
        return 0;
    // The node is open without blocking: an empty queue is EAGAIN.
    ssize_t delivered = -1;
    do {
        delivered = ::read(input_, data, length);
    } while (delivered < 0 && errno == EINTR);
    if (delivered < 0 && errno == EAGAIN)
        return 0;
    // hidraw never hands out an empty report: no bytes is the other end gone.
    if (delivered <= 0)
        return -1;
    std::fill(data + delivered, data + length, 0);
    return static_cast<int>(delivered);
}

void HidrawInput::Interrupt() {
    interrupted_.store(true);
    const uint64_t one = 1;
    // Can only fail when the counter is full, which is still a pending wake-up.
    [[maybe_unused]] const ssize_t written = ::write(wake_, &one, sizeof one);
}

std::vector<uint8_t> ReadReportDescriptor(const std::string& node) {
    const int fd = ::open(node.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {};
    std::vector<uint8_t> bytes;
    int size = 0;
    hidraw_report_descriptor descriptor{};
    if (::ioctl(fd, HIDIOCGRDESCSIZE, &size) == 0 && size > 0 && size <= HID_MAX_DESCRIPTOR_SIZE) {
        descriptor.size = static_cast<uint32_t>(size);
        if (::ioctl(fd, HIDIOCGRDESC, &descriptor) == 0)
            bytes.assign(descriptor.value, descriptor.value + size);
    }
    ::close(fd);
    return bytes;
}
