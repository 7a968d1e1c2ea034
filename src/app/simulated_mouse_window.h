#pragma once

#include <QWidget>

class QComboBox;
class QLabel;
class QPushButton;
class SimulatedMouse;

// A small window shown with --simulate: the simulated mouse's cable and its
// own buttons, so that plugging, unplugging and changes made on the mouse can
// be tried without the hardware.
class SimulatedMouseWindow : public QWidget {
    Q_OBJECT
public:
    explicit SimulatedMouseWindow(SimulatedMouse& mouse, QWidget* parent = nullptr);

private:
    void ConnectSignals();
    void TogglePlug();
    // As the mouse's CPI button: the next level in use becomes active.
    void StepCpiLevel();
    void ChooseReportRate(int index);
    void ShowState();

    SimulatedMouse& mouse_;
    QLabel* stateLabel_ = nullptr;
    QPushButton* plugButton_ = nullptr;
    QPushButton* cpiButton_ = nullptr;
    QComboBox* reportRateList_ = nullptr;
};
