#include "uhid_mouse.h"

#include "device/pointer_reader.h"
#include "device/report_rate_meter.h"

#include <poll.h>
#include <sys/prctl.h>
#include <time.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <vector>

namespace {

// Vendor page 0xFF01, usage 2: feature report 0xA1 (63 data bytes) and 0xA0
// (1040 data bytes). Logical maximum 255 in its 2-byte form, so that it is
// not read as -1.
const std::vector<uint8_t> kConfigDescriptor = {
    0x06, 0x01, 0xFF, 0x09, 0x02, 0xA1, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x85, 0xA1,
    0x95, 0x3F, 0x09, 0x01, 0xB1, 0x02, 0x85, 0xA0, 0x96, 0x10, 0x04, 0x09, 0x03, 0xB1, 0x02, 0xC0,
};
// Vendor page 0xFF02, usage 1: input report 3 with 7 data bytes.
const std::vector<uint8_t> kEventDescriptor = {
    0x06, 0x02, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x03, 0x09, 0x01, 0x15,
    0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x07, 0x81, 0x02, 0xC0,
};

// The standard pointer interface: generic desktop page, mouse usage; five
// buttons (left, right, middle, back, forward) and three bits of padding,
// then relative X, Y and wheel, one byte each; no report id.
const std::vector<uint8_t> kPointerDescriptor = {
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x09, 0x01, 0xA1, 0x00, 0x05, 0x09, 0x19,
    0x01, 0x29, 0x05, 0x15, 0x00, 0x25, 0x01, 0x95, 0x05, 0x75, 0x01, 0x81, 0x02,
    0x95, 0x01, 0x75, 0x03, 0x81, 0x03, 0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x09,
    0x38, 0x15, 0x81, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x03, 0x81, 0x06, 0xC0, 0xC0,
};

// Feature report sizes, report id included, as the descriptor declares them.
const std::map<uint8_t, size_t> kFeatureReportSizes = {{0xA1, 64}, {0xA0, 1041}};
constexpr size_t kEventReportSize = 8;
constexpr size_t kPointerReportSize = 4;

// Long enough for the kernel to bind hid-generic under software emulation.
constexpr int kPlugTimeoutMs = 10000;
constexpr int kAwaitOpenTimeoutMs = 10000;

std::string Hex(const uint8_t* data, size_t length) {
    std::string text;
    char byte[3];
    for (size_t i = 0; i < length; ++i) {
        std::snprintf(byte, sizeof byte, "%02x", data[i]);
        text += byte;
    }
    return text;
}

// Whitespace-separated numbers; base 16 when hex, else as written (0x.. or decimal).
bool ParseBytes(const std::string& text, bool hex, std::vector<uint8_t>& bytes) {
    std::istringstream stream(text);
    std::string word;
    while (stream >> word) {
        char* end = nullptr;
        errno = 0;
        const unsigned long value = std::strtoul(word.c_str(), &end, hex ? 16 : 0);
        if (errno != 0 || *end != '\0' || value > 0xFF) {
            return false;
        }
        bytes.push_back(static_cast<uint8_t>(value));
    }
    return true;
}

// Exactly `length` bytes written as one run of hex digits, as Hex writes them.
bool ParseHexRun(const std::string& text, uint8_t* bytes, size_t length) {
    if (text.size() != 2 * length) {
        return false;
    }
    for (size_t i = 0; i < length; ++i) {
        const std::string digits = text.substr(2 * i, 2);
        char* end = nullptr;
        const unsigned long value = std::strtoul(digits.c_str(), &end, 16);
        if (*end != '\0' || !std::isxdigit(static_cast<unsigned char>(digits[0]))) {
            return false;
        }
        bytes[i] = static_cast<uint8_t>(value);
    }
    return true;
}

}  // namespace

UhidMouse::UhidMouse(UhidMouseOptions options) : options_(std::move(options)) {
    firmware_.SetMemory(MouseFirmware::FactoryImage());
}

bool UhidMouse::Open() {
    if (!config_.Open()) {
        error_ = config_.error();
        return false;
    }
    if (!events_.Open()) {
        error_ = events_.error();
        return false;
    }
    if (!pointer_.Open()) {
        error_ = pointer_.error();
        return false;
    }
    return true;
}

