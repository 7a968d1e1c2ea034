#pragma once

#include <QWidget>

#include "device/simulated/simulated_pointer_buttons.h"

class SimulatedMouse;

// The simulated mouse's five buttons and its wheel as push buttons of the
// "Simulated mouse" window: held down, a button is held on the mouse; the
// wheel's two turn it a step at a time while held.
class SimulatedButtonsPanel : public QWidget {
    Q_OBJECT
public:
    explicit SimulatedButtonsPanel(SimulatedMouse& mouse, QWidget* parent = nullptr);

private:
    SimulatedPointerButtons buttons_;
};
