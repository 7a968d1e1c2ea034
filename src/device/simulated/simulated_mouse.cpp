#include "device/simulated/simulated_mouse.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <stdexcept>

#include "device/device_link.h"

namespace {

struct InterfaceKind {
    uint16_t usagePage;
    uint16_t usage;
};

// In the order the system lists them for the real mouse.
constexpr std::array<InterfaceKind, 3> kInterfaceKinds{{
    {0x0001, 0x0002},  // the ordinary mouse: generic desktop page, mouse usage
    {kConfigUsagePage, kConfigUsage},
    {kEventUsagePage, kEventUsage},
}};
constexpr size_t kPointerInterface = 0;
// What the pointer interface declares for the reports SimulatedMotion and
// SimulatedPointerButtons send: five buttons and three bits of padding,
// relative X, Y and wheel of a byte each, then four bytes of padding.
constexpr uint8_t kPointerDescriptor[] = {
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x09, 0x01, 0xA1, 0x00, 0x05, 0x09, 0x19, 0x01,
    0x29, 0x05, 0x15, 0x00, 0x25, 0x01, 0x95, 0x05, 0x75, 0x01, 0x81, 0x02, 0x95, 0x01,
    0x75, 0x03, 0x81, 0x03, 0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x09, 0x38, 0x15, 0x81,
    0x25, 0x7F, 0x75, 0x08, 0x95, 0x03, 0x81, 0x06, 0x95, 0x04, 0x81, 0x03, 0xC0, 0xC0,
};
constexpr size_t kConfigInterface = 1;
constexpr size_t kEventInterface = 2;

struct Fault {
    HidResult result = HidResult::Ok;
    int count = 0;
};

thread_local OpenFailure lastOpenFailure = OpenFailure::None;

}  // namespace

struct SimulatedMouse::State {
    struct Mouse {
        MouseFirmware firmware;
        bool plugged = false;
        // Button bits of the buttons held now: every pointer report carries them.
        uint8_t pointerButtonsHeld = 0;
        // Interfaces of this plug-in the system lists so far, from the first.
        size_t present = kInterfaceKinds.size();
        OpenFailure openFailure = OpenFailure::None;
        // Kernel device number of its first interface as plugged in now.
        unsigned firstDeviceNumber = 0;
        // Plug-ins so far: a connection opened during an earlier one is dead.
        unsigned generation = 0;
    };

    // Input reports waiting for one open event-interface connection, and
    // what its reader is doing.
    struct InputQueue {
        size_t mouse;
        unsigned generation;
        size_t interface;
        std::deque<std::vector<uint8_t>> reports;
        bool interrupted = false;
        bool readerWaiting = false;
        bool waitsWithoutLimit = false;
    };

    mutable std::mutex mutex;
    std::condition_variable inputChanged;
    // A reader started or stopped waiting.
    std::condition_variable readersChanged;
    std::vector<std::unique_ptr<Mouse>> mice;
    unsigned nextDeviceNumber = 1;
    Fault sendFault;
    Fault fetchFault;
    std::vector<std::vector<uint8_t>> sentReports;
    std::vector<InputQueue*> inputQueues;
    uint64_t pointerReportsDropped = 0;
    std::function<void(const std::string&, bool)> plugObserver;
    std::function<void(const std::vector<uint8_t>&, size_t)> buttonObserver;

    Mouse& At(size_t mouse) const {
        if (mouse >= mice.size())
            throw std::out_of_range("no such simulated mouse");
        return *mice[mouse];
    }

    bool Alive(size_t mouse, unsigned generation) const {
        const Mouse& m = At(mouse);
        return m.plugged && m.generation == generation;
    }

    static std::string Path(const Mouse& mouse, size_t interface) {
        char name[64];
        std::snprintf(name, sizeof name, "/sys/devices/virtual/hid/0003:%04X:%04X.%04X", kVendorId,
                      kProductId, mouse.firstDeviceNumber + static_cast<unsigned>(interface));
        return name;
    }

    std::vector<std::string> Paths(const Mouse& mouse) const {
        std::vector<std::string> paths;
        if (!mouse.plugged)
            return paths;
        for (size_t i = 0; i < mouse.present; ++i)
            paths.push_back(Path(mouse, i));
        return paths;
    }

    // One new device number per interface, as the kernel names each collection anew.
    void PlugIn(Mouse& mouse) {
        ++mouse.generation;
        mouse.firstDeviceNumber = nextDeviceNumber;
        nextDeviceNumber += kInterfaceKinds.size();
        mouse.plugged = true;
        mouse.present = kInterfaceKinds.size();
    }

    static bool TakeFault(Fault& fault, HidResult& result) {
        if (fault.count <= 0)
            return false;
        --fault.count;
        result = fault.result;
        return true;
    }