std::string UhidMouse::Execute(const std::string& line) {
    using Handler = std::function<std::string(const std::string&)>;
    const std::map<std::string, Handler> commands = {
        {"plug", [this](const std::string& arguments) { return Plug(arguments); }},
        {"unplug", [this](const std::string&) { return Unplug(); }},
        {"input", [this](const std::string& arguments) { return Input(arguments); }},
        {"await-open", [this](const std::string&) { return AwaitOpen(); }},
        {"statuses", [this](const std::string& arguments) { return Statuses(arguments); }},
        {"busy",
         [this](const std::string& arguments) {
             return Switch(arguments, [this](bool on) { firmware_.SetStaysBusy(on); });
         }},
        {"silent",
         [this](const std::string& arguments) {
             return Switch(arguments, [this](bool on) { silent_ = on; });
         }},
        {"memory", [this](const std::string& arguments) { return Memory(arguments); }},
        {"counts", [this](const std::string&) { return Counts(); }},
        {"pointer", [this](const std::string& arguments) { return Pointer(arguments); }},
        {"await-pointer-open",
         [this](const std::string&) {
             return PumpUntil([this] { return pointer_.opened(); }, kAwaitOpenTimeoutMs)
                        ? "ok"
                        : "error nothing opened the pointer interface";
         }},
        {"move", [this](const std::string& arguments) { return Move(arguments); }},
        {"stroke", [this](const std::string& arguments) { return Stroke(arguments); }},
        {"pointer-input", [this](const std::string& arguments) { return PointerInput(arguments); }},
        {"quit",
         [this](const std::string&) {
             quit_ = true;
             return Unplug();
         }},
    };
    const size_t space = line.find(' ');
    const std::string name = line.substr(0, space);
    const std::string arguments = space == std::string::npos ? "" : line.substr(space + 1);
    const auto command = commands.find(name);
    if (command == commands.end()) {
        return "error unknown command: " + name;
    }
    return command->second(arguments);
}

void UhidMouse::HandleKernelEvents() {
    for (UhidDevice* device : {&config_, &events_, &pointer_}) {
        uhid_event event;
        while (device->ReadEvent(event)) {
            HandleEvent(*device, event);
        }
    }
}

std::string UhidMouse::Plug(const std::string& arguments) {
    if (!arguments.empty() && arguments != "events-first") {
        return "error plug takes nothing or events-first";
    }
    const UhidIdentity config{options_.name + " configuration", options_.vendorId,
                              options_.productId, kConfigDescriptor};
    const UhidIdentity events{options_.name + " events", options_.vendorId, options_.productId,
                              kEventDescriptor};
    // The kernel adds each device on a worker of its own and numbers them in
    // the order they are added, which hidapi follows when it lists them: the
    // second is created only once the first has started, so the order holds.
    std::pair<UhidDevice*, const UhidIdentity*> order[] = {{&config_, &config},
                                                           {&events_, &events}};
    if (arguments == "events-first") {
        std::swap(order[0], order[1]);
    }
    for (const auto& [device, identity] : order) {
        if (!device->Create(*identity)) {
            return "error " + device->error();
        }
        if (!PumpUntil([device = device] { return device->started(); }, kPlugTimeoutMs)) {
            return "error the kernel did not start " + identity->name;
        }
    }
    return "ok";
}

std::string UhidMouse::Pointer(const std::string& arguments) {
    if (arguments == "unplug")
        return pointer_.Destroy() ? "ok" : "error " + pointer_.error();
    if (arguments != "plug")
        return "error pointer takes plug or unplug";
    const UhidIdentity pointer{options_.name + " pointer", options_.vendorId, options_.productId,
                               kPointerDescriptor};
    if (!pointer_.Create(pointer))
        return "error " + pointer_.error();
    if (!PumpUntil([this] { return pointer_.started(); }, kPlugTimeoutMs))
        return "error the kernel did not start " + pointer.name;
    return "ok";
}

