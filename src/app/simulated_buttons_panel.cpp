#include "app/simulated_buttons_panel.h"

#include <QGridLayout>
#include <QPushButton>

namespace {

struct PanelButton {
    const char* text;
    const char* name;
    int slot;
    int row;
    int column;
};
// Laid out roughly as on the mouse: the main buttons and the wheel in front,
// the side buttons below.
constexpr PanelButton kPanelButtons[] = {
    {"Left", "simulatedLeftButton", 0, 0, 0},
    {"Wheel up", "simulatedWheelUpButton", 6, 0, 1},
    {"Right", "simulatedRightButton", 1, 0, 2},
    {"Forward", "simulatedForwardButton", 3, 1, 0},
    {"Middle", "simulatedMiddleButton", 2, 1, 1},
    {"Back", "simulatedBackButton", 4, 2, 0},
    {"Wheel down", "simulatedWheelDownButton", 7, 2, 1},
};
constexpr int kWheelStepDelayMs = 300;
constexpr int kWheelStepMs = 80;

}  // namespace

SimulatedButtonsPanel::SimulatedButtonsPanel(SimulatedMouse& mouse, QWidget* parent)
    : QWidget(parent), buttons_(mouse) {
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    for (const PanelButton& entry : kPanelButtons) {
        auto* button = new QPushButton(entry.text, this);
        button->setObjectName(entry.name);
        button->setAutoDefault(false);
        const bool wheel = entry.slot >= 6;
        button->setToolTip(wheel ? "Hold to turn the wheel: one step, then more while held."
                                 : "Hold to hold the button down on the mouse. It does "
                                   "what the mouse is set to: a button set to DISABLE, a "
                                   "key or media sends no press.");
        if (wheel) {
            // Each repeat lets go and presses again: a step each time.
            button->setAutoRepeat(true);
            button->setAutoRepeatDelay(kWheelStepDelayMs);
            button->setAutoRepeatInterval(kWheelStepMs);
        }
        const int slot = entry.slot;
        connect(button, &QPushButton::pressed, this, [this, slot] { buttons_.Press(slot); });
        connect(button, &QPushButton::released, this, [this, slot] { buttons_.Release(slot); });
        grid->addWidget(button, entry.row, entry.column);
    }
}