    // Observers run outside the lock so that they may call back into the mouse.
    void Notify(std::unique_lock<std::mutex>& lock, const std::vector<std::string>& paths,
                bool arrived) {
        auto observer = plugObserver;
        lock.unlock();
        if (!observer)
            return;
        for (const auto& path : paths)
            observer(path, arrived);
    }
};

class SimulatedMouse::Connection : public HidConnection {
public:
    Connection(std::shared_ptr<State> state, size_t mouse, size_t interface, unsigned generation)
        : state_(std::move(state)),
          interface_(interface),
          queue_{mouse, generation, interface, {}} {
        if (interface_ == kEventInterface || interface_ == kPointerInterface)
            state_->inputQueues.push_back(&queue_);  // the caller holds the lock
    }

    ~Connection() override {
        std::lock_guard lock(state_->mutex);
        auto& queues = state_->inputQueues;
        queues.erase(std::remove(queues.begin(), queues.end(), &queue_), queues.end());
        state_->readersChanged.notify_all();
    }

    HidResult SendFeatureReport(const uint8_t* data, size_t length) override {
        std::lock_guard lock(state_->mutex);
        HidResult result = HidResult::Error;
        if (!ReachesFirmware() || State::TakeFault(state_->sendFault, result))
            return result;
        state_->sentReports.emplace_back(data, data + length);
        return Firmware().SetFeature(data, length) ? HidResult::Ok : HidResult::Error;
    }

    HidResult GetFeatureReport(uint8_t* data, size_t length) override {
        std::lock_guard lock(state_->mutex);
        HidResult result = HidResult::Error;
        if (!ReachesFirmware() || State::TakeFault(state_->fetchFault, result))
            return result;
        const int delivered = Firmware().GetFeature(data, length);
        if (delivered < 0)
            return HidResult::Error;
        if (static_cast<size_t>(delivered) < length) {
            std::memset(data + delivered, 0, length - delivered);
            return HidResult::Error;
        }
        return HidResult::Ok;
    }

    int ReadInput(uint8_t* data, size_t length, int timeoutMs) override {
        std::unique_lock lock(state_->mutex);
        auto ready = [this] { return queue_.interrupted || !Alive() || !queue_.reports.empty(); };
        SetWaiting(timeoutMs != 0, timeoutMs < 0);  // a look that does not wait is no wait
        if (timeoutMs < 0)
            state_->inputChanged.wait(lock, ready);
        else if (timeoutMs > 0)
            state_->inputChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
        SetWaiting(false, false);
        if (queue_.interrupted)
            return 0;
        if (!Alive())
            return -1;
        if (queue_.reports.empty())
            return 0;
        const std::vector<uint8_t> report = std::move(queue_.reports.front());
        queue_.reports.pop_front();
        const size_t count = std::min(length, report.size());
        std::memcpy(data, report.data(), count);
        std::memset(data + count, 0, length - count);
        return static_cast<int>(count);
    }

    std::vector<uint8_t> ReportDescriptor() override {
        if (interface_ != kPointerInterface)
            return {};
        return {std::begin(kPointerDescriptor), std::end(kPointerDescriptor)};
    }

    void InterruptRead() override {
        std::lock_guard lock(state_->mutex);
        queue_.interrupted = true;
        state_->inputChanged.notify_all();
        state_->readersChanged.notify_all();
    }

private:
    bool Alive() const { return state_->Alive(queue_.mouse, queue_.generation); }
    // The caller holds the lock.
    void SetWaiting(bool waiting, bool withoutLimit) {
        queue_.readerWaiting = waiting;
        queue_.waitsWithoutLimit = withoutLimit;
        state_->readersChanged.notify_all();
    }
    bool ReachesFirmware() const { return Alive() && interface_ == kConfigInterface; }
    MouseFirmware& Firmware() const { return state_->At(queue_.mouse).firmware; }

    std::shared_ptr<State> state_;
    size_t interface_;
    State::InputQueue queue_;
};

SimulatedMouse::SimulatedMouse() : state_(std::make_shared<State>()) {
    state_->mice.push_back(std::make_unique<State::Mouse>());
    state_->PlugIn(*state_->mice.back());
}

SimulatedMouse::~SimulatedMouse() = default;