std::string UhidMouse::Move(const std::string& arguments) {
    std::istringstream stream(arguments);
    unsigned hz = 0;
    double seconds = 0;
    if (!(stream >> hz >> seconds) || hz == 0 || hz > 8000 || seconds <= 0 || seconds > 60)
        return "error move wants HZ (1 to 8000) and SECONDS";
    if (!pointer_.created())
        return "error the pointer interface is not plugged";
    // The default slack of 50 microseconds would stretch short intervals.
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
    const long interval = 1'000'000'000L / hz;
    const timespec begun = [] {
        timespec t{};
        clock_gettime(CLOCK_MONOTONIC, &t);
        return t;
    }();
    const long long lengthNs = static_cast<long long>(seconds * 1e9);
    const uint8_t report[] = {0, 1, 0, 0};  // a step right
    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    unsigned sent = 0;
    std::vector<int64_t> sentAt;
    sentAt.reserve(static_cast<size_t>(hz * seconds) + 1);
    for (;;) {
        next.tv_nsec += interval;
        while (next.tv_nsec >= 1'000'000'000L) {
            next.tv_nsec -= 1'000'000'000L;
            ++next.tv_sec;
        }
        // Absolute deadlines: a late wake-up does not shift the later reports.
        if ((next.tv_sec - begun.tv_sec) * 1'000'000'000LL + (next.tv_nsec - begun.tv_nsec) >
            lengthNs)
            break;
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr) != 0) {
        }
        if (pointer_.SendInput(report, sizeof report)) {
            ++sent;
            sentAt.push_back(PointerReader::SteadyNanoseconds());
        }
        HandleKernelEvents();
        // Woken more than an interval late (the emulated machine stalled):
        // the polls missed send nothing, as a mouse not polled sends nothing,
        // rather than a burst no mouse could send.
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const long long lateNs =
            (now.tv_sec - next.tv_sec) * 1'000'000'000LL + (now.tv_nsec - next.tv_nsec);
        if (lateNs > interval)
            next = now;
    }
    // The rate really sent, found as the meter finds it, from the send times.
    ReportRateMeter meter;
    meter.Add(SingleReports(sentAt));
    const double sentHz = meter.Current() ? meter.Current()->rateHz : 0;
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.1f", sentHz);
    return "ok " + std::to_string(sent) + " " + rate;
}

// A stroke of exactly DX and DY counts, at 1000 Hz, in reports of at most a
// byte's 127 counts each: the CPI check's road through the kernel.
std::string UhidMouse::Stroke(const std::string& arguments) {
    std::istringstream stream(arguments);
    long long dx = 0;
    long long dy = 0;
    if (!(stream >> dx >> dy) || std::llabs(dx) > 1'000'000 || std::llabs(dy) > 1'000'000)
        return "error stroke wants DX and DY counts (at most 1000000 each)";
    if (!pointer_.created())
        return "error the pointer interface is not plugged";
    const long long reports =
        std::max<long long>({1, (std::llabs(dx) + 126) / 127, (std::llabs(dy) + 126) / 127});
    // The counts the first `done` reports carry: steps a count apart at most.
    const auto after = [reports](long long total, long long done) {
        const long long part = std::llabs(total) * done / reports;
        return total < 0 ? -part : part;
    };
    for (long long i = 0; i < reports; ++i) {
        const uint8_t report[] = {0, static_cast<uint8_t>(after(dx, i + 1) - after(dx, i)),
                                  static_cast<uint8_t>(after(dy, i + 1) - after(dy, i)), 0};
        if (!pointer_.SendInput(report, sizeof report))
            return "error " + pointer_.error();
        const timespec interval{0, 1'000'000};
        nanosleep(&interval, nullptr);
        HandleKernelEvents();
    }
    return "ok " + std::to_string(reports);
}

std::string UhidMouse::Unplug() {
    pointer_.Destroy();
    // Both, even when the first fails.
    const bool configGone = config_.Destroy();
    const bool eventsGone = events_.Destroy();
    if (!configGone) {
        return "error " + config_.error();
    }
    if (!eventsGone) {
        return "error " + events_.error();
    }
    return "ok";
}

std::string UhidMouse::Input(const std::string& arguments) {
    return SendReport(events_, arguments, kEventReportSize, "input", "unplugged");
}

std::string UhidMouse::PointerInput(const std::string& arguments) {
    return SendReport(pointer_, arguments, kPointerReportSize, "pointer-input",
                      "the pointer interface is not plugged");
}

