#include "pages/button_mapping/key_capture_dialog.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QVBoxLayout>

#include "pages/button_mapping/key_source.h"
#include "pages/button_mapping/keyboard_layout.h"
#include "settings/button_actions.h"
#include "settings/key_table.h"
#include "ui/keyboard_focus.h"
#include "ui/message_box.h"

namespace {

constexpr char kCapturedInThisWindow[] = "Keys are captured only while this window is active.";
constexpr char kAltGrNote[] = "AltGr cannot be stored: the mouse sends Right Alt";
constexpr char kKeyFieldName[] = "Key to bind";
constexpr char kKeyFieldHelp[] =
    "Press the key to bind, with any modifiers; Tab moves on, Esc cancels.";

constexpr uint16_t kTabKey = 0x09;
constexpr uint16_t kEscKey = 0x1B;
constexpr uint16_t kRightAltKey = 0xA5;  // AltGr on most layouts but the US one

// The list: a bold, unselectable heading before each group, then its keys
// with their virtual-key codes as data.
QStandardItemModel* KeyListModel(QObject* parent) {
    auto* model = new QStandardItemModel(parent);
    bool first = true;
    KeyGroup group{};
    for (const AssignableKey& key : AssignableKeys()) {
        if (first || key.group != group) {
            auto* heading = new QStandardItem(KeyGroupName(key.group));
            heading->setFlags(Qt::NoItemFlags);
            // Unselectable, but a heading to read, not a greyed-out key.
            heading->setForeground(QApplication::palette().brush(QPalette::WindowText));
            QFont font = heading->font();
            font.setBold(true);
            heading->setFont(font);
            model->appendRow(heading);
            group = key.group;
            first = false;
        }
        auto* item = new QStandardItem(QString::fromUtf8(key.name));
        item->setData(key.virtualKey, Qt::UserRole);
        model->appendRow(item);
    }
    return model;
}

}  // namespace

CKeyboard::CKeyboard(QWidget* parent) : QDialog(parent) {
    BuildLayout();
    ConnectSignals();
    ShowFocusFrameFromTheStart(this);
}

CKeyboard::~CKeyboard() {
    RemoveKeyHook(this);
}