std::vector<HidInterfaceInfo> SimulatedMouse::Enumerate(uint16_t vendorId, uint16_t productId) {
    std::vector<HidInterfaceInfo> found;
    // hidapi treats 0 as "any".
    if ((vendorId != 0 && vendorId != kVendorId) || (productId != 0 && productId != kProductId))
        return found;
    std::lock_guard lock(state_->mutex);
    for (size_t m = 0; m < state_->mice.size(); ++m) {
        const auto& mouse = state_->mice[m];
        if (!mouse->plugged)
            continue;
        for (size_t i = 0; i < mouse->present; ++i)
            found.push_back({State::Path(*mouse, i), kVendorId, kProductId,
                             kInterfaceKinds[i].usagePage, kInterfaceKinds[i].usage,
                             "SIMULATED-" + std::to_string(m + 1)});
    }
    return found;
}

std::unique_ptr<HidConnection> SimulatedMouse::Open(const std::string& path) {
    std::lock_guard lock(state_->mutex);
    for (size_t m = 0; m < state_->mice.size(); ++m) {
        const State::Mouse& mouse = *state_->mice[m];
        if (!mouse.plugged)
            continue;
        for (size_t i = 0; i < mouse.present; ++i) {
            if (State::Path(mouse, i) != path)
                continue;
            lastOpenFailure = mouse.openFailure;
            if (mouse.openFailure != OpenFailure::None)
                return nullptr;
            return std::make_unique<Connection>(state_, m, i, mouse.generation);
        }
    }
    // A path no plugged-in mouse has: its node is gone, as after an unplug.
    lastOpenFailure = OpenFailure::Gone;
    return nullptr;
}

OpenFailure SimulatedMouse::LastOpenFailure() const {
    return lastOpenFailure;
}

size_t SimulatedMouse::AddMouse() {
    std::unique_lock lock(state_->mutex);
    state_->mice.push_back(std::make_unique<State::Mouse>());
    State::Mouse& mouse = *state_->mice.back();
    state_->PlugIn(mouse);
    const size_t index = state_->mice.size() - 1;
    state_->Notify(lock, state_->Paths(mouse), true);
    return index;
}

MouseFirmware& SimulatedMouse::Firmware(size_t mouse) {
    std::lock_guard lock(state_->mutex);
    return state_->At(mouse).firmware;
}

void SimulatedMouse::Unplug(size_t mouse) {
    std::unique_lock lock(state_->mutex);
    State::Mouse& m = state_->At(mouse);
    if (!m.plugged)
        return;
    const std::vector<std::string> paths = state_->Paths(m);
    m.plugged = false;
    state_->inputChanged.notify_all();  // blocked readers see the device gone
    state_->readersChanged.notify_all();
    state_->Notify(lock, paths, false);
}

void SimulatedMouse::Plug(size_t mouse) {
    PlugInterfaces(kInterfaceKinds.size(), mouse);
}

void SimulatedMouse::PlugInterfaces(size_t count, size_t mouse) {
    std::unique_lock lock(state_->mutex);
    State::Mouse& m = state_->At(mouse);
    count = std::min(count, kInterfaceKinds.size());
    if (!m.plugged) {
        state_->PlugIn(m);
        m.present = 0;
    }
    std::vector<std::string> added;
    for (; m.present < count; ++m.present)
        added.push_back(State::Path(m, m.present));
    state_->Notify(lock, added, true);
}

bool SimulatedMouse::IsPlugged(size_t mouse) const {
    std::lock_guard lock(state_->mutex);
    return state_->At(mouse).plugged;
}

std::vector<std::string> SimulatedMouse::InterfacePaths(size_t mouse) const {
    std::lock_guard lock(state_->mutex);
    return state_->Paths(state_->At(mouse));
}

void SimulatedMouse::SetPlugObserver(
    std::function<void(const std::string& path, bool arrived)> observer) {
    std::lock_guard lock(state_->mutex);
    state_->plugObserver = std::move(observer);
}

void SimulatedMouse::SetButtonObserver(
    std::function<void(const std::vector<uint8_t>& report, size_t mouse)> observer) {
    std::lock_guard lock(state_->mutex);
    state_->buttonObserver = std::move(observer);
}

void SimulatedMouse::ReplaceMemory(const SettingsImage& image, size_t mouse) {
    std::lock_guard lock(state_->mutex);
    state_->At(mouse).firmware.SetMemory(image);
}

void SimulatedMouse::FailSends(HidResult result, int count) {
    std::lock_guard lock(state_->mutex);
    state_->sendFault = {result, result == HidResult::Ok ? 0 : count};
}

void SimulatedMouse::FailFetches(HidResult result, int count) {
    std::lock_guard lock(state_->mutex);
    state_->fetchFault = {result, result == HidResult::Ok ? 0 : count};
}

void SimulatedMouse::SetOpenFailure(size_t mouse, OpenFailure reason) {
    std::lock_guard lock(state_->mutex);
    state_->At(mouse).openFailure = reason;
}

