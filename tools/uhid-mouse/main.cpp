// uhid-mouse: the mouse as a device of the running kernel, for tests of the
// real HID road (hidraw, hidapi, udev). Needs write access to /dev/uhid.
// Commands on standard input, one reply line each on standard output (see
// uhid_mouse.h); ends on "quit" or at the end of its input, unplugging.
//
// usage: uhid-mouse [--vendor ID] [--product ID] [--name TEXT]

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>

#include "device/device_link.h"
#include "uhid_mouse.h"

namespace {

std::optional<uint16_t> ParseId(const char* text) {
    char* end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(text, &end, 0);
    if (errno != 0 || end == text || *end != '\0' || value > 0xFFFF) {
        return std::nullopt;
    }
    return static_cast<uint16_t>(value);
}

bool ParseOptions(int argc, char** argv, UhidMouseOptions& options) {
    for (int i = 1; i < argc; i += 2) {
        const std::string option = argv[i];
        if (i + 1 >= argc) {
            std::cerr << "uhid-mouse: " << option << " wants a value\n";
            return false;
        }
        const char* value = argv[i + 1];
        if (option == "--name") {
            options.name = value;
            continue;
        }
        const std::optional<uint16_t> id = ParseId(value);
        if (!id || (option != "--vendor" && option != "--product")) {
            std::cerr << "uhid-mouse: bad option " << option << " " << value << "\n";
            return false;
        }
        (option == "--vendor" ? options.vendorId : options.productId) = *id;
    }
    return true;
}

// Reads what stdin holds now; complete lines go to the mouse. false at its end.
bool ReadCommands(UhidMouse& mouse, std::string& pending) {
    char buffer[4096];
    const ssize_t length = read(STDIN_FILENO, buffer, sizeof buffer);
    if (length < 0) {
        return errno == EINTR || errno == EAGAIN;
    }
    if (length == 0) {
        return false;
    }
    pending.append(buffer, static_cast<size_t>(length));
    size_t end;
    while (!mouse.quit() && (end = pending.find('\n')) != std::string::npos) {
        const std::string line = pending.substr(0, end);
        pending.erase(0, end + 1);
        std::cout << mouse.Execute(line) << std::endl;
    }
    return !mouse.quit();
}

}  // namespace

int main(int argc, char** argv) {
    UhidMouseOptions options{kVendorId, kProductId, "Kestrine XQ3 8k v2"};
    if (!ParseOptions(argc, argv, options)) {
        std::cerr << "usage: uhid-mouse [--vendor ID] [--product ID] [--name TEXT]\n";
        return 2;
    }
    UhidMouse mouse(options);
    if (!mouse.Open()) {
        std::cerr << "uhid-mouse: " << mouse.error() << "\n";
        return 1;
    }
    std::string pending;
    for (;;) {
        pollfd fds[] = {{STDIN_FILENO, POLLIN, 0},
                        {mouse.ConfigFd(), POLLIN, 0},
                        {mouse.EventFd(), POLLIN, 0},
                        {mouse.PointerFd(), POLLIN, 0}};
        if (poll(fds, 4, -1) < 0 && errno != EINTR) {
            std::perror("uhid-mouse: poll");
            return 1;
        }
        mouse.HandleKernelEvents();
        if ((fds[0].revents & (POLLIN | POLLHUP)) && !ReadCommands(mouse, pending)) {
            break;
        }
    }
    mouse.Execute("unplug");
    return 0;
}
