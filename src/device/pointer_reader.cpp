#include "device/pointer_reader.h"

#include <pthread.h>

#include <array>
#include <chrono>
#include <system_error>

#include "device/device_link.h"

namespace {

// Larger than any pointer report of the mouse; a longer one is cut, and still counted.
constexpr size_t kReportBufferSize = 64;
// Arrival times kept ready for about a second at 8000 Hz, so that the
// reading thread does not grow the list while the taker is slow.
constexpr size_t kReservedArrivals = 8192;

}  // namespace

std::unique_ptr<HidConnection> OpenPointerInterface() {
    HidTransport& transport = CurrentHidTransport();
    for (const HidInterfaceInfo& info : transport.Enumerate(kVendorId, kProductId)) {
        if (IsMouseInterface(info, kProductId, kPointerUsagePage, kPointerUsage))
            return transport.Open(info.path);
    }
    return nullptr;
}

int64_t PointerReader::SteadyNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

PointerReader::PointerReader(std::unique_ptr<HidConnection> connection, Clock clock,
                             std::function<void()> arrived)
    : connection_(std::move(connection)), clock_(std::move(clock)), arrived_(std::move(arrived)) {
    arrivals_.reserve(kReservedArrivals);
    if (!connection_) {
        gone_.store(true);
        return;
    }
    try {
        thread_ = std::thread(&PointerReader::ReadLoop, this);
    } catch (const std::system_error&) {
        gone_.store(true);
    }
}

PointerReader::~PointerReader() {
    Stop();
}

void PointerReader::Stop() {
    stopRequested_.store(true);
    if (connection_)
        connection_->InterruptRead();
    if (thread_.joinable())
        thread_.join();
    connection_.reset();
}

std::vector<int64_t> PointerReader::TakeArrivals() {
    std::vector<int64_t> taken;
    taken.reserve(kReservedArrivals);
    std::lock_guard lock(mutex_);
    taken.swap(arrivals_);
    return taken;
}

void PointerReader::ReadLoop() {
    // Named so that its cost can be told apart (bench, top -H).
    pthread_setname_np(pthread_self(), "pointer-reader");
    std::array<uint8_t, kReportBufferSize> report{};
    while (!stopRequested_.load()) {
        const int length = connection_->ReadInput(report.data(), report.size(), -1);
        if (length < 0) {
            gone_.store(true);
            return;
        }
        if (length == 0)
            continue;  // interrupted: the loop sees the stop request
        // Stamped as soon as the read returns: the time the report reached us.
        const int64_t now = clock_();
        bool first = false;
        {
            std::lock_guard lock(mutex_);
            first = arrivals_.empty();
            arrivals_.push_back(now);
        }
        count_.fetch_add(1);
        // Once per batch the taker takes, not per report.
        if (first && arrived_)
            arrived_();
    }
}