void CKeyboard::BuildLayout() {
    setWindowTitle("KEYBOARD KEY");
    setMinimumSize(480, 190);
    auto* prompt = new QLabel("Enter a key:", this);
    prompt->setObjectName("keyPromptLabel");
    keyLabel_ = new QLabel(this);
    keyLabel_->setObjectName("keyLabel");
    keyLabel_->setFrameShape(QFrame::Box);
    keyLabel_->setAlignment(Qt::AlignCenter);
    keyLabel_->setMinimumSize(240, 32);
    // A refusal names the key and where to find its work: two lines at most.
    keyLabel_->setWordWrap(true);
    // The key field takes the focus and the keys pressed there; a frame that
    // moves with the focus shows where the keys go.
    keyLabel_->setFocusPolicy(Qt::StrongFocus);
    keyLabel_->setStyleSheet(
        "QLabel#keyLabel { border: 1px solid palette(mid); }"
        "QLabel#keyLabel:focus { border: 2px solid palette(highlight); }");
    keyLabel_->setAccessibleDescription(kKeyFieldHelp);
    keyLabel_->setToolTip(kKeyFieldHelp);
    keyLabel_->installEventFilter(this);
    prompt->setBuddy(keyLabel_);
    modifierNote_ = new QLabel(this);
    modifierNote_->setObjectName("modifierNoteLabel");
    modifierNote_->hide();
    captureNote_ = new QLabel(kCapturedInThisWindow, this);
    captureNote_->setObjectName("captureNoteLabel");
    captureNote_->hide();
    BuildKeyList();
    auto* listPrompt = new QLabel("Or choose one:", this);
    listPrompt->setObjectName("keyListLabel");
    listPrompt->setBuddy(keyList_);

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
    cancelButton_ = new QPushButton("Cancel", this);
    cancelButton_->setObjectName("keyboardCancelButton");
    // Enter presses the button that has the focus and no other (keyPressEvent).
    for (QPushButton* button : {okButton_, cancelButton_}) {
        button->setAutoDefault(false);
    }

    auto* keyRows = new QGridLayout;
    keyRows->setHorizontalSpacing(12);
    keyRows->addWidget(prompt, 0, 0);
    keyRows->addWidget(keyLabel_, 0, 1);
    keyRows->addWidget(captureNote_, 1, 1);
    keyRows->addWidget(modifierNote_, 2, 1);
    keyRows->addWidget(listPrompt, 3, 0);
    keyRows->addWidget(keyList_, 3, 1);
    keyRows->setColumnStretch(1, 1);
    auto* boxes = new QHBoxLayout;
    for (QCheckBox* box : {shiftCheck_, ctrlCheck_, winCheck_, altCheck_}) {
        boxes->addWidget(box);
    }
    boxes->addStretch();
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(okButton_);
    bottom->addWidget(cancelButton_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->addLayout(keyRows);
    layout->addSpacing(12);
    layout->addLayout(boxes);
    layout->addStretch();
    layout->addLayout(bottom);

    setTabOrder(keyLabel_, keyList_);
    setTabOrder(keyList_, shiftCheck_);
    setTabOrder(shiftCheck_, ctrlCheck_);
    setTabOrder(ctrlCheck_, winCheck_);
    setTabOrder(winCheck_, altCheck_);
    setTabOrder(altCheck_, okButton_);
    setTabOrder(okButton_, cancelButton_);
    // The first key pressed is captured; OK waits for a key.
    keyLabel_->setFocus();
    okButton_->setEnabled(false);
    ShowKey({});
}

void CKeyboard::BuildKeyList() {
    keyList_ = new QComboBox(this);
    keyList_->setObjectName("keyList");
    keyList_->setEditable(true);
    keyList_->setInsertPolicy(QComboBox::NoInsert);
    keyList_->setMaxVisibleItems(16);
    keyList_->setModel(KeyListModel(keyList_));
    keyList_->setCurrentIndex(-1);
    keyList_->lineEdit()->setPlaceholderText("Type to search");
    // The search field is what has the focus inside the list; it says what it searches.
    keyList_->lineEdit()->setAccessibleName("Search the keys to choose one");
    auto* completer = new QCompleter(keyList_->model(), keyList_);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    completer->setFilterMode(Qt::MatchContains);
    completer->setCompletionMode(QCompleter::PopupCompletion);
    completer->setMaxVisibleItems(16);
    keyList_->setCompleter(completer);
}

void CKeyboard::ConnectSignals() {
    connect(okButton_, &QPushButton::clicked, this, &CKeyboard::OnOk);
    connect(cancelButton_, &QPushButton::clicked, this, &CKeyboard::reject);
    connect(keyList_, &QComboBox::activated, this, &CKeyboard::OnKeyChosen);
}

void CKeyboard::InstallHook() {
    const bool installed =
        InstallKeyHook(this, [this](const KeyEvent& event) { OnKeyEvent(event); });
    if (!installed) {
        ShowMessage(this, "hook failed.");
    }
    captureNote_->setVisible(installed && !KeyHookCapturesEverywhere());
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

bool CKeyboard::KeyFieldHasFocus() const {
    // The dialog's own focus child, which stays while another application is
    // active: a global source keeps capturing there.
    return focusWidget() == keyLabel_;
}

void CKeyboard::OnKeyEvent(const KeyEvent& event) {
    const uint16_t key = event.virtualKey;
    if (event.released) {
        // Only presses are captured: the release of the Enter that opened the
        // dialog, or of a chord's modifiers, takes nothing.
        modifiersHeld_.remove(key);
        return;
    }
    if (!KeyFieldHasFocus() || key == kTabKey || key == kEscKey) {
        return;  // a key for another control, Tab moving on, Esc cancelling
    }
    keyList_->setCurrentIndex(-1);  // the list no longer shows the key taken; empties the field
    modifierNote_->hide();
    TakeKey(key, event.layoutKeysym);
    if (ModifierBitOfKey(key) != 0) {
        modifiersHeld_.insert(key);  // alone it is the key; with a key after it, a modifier
    } else if (!modifiersHeld_.isEmpty() && KeyCanBeAssigned(key)) {
        TakeHeldModifiers();
    }
}

void CKeyboard::TakeHeldModifiers() {
    uint8_t bits = 0;
    for (const uint16_t key : std::as_const(modifiersHeld_)) {
        if (key == kRightAltKey) {
            // The mouse sends left-hand modifiers only; Left Alt with the key
            // would type another character than AltGr does.
            modifierNote_->setText(kAltGrNote);
            modifierNote_->show();
        } else {
            bits |= ModifierBitOfKey(key);
        }
    }
    shiftCheck_->setChecked(bits & kShiftBit);
    ctrlCheck_->setChecked(bits & kCtrlBit);
    winCheck_->setChecked(bits & kWinBit);
    altCheck_->setChecked(bits & kAltBit);
}

void CKeyboard::OnKeyChosen(int index) {
    const QVariant virtualKey = keyList_->itemData(index, Qt::UserRole);
    if (virtualKey.isValid()) {
        TakeKey(static_cast<uint16_t>(virtualKey.toUInt()));
    }
}

void CKeyboard::TakeKey(uint16_t virtualKey, uint32_t layoutKeysym) {
    // A key the mouse cannot send refuses the whole capture: no code, and no
    // modifier box left ticked to be stored alone.
    const bool assignable = KeyCanBeAssigned(virtualKey);
    keyCapture.keyCode = assignable ? virtualKey : 0;
    keyName_ = assignable ? KeyName(virtualKey) : std::string();
    keyCapture.keyText = keyName_;
    if (!assignable) {
        for (QCheckBox* box : {shiftCheck_, ctrlCheck_, winCheck_, altCheck_}) {
            box->setChecked(false);
        }
    }
    okButton_->setEnabled(assignable);
    ShowKey(assignable ? KeyLabel(virtualKey, layoutKeysym)
                       : QString::fromStdString(KeyRefusalText(virtualKey)));
}

void CKeyboard::ShowKey(const QString& text) {
    keyLabel_->setText(text);
    // The field's name carries the key, so a screen reader says what was taken.
    keyLabel_->setAccessibleName(text.isEmpty() ? QString(kKeyFieldName)
                                                : QString("%1: %2").arg(kKeyFieldName, text));
    QAccessibleEvent changed(keyLabel_, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
}

bool CKeyboard::eventFilter(QObject* watched, QEvent* event) {
    const auto type = event->type();
    if (watched == keyLabel_ && (type == QEvent::KeyPress || type == QEvent::KeyRelease)) {
        // Tab and Shift+Tab move on and Esc cancels; every other key pressed
        // in the key field is the key to capture, not a press of something.
        switch (static_cast<QKeyEvent*>(event)->key()) {
            case Qt::Key_Tab:
            case Qt::Key_Backtab:
            case Qt::Key_Escape:
                return false;
            default:
                event->accept();
                return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CKeyboard::OnOk() {
    const struct {
        const QCheckBox* box;
        uint8_t bit;
    } boxes[] = {
        {shiftCheck_, kShiftBit},
        {ctrlCheck_, kCtrlBit},
        {winCheck_, kWinBit},
        {altCheck_, kAltBit},
    };
    keyCapture.modifiers = 0;
    for (const auto& entry : boxes) {
        if (entry.box->isChecked()) {
            keyCapture.modifiers |= entry.bit;
        }
    }
    if (keyCapture.keyCode == 0) {
        return;  // no key taken: OK is off, and a modifier alone is no binding
    }
    keyCapture.keyText = ModifierPrefix(keyCapture.modifiers) + keyName_;
    accept();
}

void CKeyboard::done(int result) {
    // No hook outlives the dialog, however it was closed.
    RemoveKeyHook(this);
    QDialog::done(result);
}

void CKeyboard::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
            reject();
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // Enter presses the focused button; elsewhere it confirms nothing.
            if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
                button->click();
            }
            event->accept();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}
