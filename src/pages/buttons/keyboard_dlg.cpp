#include "pages/buttons/keyboard_dlg.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "pages/buttons/key_source.h"
#include "settings/button_actions.h"
#include "ui/dialog_keys.h"
#include "ui/message_box.h"

CKeyboard::CKeyboard(QWidget* parent) : QDialog(parent) {
    BuildLayout();
    ConnectSignals();
}

CKeyboard::~CKeyboard() {
    RemoveKeyHook(this);
}

void CKeyboard::BuildLayout() {
    setWindowTitle("KEYBOARD KEY");
    setMinimumSize(380, 150);
    auto* prompt = new QLabel("Enter a key:", this);
    prompt->setObjectName("keyPromptLabel");
    keyLabel_ = new QLabel(this);
    keyLabel_->setObjectName("keyLabel");
    keyLabel_->setFrameShape(QFrame::Box);
    keyLabel_->setAlignment(Qt::AlignCenter);
    keyLabel_->setMinimumSize(240, 32);

    shiftCheck_ = new QCheckBox("SHIFT", this);
    shiftCheck_->setObjectName("shiftCheck");
    ctrlCheck_ = new QCheckBox("CTRL", this);
    ctrlCheck_->setObjectName("ctrlCheck");
    winCheck_ = new QCheckBox("WIN", this);
    winCheck_->setObjectName("winCheck");
    altCheck_ = new QCheckBox("ALT", this);
    altCheck_->setObjectName("altCheck");
    okButton_ = new QPushButton("OK", this);
    okButton_->setObjectName("keyboardOkButton");

    auto* keyRow = new QHBoxLayout;
    keyRow->addWidget(prompt);
    keyRow->addWidget(keyLabel_, 1);
    auto* boxes = new QHBoxLayout;
    for (QCheckBox* box : {shiftCheck_, ctrlCheck_, winCheck_, altCheck_}) {
        boxes->addWidget(box);
    }
    boxes->addStretch();
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(okButton_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->addLayout(keyRow);
    layout->addSpacing(12);
    layout->addLayout(boxes);
    layout->addStretch();
    layout->addLayout(bottom);
}

void CKeyboard::ConnectSignals() {
    connect(okButton_, &QPushButton::clicked, this, &CKeyboard::OnOk);
}

void CKeyboard::InstallHook() {
    const bool installed = InstallKeyHook(
        this, [this](uint16_t virtualKey, bool released) { OnKeyEvent(virtualKey, released); });
    if (!installed) {
        ShowMessage(this, "hook failed.");
    }
}

bool CKeyboard::CapturesKeys() const {
    return KeyHookOwnedBy(this);
}

void CKeyboard::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Opening starts the capture; a dialog shown again after OK starts it again.
    if (!event->spontaneous() && !KeyHookOwnedBy(this)) {
        InstallHook();
    }
}

void CKeyboard::OnKeyEvent(uint16_t virtualKey, bool /*released*/) {
    keyCapture.keyCode = virtualKey;
    keyCapture.keyText = KeyName(virtualKey);
    keyLabel_->setText(QString::fromStdString(keyCapture.keyText));
}

void CKeyboard::OnOk() {
    // The prefixes of a fresh capture, in this order; Ctrl is spelled in capitals here.
    const struct {
        const QCheckBox* box;
        const char* prefix;
        uint8_t bit;
    } boxes[] = {
        {shiftCheck_, "Shift+", kShiftBit},
        {ctrlCheck_, "CTRL+", kCtrlBit},
        {winCheck_, "Win+", kWinBit},
        {altCheck_, "Alt+", kAltBit},
    };
    const std::string keyText = keyLabel_->text().toStdString();
    std::string prefix;
    keyCapture.modifiers = 0;
    for (const auto& entry : boxes) {
        if (entry.box->isChecked()) {
            prefix += entry.prefix;
            keyCapture.modifiers |= entry.bit;
        }
    }
    keyCapture.keyText = prefix + keyText;
    accept();
}

void CKeyboard::done(int result) {
    // No hook outlives the dialog, however it was closed.
    RemoveKeyHook(this);
    QDialog::done(result);
}

void CKeyboard::keyPressEvent(QKeyEvent* event) {
    // Esc must not cancel and Enter must not confirm; both are captured like any key.
    if (!SwallowEnterAndEscape(event)) {
        QDialog::keyPressEvent(event);
    }
}