void SimulatedMouse::PressCpiButton(size_t mouse) {
    std::vector<uint8_t> report;
    std::function<void(const std::vector<uint8_t>&, size_t)> observer;
    {
        std::lock_guard lock(state_->mutex);
        if (!state_->At(mouse).plugged)
            return;
        report = state_->At(mouse).firmware.PressCpiButton();
        observer = state_->buttonObserver;
    }
    SendInputReport(report, mouse);
    if (observer)
        observer(report, mouse);
}

void SimulatedMouse::SwitchReportRate(uint8_t pollingRateCode, size_t mouse) {
    std::vector<uint8_t> report;
    std::function<void(const std::vector<uint8_t>&, size_t)> observer;
    {
        std::lock_guard lock(state_->mutex);
        if (!state_->At(mouse).plugged)
            return;
        report = state_->At(mouse).firmware.SwitchReportRate(pollingRateCode);
        observer = state_->buttonObserver;
    }
    SendInputReport(report, mouse);
    if (observer)
        observer(report, mouse);
}

void SimulatedMouse::SendInputReport(const std::vector<uint8_t>& report, size_t mouse) {
    std::lock_guard lock(state_->mutex);
    const State::Mouse& m = state_->At(mouse);
    if (!m.plugged)
        return;
    for (State::InputQueue* queue : state_->inputQueues) {
        if (queue->mouse == mouse && queue->generation == m.generation &&
            queue->interface == kEventInterface)
            queue->reports.push_back(report);
    }
    state_->inputChanged.notify_all();
}

void SimulatedMouse::SetPointerButtonsHeld(uint8_t bits, size_t mouse) {
    std::lock_guard lock(state_->mutex);
    state_->At(mouse).pointerButtonsHeld = bits;
}

void SimulatedMouse::SendPointerReport(const std::vector<uint8_t>& sent, size_t mouse) {
    std::lock_guard lock(state_->mutex);
    const State::Mouse& m = state_->At(mouse);
    if (!m.plugged)
        return;
    // A button held down stays in every report, a movement's too.
    std::vector<uint8_t> report = sent;
    if (!report.empty())
        report[0] |= m.pointerButtonsHeld;
    for (State::InputQueue* queue : state_->inputQueues) {
        if (queue->mouse != mouse || queue->generation != m.generation ||
            queue->interface != kPointerInterface)
            continue;
        if (queue->reports.size() >= kHidrawQueueReports)
            ++state_->pointerReportsDropped;
        else
            queue->reports.push_back(report);
    }
    state_->inputChanged.notify_all();
}

uint64_t SimulatedMouse::PointerReportsDropped() const {
    std::lock_guard lock(state_->mutex);
    return state_->pointerReportsDropped;
}

uint8_t SimulatedMouse::PollingRateCode(size_t mouse) const {
    std::lock_guard lock(state_->mutex);
    return state_->At(mouse).firmware.PollingRateCode();
}

bool SimulatedMouse::WaitUntilPointerReportsTaken(std::chrono::milliseconds limit) const {
    std::unique_lock lock(state_->mutex);
    auto taken = [this] {
        return std::all_of(state_->inputQueues.begin(), state_->inputQueues.end(),
                           [this](const State::InputQueue* queue) {
                               return queue->interface != kPointerInterface ||
                                      !state_->Alive(queue->mouse, queue->generation) ||
                                      (queue->reports.empty() && queue->readerWaiting);
                           });
    };
    return state_->readersChanged.wait_for(lock, limit, taken);
}

bool SimulatedMouse::WaitUntilInputTaken(std::chrono::milliseconds limit) const {
    std::unique_lock lock(state_->mutex);
    auto taken = [this] {
        return std::all_of(state_->inputQueues.begin(), state_->inputQueues.end(),
                           [this](const State::InputQueue* queue) {
                               return queue->interface != kEventInterface ||
                                      !state_->Alive(queue->mouse, queue->generation) ||
                                      (queue->reports.empty() && queue->readerWaiting);
                           });
    };
    return state_->readersChanged.wait_for(lock, limit, taken);
}

size_t SimulatedMouse::ReadersWaitingWithoutLimit() const {
    std::lock_guard lock(state_->mutex);
    return std::count_if(state_->inputQueues.begin(), state_->inputQueues.end(),
                         [](const State::InputQueue* queue) {
                             return queue->interface == kEventInterface && queue->readerWaiting &&
                                    queue->waitsWithoutLimit;
                         });
}

std::vector<std::vector<uint8_t>> SimulatedMouse::SentReports() const {
    std::lock_guard lock(state_->mutex);
    return state_->sentReports;
}

void SimulatedMouse::ClearSentReports() {
    std::lock_guard lock(state_->mutex);
    state_->sentReports.clear();
}
