#pragma once

#include <QDialog>
#include <QSet>
#include <cstdint>
#include <string>

struct KeyEvent;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

// "KEYBOARD KEY": captures the next key pressed (anywhere on the desktop
// where the platform allows, else in this window) or takes one chosen from a
// searchable list, and lets the user add modifiers. On OK the result is in
// keyCapture.
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
    void BuildKeyList();
    void ConnectSignals();
    void InstallHook();
    void OnKeyEvent(const KeyEvent& event);
    void OnKeyChosen(int index);
    void TakeKey(uint16_t virtualKey, char32_t layoutCharacter = 0);
    bool KeyListHasKeyboard() const;
    void OnOk();

    QLabel* keyLabel_ = nullptr;
    QComboBox* keyList_ = nullptr;
    QLabel* captureNote_ = nullptr;
    QCheckBox* shiftCheck_ = nullptr;
    QCheckBox* ctrlCheck_ = nullptr;
    QCheckBox* winCheck_ = nullptr;
    QCheckBox* altCheck_ = nullptr;
    QPushButton* okButton_ = nullptr;

    std::string keyName_;  // the taken key's name; the label may say more
    // Keys whose press this dialog captured. A release counts only after its
    // press: keys typed into the list and the Enter that opened the dialog
    // are not captured when they come up.
    QSet<uint16_t> keysPressed_;
};

// What a fresh capture puts before the key's name for these modifier bits, in
// the dialog's order (Shift, CTRL, Win, Alt; Ctrl is spelled in capitals here).
std::string CapturedModifierPrefix(uint8_t modifiers);
