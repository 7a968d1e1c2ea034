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
    format_ = ParsePointerReportFormat(connection_->ReportDescriptor());
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
            continue;  // interrupted: the loop sees the stop request
        ReportBatch batch;
        Add(report.data(), length, batch);  // the one that ended the wait
        // Moving: a round every period until one finds the queue empty.
        for (;;) {
            if (!Drain(report.data(), report.size(), batch)) {
                gone_.store(true);
                return;
            }
            // Stored once the queue is empty: every report counted came before.
            const bool moved = batch.reports > 0;
            if (moved)
                Store(batch);
            if (!moved || stopRequested_.load())
                break;
            pause_();
            batch = ReportBatch{};
        }
    }
}

bool PointerReader::Drain(uint8_t* buffer, size_t size, ReportBatch& batch) {
    const uint32_t before = batch.reports;
    for (;;) {
        const int length = connection_->ReadInput(buffer, size, 0);
        if (length < 0)
            return false;
        if (length == 0)
            break;  // empty, or interrupted
        Add(buffer, length, batch);
    }
    // A round that found the queue full may have come after the kernel
    // dropped some; the first report of a movement never does.
    if (batch.reports - before >= kHidrawQueueReports)
        batch.mayHaveLostReports = true;
    return true;
}

void PointerReader::Add(const uint8_t* report, int length, ReportBatch& batch) const {
    ++batch.reports;
    if (!format_)
        return;
    const std::optional<PointerReport> decoded =
        DecodePointerReport(*format_, {report, static_cast<size_t>(length)});
    if (!decoded)
        return;  // a report of another id: counted, carries no motion
    batch.dx += decoded->dx;
    batch.dy += decoded->dy;
    batch.wheel += decoded->wheel;
    batch.buttonsHeld = decoded->buttons;
    batch.buttonsPressed |= decoded->buttons;
}

void PointerReader::Store(ReportBatch batch) {
    batch.endNs = clock_();
    bool first = false;
    {
        std::lock_guard lock(mutex_);
        first = batches_.empty();
        batches_.push_back(batch);
    }
    count_.fetch_add(batch.reports);
    // Once per batch list the taker takes, not per batch.
    if (first && arrived_)
        arrived_();
}