std::string UhidMouse::SendReport(UhidDevice& device, const std::string& arguments, size_t size,
                                  const std::string& command, const std::string& unplugged) {
    std::vector<uint8_t> report;
    if (!ParseBytes(arguments, true, report) || report.empty() || report.size() > size) {
        return "error " + command + " wants 1 to " + std::to_string(size) + " hex bytes";
    }
    if (!device.created()) {
        return "error " + unplugged;
    }
    // The report's declared size: the rest of it is zero.
    report.resize(size, 0);
    if (!device.SendInput(report.data(), report.size())) {
        return "error " + device.error();
    }
    return "ok";
}

std::string UhidMouse::AwaitOpen() {
    if (!PumpUntil([this] { return events_.opened(); }, kAwaitOpenTimeoutMs)) {
        return "error nothing opened the event interface";
    }
    return "ok";
}

std::string UhidMouse::Statuses(const std::string& arguments) {
    std::vector<uint8_t> statuses;
    if (!ParseBytes(arguments, false, statuses) || statuses.empty()) {
        return "error statuses wants numbers 0 to 255";
    }
    for (uint8_t status : statuses) {
        firmware_.QueueStatuses({status});
    }
    return "ok";
}

std::string UhidMouse::Switch(const std::string& arguments, const std::function<void(bool)>& set) {
    if (arguments != "on" && arguments != "off") {
        return "error wants on or off";
    }
    set(arguments == "on");
    return "ok";
}

std::string UhidMouse::Memory(const std::string& arguments) {
    if (arguments.empty()) {
        return "ok " + Hex(firmware_.Memory().data(), firmware_.Memory().size());
    }
    SettingsImage image{};
    if (!ParseHexRun(arguments, image.data(), image.size())) {
        return "error memory wants " + std::to_string(2 * image.size()) + " hex digits";
    }
    firmware_.SetMemory(image);
    return "ok";
}

std::string UhidMouse::Counts() const {
    return "ok get=" + std::to_string(getCount_) + " set=" + std::to_string(setCount_);
}

void UhidMouse::HandleEvent(UhidDevice& device, const uhid_event& event) {
    if (event.type == UHID_GET_REPORT) {
        AnswerGetReport(device, event.u.get_report);
    } else if (event.type == UHID_SET_REPORT) {
        AnswerSetReport(device, event.u.set_report);
    }
}

void UhidMouse::AnswerGetReport(UhidDevice& device, const uhid_get_report_req& request) {
    if (silent_) {
        return;  // the kernel gives up on its own after a few seconds
    }
    const auto size = kFeatureReportSizes.find(request.rnum);
    if (&device != &config_ || request.rtype != UHID_FEATURE_REPORT ||
        size == kFeatureReportSizes.end()) {
        device.ReplyGetReport(request.id, EIO, nullptr, 0);
        return;
    }
    std::vector<uint8_t> report(size->second, 0);
    report[0] = request.rnum;
    const int length = firmware_.GetFeature(report.data(), report.size());
    if (length < 0) {
        device.ReplyGetReport(request.id, EIO, nullptr, 0);
        return;
    }
    ++getCount_;
    device.ReplyGetReport(request.id, 0, report.data(), static_cast<size_t>(length));
}

void UhidMouse::AnswerSetReport(UhidDevice& device, const uhid_set_report_req& request) {
    if (silent_) {
        return;
    }
    const size_t length = std::min<size_t>(request.size, sizeof request.data);
    if (&device != &config_ || request.rtype != UHID_FEATURE_REPORT ||
        !firmware_.SetFeature(request.data, length)) {
        device.ReplySetReport(request.id, EIO);
        return;
    }
    ++setCount_;
    device.ReplySetReport(request.id, 0);
}

bool UhidMouse::PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            return false;
        }
        pollfd fds[] = {
            {config_.Fd(), POLLIN, 0}, {events_.Fd(), POLLIN, 0}, {pointer_.Fd(), POLLIN, 0}};
        if (poll(fds, 3, static_cast<int>(left)) < 0 && errno != EINTR) {
            return false;
        }
        HandleKernelEvents();
    }
    return true;
}
