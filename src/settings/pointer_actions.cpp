#include "settings/pointer_actions.h"

#include "settings/button_actions.h"

namespace {

// The five buttons a HID mouse report of the mouse carries.
constexpr uint8_t kReportButtonBits = 0x1F;

}  // namespace

PointerOutput PointerOutputOf(const ButtonAction& action) {
    switch (static_cast<ActionKind>(action.kind)) {
        case ActionKind::MouseButton:
            return {static_cast<uint8_t>(action.code & kReportButtonBits), 0};
        case ActionKind::Wheel:
            // The step as a signed byte: 0x01 up, 0xFF down.
            return {0, static_cast<int8_t>(action.code)};
        default:
            return {};
    }
}

uint8_t SlotsSending(const SettingsRecord& held, uint32_t buttonBits, int64_t wheel) {
    uint8_t slots = 0;
    for (int slot = 0; slot < kButtonSlotCount; ++slot) {
        const PointerOutput output = PointerOutputOf(held.buttons[slot]);
        const bool sendsButton = (output.buttonBits & buttonBits) != 0;
        const bool turnsWheel =
            wheel != 0 && output.wheelStep != 0 && (output.wheelStep > 0) == (wheel > 0);
        if (sendsButton || turnsWheel) {
            slots |= static_cast<uint8_t>(1u << slot);
        }
    }
    return slots;
}
