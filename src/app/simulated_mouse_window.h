#pragma once

#include <QWidget>
#include <memory>
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class SimulatedMotion;
class SimulatedMouse;
class SimulatedSession;

// A small window shown with --simulate: the simulated mouse's cable, whether
// this user may open it (as without the udev rule) and its own buttons, so
// that plugging, unplugging and changes made on the mouse can be tried
// without the hardware. Its Move button, held, moves the mouse, so that the
// Basic page's report-rate meter has something to measure.
class SimulatedMouseWindow : public QWidget {
    Q_OBJECT
public:
    explicit SimulatedMouseWindow(SimulatedMouse& mouse, QWidget* parent = nullptr);
    // Also says where the mouse's memory is kept and whether the last save
    // of it failed.
    explicit SimulatedMouseWindow(SimulatedSession& session, QWidget* parent = nullptr);
    ~SimulatedMouseWindow() override;

    // Shows the window beside `main` (right of it where the screen has room,
    // else on the side with more room), wholly on `main`'s screen, and leaves
    // the keyboard focus where it is: with the main window.
    void ShowBeside(QWidget& main);

private:
    void ConnectSignals();
    void TogglePlug();
    // The tool meets it when it next opens the mouse, after a replug, as with a udev rule.
    void SetAccessDenied(bool denied);
    // As the mouse's CPI button: the next level in use becomes active.
    void StepCpiLevel();
    void ChooseReportRate(int index);
    void ShowState();
    void ShowMemoryFile();
    void ShowSaveResult(const std::string& error);
    // Held: the mouse moves, sending motion reports at its set rate.
    void StartMoving();
    void StopMoving();

    SimulatedMouse& mouse_;
    SimulatedSession* session_ = nullptr;
    QLabel* stateLabel_ = nullptr;
    QPushButton* plugButton_ = nullptr;
    QCheckBox* accessDeniedCheck_ = nullptr;
    QPushButton* cpiButton_ = nullptr;
    QComboBox* reportRateList_ = nullptr;
    QLabel* memoryFileLabel_ = nullptr;
    QPushButton* moveButton_ = nullptr;
    QCheckBox* slowdownCheck_ = nullptr;
    std::unique_ptr<SimulatedMotion> motion_;
};
