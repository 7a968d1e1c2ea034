#include "device/simulated/simulated_pointer_buttons.h"

#include <vector>

#include "device/simulated/simulated_mouse.h"
#include "settings/button_actions.h"
#include "settings/pointer_actions.h"

namespace {

// The pointer report's bytes: buttons, X, Y, wheel, then padding.
constexpr size_t kPointerReportSize = 8;
constexpr size_t kWheelByte = 3;

}  // namespace

SimulatedPointerButtons::SimulatedPointerButtons(SimulatedMouse& mouse, size_t index)
    : mouse_(mouse), index_(index) {}

void SimulatedPointerButtons::Press(int slot) {
    if (slot < 0 || slot >= kButtonSlotCount) {
        return;
    }
    SettingsRecord held{};
    DecodeSettingsImage(mouse_.Firmware(index_).Memory(), held);
    const ButtonAction& action = held.buttons[slot];
    if (action.kind == static_cast<uint8_t>(ActionKind::CpiLoop)) {
        mouse_.PressCpiButton(index_);
        return;
    }
    const PointerOutput output = PointerOutputOf(action);
    if (output.buttonBits != 0) {
        holding_[slot] = output.buttonBits;
        SendHeld();
    }
    if (output.wheelStep != 0) {
        std::vector<uint8_t> step(kPointerReportSize, 0);
        step[kWheelByte] = static_cast<uint8_t>(output.wheelStep);
        mouse_.SendPointerReport(step, index_);
    }
}

void SimulatedPointerButtons::Release(int slot) {
    if (slot < 0 || slot >= kButtonSlotCount || holding_[slot] == 0) {
        return;
    }
    holding_[slot] = 0;
    SendHeld();
}

uint8_t SimulatedPointerButtons::HeldBits() const {
    uint8_t bits = 0;
    for (uint8_t holding : holding_) {
        bits |= holding;
    }
    return bits;
}

// A report of its own at each change, as a mouse reports a press or a release.
void SimulatedPointerButtons::SendHeld() {
    mouse_.SetPointerButtonsHeld(HeldBits(), index_);
    mouse_.SendPointerReport(std::vector<uint8_t>(kPointerReportSize, 0), index_);
}
