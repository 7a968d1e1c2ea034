#include "device/simulated_mouse.h"

// Placeholder until the simulated mouse lands.
struct SimulatedMouse::State {
    MouseFirmware firmware;
};
SimulatedMouse::SimulatedMouse() : state_(std::make_shared<State>()) {}
SimulatedMouse::~SimulatedMouse() = default;
std::vector<HidInterfaceInfo> SimulatedMouse::Enumerate(uint16_t, uint16_t) {
    return {};
}
std::unique_ptr<HidConnection> SimulatedMouse::Open(const std::string&) {
    return nullptr;
}
size_t SimulatedMouse::AddMouse() {
    return 0;
}
MouseFirmware& SimulatedMouse::Firmware(size_t) {
    return state_->firmware;
}
void SimulatedMouse::Unplug(size_t) {}
void SimulatedMouse::Plug(size_t) {}
bool SimulatedMouse::IsPlugged(size_t) const {
    return false;
}
std::vector<std::string> SimulatedMouse::InterfacePaths(size_t) const {
    return {};
}
void SimulatedMouse::SetPlugObserver(std::function<void(const std::string&, bool)>) {}
void SimulatedMouse::FailSends(HidResult, int) {}
void SimulatedMouse::FailFetches(HidResult, int) {}
void SimulatedMouse::SetOpenFails(size_t, bool) {}
void SimulatedMouse::SendInputReport(const std::vector<uint8_t>&, size_t) {}
std::vector<std::vector<uint8_t>> SimulatedMouse::SentReports() const {
    return {};
}
void SimulatedMouse::ClearSentReports() {}
