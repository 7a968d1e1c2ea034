#include "vm/support/uhid_mouse_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include <gtest/gtest.h>

#include "device/device_link.h"
#include "device/hid_transport.h"
#include "device/pointer_reader.h"
#include "vm/support/kernel_devices.h"
#include "vm/support/write_all.h"

namespace {

// A plug waits for the kernel to start each interface (the program's own
// limit is 10 s for each), so a reply may take that long under emulation.
constexpr int kReplyTimeoutMs = 25000;
constexpr int kExitTimeoutMs = 5000;

}  // namespace

UhidMouseProcess::UhidMouseProcess(const std::vector<std::string>& arguments) {
    // A program that died must fail the command, not kill the tests.
    signal(SIGPIPE, SIG_IGN);
    const char* program = std::getenv("KESTRINE_UHID_MOUSE");
    if (!program || !*program) {
        error_ = "KESTRINE_UHID_MOUSE does not name the uhid-mouse program";
        return;
    }
    int input[2];
    int output[2];
    if (pipe2(input, O_CLOEXEC) != 0) {
        error_ = std::string("pipe: ") + std::strerror(errno);
        return;
    }
    if (pipe2(output, O_CLOEXEC) != 0) {
        error_ = std::string("pipe: ") + std::strerror(errno);
        close(input[0]);
        close(input[1]);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program));
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    const int status = posix_spawn(&pid_, program, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(input[0]);
    close(output[1]);
    toMouse_ = input[1];
    fromMouse_ = output[0];
    if (status != 0) {
        pid_ = -1;
        error_ = std::string("cannot start ") + program + ": " + std::strerror(status);
    }
}

UhidMouseProcess::~UhidMouseProcess() {
    if (pid_ > 0) {
        Command("quit");
        close(toMouse_);
        toMouse_ = -1;
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kExitTimeoutMs);
        int status = 0;
        while (waitpid(pid_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(pid_, SIGKILL);
                waitpid(pid_, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    if (toMouse_ >= 0) {
        close(toMouse_);
    }
    if (fromMouse_ >= 0) {
        close(fromMouse_);
    }
}

std::string UhidMouseProcess::Command(const std::string& line) {
    if (pid_ <= 0) {
        return "error the uhid mouse is not running: " + error_;
    }
    if (!WriteAll(toMouse_, line + "\n")) {
        return "error the uhid mouse does not take commands any more";
    }
    std::string reply;
    if (!ReadLine(reply, kReplyTimeoutMs)) {
        return "error no reply to \"" + line + "\"";
    }
    return reply;
}

std::string UhidMouseProcess::SetMemory(const SettingsImage& image) {
    return Command("memory " + Hex(image));
}

std::optional<SettingsImage> UhidMouseProcess::Memory() {
    // "ok " and two hex digits a byte.
    const std::string reply = Command("memory");
    SettingsImage image{};
    if (reply.size() != 3 + 2 * image.size() || reply.rfind("ok ", 0) != 0) {
        return std::nullopt;
    }
    for (size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<uint8_t>(std::stoul(reply.substr(3 + 2 * i, 2), nullptr, 16));
    }
    return image;
}

bool UhidMouseProcess::ReadLine(std::string& line, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const size_t end = buffered_.find('\n');
        if (end != std::string::npos) {
            line = buffered_.substr(0, end);
            buffered_.erase(0, end + 1);
            return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) {
            return false;
        }
        pollfd fd{fromMouse_, POLLIN, 0};
        const int ready = poll(&fd, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            return false;
        }
        char chunk[4096];
        const ssize_t length = read(fromMouse_, chunk, sizeof chunk);
        if (length <= 0) {
            return false;  // the program ended
        }
        buffered_.append(chunk, static_cast<size_t>(length));
    }
}

std::string Hex(const SettingsImage& image) {
    std::string text;
    char byte[3];
    for (uint8_t value : image) {
        std::snprintf(byte, sizeof byte, "%02x", value);
        text += byte;
    }
    return text;
}

namespace {

bool PointerListed() {
    for (const HidInterfaceInfo& info : CurrentHidTransport().Enumerate(kVendorId, kProductId)) {
        if (IsMouseInterface(info, kProductId, kPointerUsagePage, kPointerUsage))
            return true;
    }
    return false;
}

}  // namespace

void PlugWithPointer(UhidMouseProcess& mouse) {
    ASSERT_TRUE(mouse.running()) << mouse.error();
    ASSERT_EQ(mouse.Command("plug"), "ok");
    ASSERT_EQ(mouse.Command("pointer plug"), "ok");
    ASSERT_TRUE(WaitUntil(PointerListed, kDeviceTimeoutMs))
        << "hidapi does not list the pointer interface";
}
