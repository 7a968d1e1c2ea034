#include "device/pointer_reader.h"

#include <pthread.h>

#include <array>
#include <chrono>
#include <system_error>

#include "device/device_link.h"

namespace {

// Larger than any pointer report of the mouse; a longer one is cut, and still counted.
constexpr size_t kReportBufferSize = 64;
// Batches kept ready for a few seconds of movement, so that the reading
// thread does not grow the list while the taker is slow.
constexpr size_t kReservedBatches = 2048;

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
                             std::function<void()> arrived, Pause pause)
    : connection_(std::move(connection)),
      clock_(std::move(clock)),
      arrived_(std::move(arrived)),
      pause_(std::move(pause)) {
    batches_.reserve(kReservedBatches);
    if (!pause_) {
        pause_ = [] { std::this_thread::sleep_for(std::chrono::milliseconds(kDrainPeriodMs)); };
    }
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

std::vector<ReportBatch> PointerReader::TakeBatches() {
    std::vector<ReportBatch> taken;
    taken.reserve(kReservedBatches);
    std::lock_guard lock(mutex_);
    taken.swap(batches_);
    return taken;
}

void PointerReader::ReadLoop() {
    // Named so that its cost can be told apart (bench, top -H).
    pthread_setname_np(pthread_self(), "pointer-reader");
    std::array<uint8_t, kReportBufferSize> report{};
    while (!stopRequested_.load()) {
        // Still: the first report of a movement ends the wait.
        const int length = connection_->ReadInput(report.data(), report.size(), -1);
        if (length < 0) {
            gone_.store(true);
            return;
        }
        if (length == 0)
            continue;         // interrupted: the loop sees the stop request
        int64_t reports = 1;  // the one that ended the wait
        // Moving: a round every period until one finds the queue empty.
        for (;;) {
            const int64_t drained = Drain(report.data(), report.size());
            if (drained < 0) {
                gone_.store(true);
                return;
            }
            reports += drained;
            // Stamped once the queue is empty: every report counted came before.
            if (reports > 0)
                Store(static_cast<uint32_t>(reports));
            if (reports == 0 || stopRequested_.load())
                break;
            pause_();
            reports = 0;
        }
    }
}

int64_t PointerReader::Drain(uint8_t* buffer, size_t size) {
    int64_t reports = 0;
    for (;;) {
        const int length = connection_->ReadInput(buffer, size, 0);
        if (length < 0)
            return -1;
        if (length == 0)
            return reports;  // empty, or interrupted
        ++reports;
    }
}

void PointerReader::Store(uint32_t reports) {
    const int64_t now = clock_();
    bool first = false;
    {
        std::lock_guard lock(mutex_);
        first = batches_.empty();
        batches_.push_back({now, reports});
    }
    count_.fetch_add(reports);
    // Once per batch list the taker takes, not per batch.
    if (first && arrived_)
        arrived_();
}
