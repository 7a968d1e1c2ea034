#include "vm/support/kernel_devices.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

namespace fs = std::filesystem;

std::string HidDeviceName(const std::string& hidrawNode) {
    const fs::path link =
        fs::path("/sys/class/hidraw") / fs::path(hidrawNode).filename() / "device";
    std::error_code error;
    const fs::path target = fs::read_symlink(link, error);
    return error ? std::string() : target.filename().string();
}

std::string HidDeviceNamePrefix(uint16_t vendorId, uint16_t productId) {
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "0003:%04X:%04X.", vendorId, productId);
    return prefix;
}

std::vector<std::string> HidrawNodes(uint16_t vendorId, uint16_t productId) {
    const std::string prefix = HidDeviceNamePrefix(vendorId, productId);
    std::vector<std::string> nodes;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator("/sys/class/hidraw", error)) {
        const std::string node = "/dev/" + entry.path().filename().string();
        if (HidDeviceName(node).rfind(prefix, 0) == 0) {
            nodes.push_back(node);
        }
    }
    std::sort(nodes.begin(), nodes.end());
    return nodes;
}

std::string CommandOutput(const std::string& command) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        return output;
    }
    char buffer[4096];
    size_t length;
    while ((length = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        output.append(buffer, length);
    }
    pclose(pipe);
    return output;
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}
