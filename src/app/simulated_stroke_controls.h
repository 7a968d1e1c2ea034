#pragma once

#include <QWidget>
#include <memory>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class SimulatedMotion;
class SimulatedMouse;

// The simulated mouse's stroke along a ruler, for trying the CPI check
// without a mouse: its sensor reads a chosen per cent off the CPI its active
// level is set to, and Stroke moves it that many counts for the distance, at
// its set rate.
class SimulatedStrokeControls : public QWidget {
    Q_OBJECT
public:
    explicit SimulatedStrokeControls(SimulatedMouse& mouse, QWidget* parent = nullptr);
    ~SimulatedStrokeControls() override;

    // Waits until a stroke started by the button has ended (tests).
    void WaitUntilStill();

private:
    void MakeStroke();

    SimulatedMouse& mouse_;
    std::unique_ptr<SimulatedMotion> motion_;
    QDoubleSpinBox* distanceField_ = nullptr;
    QDoubleSpinBox* offField_ = nullptr;
    QComboBox* wayList_ = nullptr;
    QPushButton* strokeButton_ = nullptr;
    QLabel* countsLabel_ = nullptr;
};
