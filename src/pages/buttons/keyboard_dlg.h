#pragma once

#include <QDialog>
#include <cstdint>

class QCheckBox;
class QLabel;
class QPushButton;

// "KEYBOARD KEY": captures the next key pressed anywhere on the desktop and
// lets the user add modifiers. On OK the result is in keyCapture.
class CKeyboard : public QDialog {
    Q_OBJECT
public:
    explicit CKeyboard(QWidget* parent = nullptr);
    ~CKeyboard() override;

    // Whether this dialog receives key events (false after "hook failed.").
    bool CapturesKeys() const;

    void done(int result) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void BuildLayout();
    void ConnectSignals();
    void InstallHook();
    void OnKeyEvent(uint16_t virtualKey, bool released);
    void OnOk();

    QLabel* keyLabel_ = nullptr;
    QCheckBox* shiftCheck_ = nullptr;
    QCheckBox* ctrlCheck_ = nullptr;
    QCheckBox* winCheck_ = nullptr;
    QCheckBox* altCheck_ = nullptr;
    QPushButton* okButton_ = nullptr;
};
