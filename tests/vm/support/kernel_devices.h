#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// What the VM's kernel and udev show of HID devices, read the way an
// administrator would: sysfs, /dev and udevadm.

// The HID device name of a hidraw node ("/dev/hidraw0" ->
// "0003:5B29:0C7E.0001"), empty when the node has gone.
std::string HidDeviceName(const std::string& hidrawNode);
// The hidraw nodes of every USB HID device with these ids, sorted.
std::vector<std::string> HidrawNodes(uint16_t vendorId, uint16_t productId);
// "0003:5B29:0C7E." : the start of every HID device name of the ids.
std::string HidDeviceNamePrefix(uint16_t vendorId, uint16_t productId);
// Runs a shell command; its standard output.
std::string CommandOutput(const std::string& command);
// Calls done() every 10 ms until it holds or the timeout passes.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs);
// The limit of every wait for something the kernel, udev or a program does:
// a wait ends as soon as what it waits for holds, and only a run where it
// never would reaches this. Emulated on a loaded host, the VM can take many
// seconds for what takes milliseconds on hardware; the VM's own watchdog
// still ends the run as a whole.
inline constexpr int kDeviceTimeoutMs = 60'000;
