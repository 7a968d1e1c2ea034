#pragma once

#include <QDialog>
#include <QSet>
#include <QString>
#include <cstdint>
#include <string>

struct KeyEvent;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

// "KEYBOARD KEY": while its key field has the focus (it has at opening),
// captures the key pressed (anywhere on the desktop where the platform allows,
// else in this window), with the modifiers held; or takes one chosen from a
// searchable list, and lets the user add modifiers. Tab moves on from the key
// field as everywhere else, Esc cancels. On OK the result is in keyCapture.
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
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildLayout();
    void BuildKeyList();
    void ConnectSignals();
    void InstallHook();
    void OnKeyEvent(const KeyEvent& event);
    void OnKeyChosen(int index);
    void TakeKey(uint16_t virtualKey, uint32_t layoutKeysym = 0);
    void TakeHeldModifiers();
    void ShowKey(const QString& text);
    bool KeyFieldHasFocus() const;
    void OnOk();

    QLabel* keyLabel_ = nullptr;
    QComboBox* keyList_ = nullptr;
    QLabel* captureNote_ = nullptr;
    QLabel* modifierNote_ = nullptr;
    QCheckBox* shiftCheck_ = nullptr;
    QCheckBox* ctrlCheck_ = nullptr;
    QCheckBox* winCheck_ = nullptr;
    QCheckBox* altCheck_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;

    std::string keyName_;  // the taken key's name; the label may say more
    // Modifier keys held down, by key code, as pressed in the key field: a key
    // pressed with them takes them as its modifiers.
    QSet<uint16_t> modifiersHeld_;
};
