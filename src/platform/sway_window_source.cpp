#include "platform/sway_window_source.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <nlohmann/json.hpp>

#include "platform/process_name.h"

namespace {

using Json = nlohmann::json;

constexpr char kMagic[] = "i3-ipc";
constexpr size_t kMagicBytes = sizeof kMagic - 1;
constexpr size_t kHeaderBytes = kMagicBytes + 8;
constexpr uint32_t kSubscribe = 2;
constexpr uint32_t kGetTree = 4;
constexpr uint32_t kEventBit = 0x80000000u;
constexpr uint32_t kWindowEvent = kEventBit | 3;
// A tree of many windows stays far below this; more is no compositor talking.
constexpr uint32_t kMaxMessageBytes = 64u << 20;
// The compositor answers at once; a stuck one must not hold the agent's start.
constexpr auto kStartWait = std::chrono::seconds(3);

std::string Text(const Json& node, const char* key) {
    const auto found = node.find(key);
    return found != node.end() && found->is_string() ? found->get<std::string>() : std::string();
}

// A window container as sway or i3 describes it: a native Wayland window by
// its app id, an X11 one by its WM_CLASS.
ActiveWindow WindowOf(const Json& container) {
    ActiveWindow window;
    window.windowClass = Text(container, "app_id");
    if (const auto properties = container.find("window_properties");
        properties != container.end() && properties->is_object()) {
        if (window.windowClass.empty()) {
            window.windowClass = Text(*properties, "class");
        }
        window.instance = Text(*properties, "instance");
    }
    if (const auto pid = container.find("pid");
        pid != container.end() && pid->is_number_integer()) {
        const auto value = pid->get<int64_t>();
        if (value > 0 && value <= INT32_MAX) {
            window.pid = static_cast<long>(value);
            window.program = ProgramOfPid(static_cast<uint32_t>(value));
        }
    }
    return window;
}

bool IsWindow(const Json& node) {
    return node.contains("app_id") || node.contains("window_properties") ||
           (node.contains("window") && node["window"].is_number_integer());
}

// The focused node of the tree; a window only when it is one (a focused
// workspace holds no window in front).
std::optional<ActiveWindow> FocusedIn(const Json& node, int depth = 0) {
    if (!node.is_object() || depth > 64) {
        return std::nullopt;
    }
    if (node.value("focused", false)) {
        return IsWindow(node) ? WindowOf(node) : ActiveWindow{};
    }
    for (const char* children : {"nodes", "floating_nodes"}) {
        const auto list = node.find(children);
        if (list == node.end() || !list->is_array()) {
            continue;
        }
        for (const Json& child : *list) {
            if (auto found = FocusedIn(child, depth + 1)) {
                return found;
            }
        }
    }
    return std::nullopt;
}

uint32_t ReadU32(const char* bytes) {
    uint32_t value;
    std::memcpy(&value, bytes, sizeof value);  // the compositor's own byte order
    return value;
}

}  // namespace

SwayWindowSource::SwayWindowSource(std::string socketPath, std::string name)
    : socketPath_(std::move(socketPath)), name_(std::move(name)) {}

SwayWindowSource::~SwayWindowSource() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool SwayWindowSource::Start(std::string& error) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath_.empty() || socketPath_.size() >= sizeof address.sun_path) {
        error = "no usable " + name_ + " socket path";
        return false;
    }
    std::memcpy(address.sun_path, socketPath_.c_str(), socketPath_.size());
    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd_ < 0 || ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        error = "cannot connect to " + name_ + " at " + socketPath_ + ": " + std::strerror(errno);
        return false;
    }
    // Subscribed first, then the tree asked for: no focus change falls between.
    if (!Send(kSubscribe, R"(["window"])") || !Send(kGetTree, "")) {
        error = name_ + " did not take the request: " + std::strerror(errno);
        return false;
    }
    const auto giveUp = std::chrono::steady_clock::now() + kStartWait;
    while (!haveTree_) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            giveUp - std::chrono::steady_clock::now());
        pollfd wait{fd_, POLLIN, 0};
        if (left.count() <= 0 || (::poll(&wait, 1, static_cast<int>(left.count())) == 0)) {
            error = name_ + " did not answer";
            return false;
        }
        if (!ReadAvailable()) {
            error = name_ + " closed the connection";
            return false;
        }
        uint32_t type = 0;
        std::string payload;
        while (!haveTree_ && TakeMessage(type, payload)) {
            OnMessage(type, payload);
        }
        if (broken_) {
            error = name_ + " sent what is no IPC message";
            return false;
        }
    }
    reported_ = current_;
    return true;
}

bool SwayWindowSource::Send(uint32_t type, const std::string& payload) {
    std::string message(kMagic, kMagicBytes);
    const auto length = static_cast<uint32_t>(payload.size());
    message.append(reinterpret_cast<const char*>(&length), sizeof length);
    message.append(reinterpret_cast<const char*>(&type), sizeof type);
    message += payload;
    size_t sent = 0;
    while (sent < message.size()) {
        const ssize_t wrote =
            ::send(fd_, message.data() + sent, message.size() - sent, MSG_NOSIGNAL);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote < 0 && errno == EAGAIN) {
            pollfd wait{fd_, POLLOUT, 0};
            if (::poll(&wait, 1, 1000) <= 0) {
                return false;
            }
            continue;
        }
        if (wrote <= 0) {
            return false;
        }
        sent += static_cast<size_t>(wrote);
    }
    return true;
}

bool SwayWindowSource::ReadAvailable() {
    char chunk[16384];
    for (;;) {
        const ssize_t got = ::read(fd_, chunk, sizeof chunk);
        if (got > 0) {
            buffer_.append(chunk, static_cast<size_t>(got));
            continue;
        }
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return true;
        }
        broken_ = true;  // closed, or failed
        return false;
    }
}

bool SwayWindowSource::TakeMessage(uint32_t& type, std::string& payload) {
    if (buffer_.size() < kHeaderBytes) {
        return false;
    }
    const uint32_t length = ReadU32(buffer_.data() + kMagicBytes);
    if (buffer_.compare(0, kMagicBytes, kMagic) != 0 || length > kMaxMessageBytes) {
        broken_ = true;
        buffer_.clear();
        return false;
    }
    if (buffer_.size() < kHeaderBytes + length) {
        return false;
    }
    type = ReadU32(buffer_.data() + kMagicBytes + 4);
    payload.assign(buffer_, kHeaderBytes, length);
    buffer_.erase(0, kHeaderBytes + length);
    return true;
}

void SwayWindowSource::OnMessage(uint32_t type, const std::string& payload) {
    const Json message = Json::parse(payload, nullptr, false);
    if (message.is_discarded()) {
        return;  // one unreadable message loses one change, not the connection
    }
    if (type == kGetTree) {
        haveTree_ = true;
        current_ = FocusedIn(message).value_or(ActiveWindow{});
        return;
    }
    if (type != kWindowEvent || !haveTree_ || !message.is_object()) {
        return;  // the subscription's answer, or an event the tree is newer than
    }
    const std::string change = Text(message, "change");
    const auto container = message.find("container");
    if (container == message.end() || !container->is_object()) {
        return;
    }
    if (change == "focus") {
        current_ = WindowOf(*container);
    } else if (change == "close" && container->value("focused", false)) {
        current_ = {};  // the last window went; the next to take the focus says so
    } else if (change == "title" && container->value("focused", false)) {
        // An app id set after the window was mapped comes with no focus event.
        current_ = WindowOf(*container);
    }
}

std::optional<ActiveWindow> SwayWindowSource::ReadChanges() {
    if (fd_ < 0 || broken_) {
        return std::nullopt;
    }
    ReadAvailable();
    uint32_t type = 0;
    std::string payload;
    while (TakeMessage(type, payload)) {
        OnMessage(type, payload);
    }
    // Back where it started (there and back between two reads): no change.
    if (current_ != reported_ && !broken_) {
        reported_ = current_;
        return current_;
    }
    return std::nullopt;
}
