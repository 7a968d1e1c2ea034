#include "pages/button_mapping/button_mapping_page.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>
#include <unordered_map>
#include <vector>

#include "pages/button_mapping/fixed_cpi_dialog.h"
#include "pages/button_mapping/key_capture_dialog.h"
#include "pages/button_mapping/keyboard_layout.h"
#include "pages/button_mapping/live_buttons.h"
#include "settings/button_actions.h"
#include "settings/key_table.h"
#include "settings/settings_image.h"
#include "ui/menu_button.h"

namespace {

struct RowInfo {
    const char* label;
    const char* buttonText;  // the text until an action is loaded or chosen
    int slot;                // row 1 in left-handed mode: slot 0
    bool offersFixedCpi;
};
constexpr RowInfo kRows[] = {
    {"Right Button", "RIGHT CLICK", 1, true}, {"Middle Button", "MIDDLE CLICK", 2, true},
    {"Forward Button", "FORWARD", 3, true},   {"Back Button", "BACK", 4, true},
    {"Wheel Up", "SCROLL UP", 6, false},      {"Wheel Down", "SCROLL DOWN", 7, false},
};
constexpr int kLeftSlot = 0;
constexpr int kRightSlot = 1;
constexpr int kNoRow = -1;
// The row whose button shows a slot; slot 5 has none.
constexpr int kRowOfSlot[kButtonSlotCount] = {0, 0, 1, 2, 3, kNoRow, 4, 5};
// The part of the drawing that is a slot's button; slot 5 is not drawn.
constexpr std::optional<MousePart> kPartOfSlot[kButtonSlotCount] = {
    MousePart::Left, MousePart::Right, MousePart::Middle,  MousePart::Forward,
    MousePart::Back, std::nullopt,     MousePart::WheelUp, MousePart::WheelDown,
};
const char kPressHint[] =
    "A button pressed on the mouse lights up here. One set to a key, media, CPI or "
    "DISABLE sends no mouse click, so it stays dark.";

struct SubMenu {
    const char* title;
    std::vector<int> commands;
};
// Top-level entries in order; a submenu with no title is a plain item.
const SubMenu kMenu[] = {
    {"MOUSE", {8001, 8002, 8003, 8004, 8005, 8006, 8007}},
    {nullptr, {kKeyboardKeyCommand}},
    {"CPI", {8051, kFixedCpiCommand}},
    {"MEDIA", {8021, 8022, 8023, 8024, 8025, 8026, 8027, 8028}},
    {nullptr, {8060}},
};

constexpr int kHighestVirtualKey = 0xFF;

// Every text an action button can be given: the menu's actions, a key with all
// four modifiers, and the widest fixed CPI values.
QStringList TextsAnActionButtonShows() {
    QStringList texts;
    for (const ActionEntry& entry : ActionTable()) {
        texts << entry.label;
    }
    const QString allPrefixes =
        QString::fromStdString(ModifierPrefix(kShiftBit | kCtrlBit | kWinBit | kAltBit));
    for (int key = 0; key <= kHighestVirtualKey; ++key) {
        texts << allPrefixes + QString::fromStdString(KeyName(key));
    }
    // Every key with what a layout may type on it, the longest legend on a
    // short key, and a usage read back that no key has.
    for (const KeyRow& key : AssignableKeys()) {
        texts << allPrefixes + key.name + " (W)";
    }
    texts << allPrefixes + "` (Katakana/Hiragana)";
    texts << allPrefixes + QString::fromStdString(UnknownUsageName(0xFF));
    texts << QString::fromStdString(FormatFixedCpiText(30000, 30000))
          << QString::fromStdString(FormatFixedCpiText(30000, 29990));
    return texts;
}

// A text's width from its characters' widths, each looked up once: close to
// the laid-out width (kerning moves it by a few per cent) at a fraction of the cost.
class WidthEstimate {
public:
    explicit WidthEstimate(const QFontMetrics& metrics) : metrics_(metrics) {}

    int Of(const QString& text) {
        int width = 0;
        for (const QChar c : text) {
            auto known = widths_.find(c.unicode());
            if (known == widths_.end()) {
                known = widths_.emplace(c.unicode(), metrics_.horizontalAdvance(c)).first;
            }
            width += known->second;
        }
        return width;
    }

private:
    const QFontMetrics& metrics_;
    std::unordered_map<char16_t, int> widths_;
};

// Wide enough for the widest of those texts, so no text is ever cut. Laying
// out all few hundred of them would cost start-up a millisecond: only those
// whose estimate comes near the widest are laid out.
int ActionButtonWidth(QPushButton* button) {
    const QFontMetrics metrics = button->fontMetrics();
    const QStringList texts = TextsAnActionButtonShows();
    WidthEstimate estimate(metrics);
    std::vector<int> estimates;
    estimates.reserve(texts.size());
    for (const QString& text : texts) {
        estimates.push_back(estimate.Of(text));
    }
    const int widestEstimate = *std::max_element(estimates.begin(), estimates.end());
    QString widest;
    int widestAdvance = -1;
    for (qsizetype i = 0; i < texts.size(); ++i) {
        if (estimates[i] * 10 < widestEstimate * 9) {
            continue;
        }
        if (const int advance = metrics.horizontalAdvance(texts[i]); advance > widestAdvance) {
            widest = texts[i];
            widestAdvance = advance;
        }
    }
    const QString shown = button->text();
    button->setText(widest);
    const int width = button->sizeHint().width();
    button->setText(shown);
    return width;
}

constexpr ActionValues kLeftClick = {static_cast<uint8_t>(ActionKind::MouseButton), 0x01, 0, 0};

}  // namespace

CMouseSet::CMouseSet(PageHost& host, QWidget* parent) : SettingsPage(host, parent) {
    BuildLayout();
    SetUpKeyboardAndNames();
    BuildMenu();
    ConnectSignals();
    ShowCallouts();
    CallOnLayoutChange(this, [this] { ShowActionTexts(); });
}

void CMouseSet::BuildLayout() {
    leftHandedCheck_ = new QCheckBox("Left-handed Mode", this);
    leftHandedCheck_->setObjectName("leftHandedCheck");

    auto* rows = new QGridLayout;
    rows->setHorizontalSpacing(24);
    rows->setVerticalSpacing(14);
    for (int row = 0; row < kRowCount; ++row) {
        rowLabels_[row] = new QLabel(kRows[row].label, this);
        rowLabels_[row]->setObjectName(QString("rowLabel%1").arg(row + 1));
        // Room around the text for the light of a pressed button.
        rowLabels_[row]->setContentsMargins(4, 2, 4, 2);
        actionButtons_[row] = new QPushButton(kRows[row].buttonText, this);
        actionButtons_[row]->setObjectName(QString("actionButton%1").arg(row + 1));
        actionButtons_[row]->setAutoDefault(false);
        rows->addWidget(rowLabels_[row], row, 0);
        rows->addWidget(actionButtons_[row], row, 1);
    }
    const int buttonWidth = ActionButtonWidth(actionButtons_[0]);
    for (QPushButton* button : actionButtons_) {
        button->setFixedWidth(buttonWidth);
    }
    rows->setColumnMinimumWidth(0, 120);

    auto* hint = new QLabel(kPressHint, this);
    hint->setObjectName("pressHint");
    hint->setWordWrap(true);
    hint->setForegroundRole(QPalette::PlaceholderText);

    auto* column = new QVBoxLayout;
    column->addWidget(leftHandedCheck_);
    column->addSpacing(12);
    column->addLayout(rows);
    column->addSpacing(16);
    column->addWidget(hint);
    column->addStretch();

    drawing_ = new MouseDrawing(this);
    live_ = new LiveButtons(Session(), this);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(24, 16, 16, 16);
    layout->setSpacing(0);
    layout->addLayout(column);
    layout->addWidget(drawing_, 1);
}

// Each row's label names its button for a screen reader (which reads the
// action as the button's own name), and Space opens the row's menu. The Tab
// order is the creation order, which reads row by row.
void CMouseSet::SetUpKeyboardAndNames() {
    for (int row = 0; row < kRowCount; ++row) {
        rowLabels_[row]->setBuddy(actionButtons_[row]);
        ClickOnSpacePress(actionButtons_[row]);
        ReportOpensMenu(actionButtons_[row]);
        // Followed for the highlight on the drawing.
        rowLabels_[row]->installEventFilter(this);
        actionButtons_[row]->installEventFilter(this);
    }
}

void CMouseSet::BuildMenu() {
    actionMenu_ = new QMenu(this);
    actionMenu_->setObjectName("actionMenu");
    for (const SubMenu& entry : kMenu) {
        QMenu* target = actionMenu_;
        if (entry.title) {
            target = actionMenu_->addMenu(entry.title);
            target->setObjectName(QString("%1Menu").arg(QString(entry.title).toLower()));
        }
        for (int command : entry.commands) {
            QAction* action = target->addAction(FindActionByCommand(command)->label);
            action->setData(command);
            if (command == kFixedCpiCommand) {
                cpiMenu_ = target;
                fixedCpiAction_ = action;
            }
        }
    }
}

void CMouseSet::ConnectSignals() {
    connect(leftHandedCheck_, &QCheckBox::clicked, this, &CMouseSet::OnLeftHandedClicked);
    for (int row = 0; row < kRowCount; ++row) {
        connect(actionButtons_[row], &QPushButton::clicked, this,
                [this, row] { OnRowClicked(row); });
    }
    // A button of the drawing is its row's button.
    connect(drawing_, &MouseDrawing::PartClicked, this, [this](MousePart part) {
        const int row = RowOfPart(part);
        if (row != kNoRow && actionButtons_[row]->isEnabled()) {
            OnRowClicked(row);
        }
    });
    connect(live_, &LiveButtons::LitSlotsChanged, this, &CMouseSet::ShowLitSlots);
    // Sub-menu choices reach the top menu too.
    connect(actionMenu_, &QMenu::triggered, this,
            [this](QAction* action) { OnMenuCommand(action->data().toInt()); });
}

int CMouseSet::SlotOfRow(int row) const {
    if (row == 0 && leftHandedCheck_->isChecked()) {
        return kLeftSlot;
    }
    return kRows[row].slot;
}

void CMouseSet::OnRowClicked(int row) {
    currentSlot = SlotOfRow(row);
    if (kRows[row].offersFixedCpi) {
        if (cpiMenu_->actions().size() < 2) {
            cpiMenu_->addAction(fixedCpiAction_);
        }
    } else {
        cpiMenu_->removeAction(fixedCpiAction_);
    }
    QPushButton* button = actionButtons_[row];
    actionMenu_->popup(button->mapToGlobal(button->rect().bottomLeft()));
}

void CMouseSet::OnMenuCommand(int commandId) {
    if (commandId == kKeyboardKeyCommand) {
        RunKeyboardDialog();
    } else if (commandId == kFixedCpiCommand) {
        RunFixedCpiDialog();
    } else if (const ActionEntry* entry = FindActionByCommand(commandId)) {
        AssignAction(Session().pendingSettings.buttons[currentSlot], entry->values);
        SetSlotText(currentSlot, entry->label);
    }
    RefreshApplyState();
}

void CMouseSet::RunKeyboardDialog() {
    CKeyboard dialog(this);
    if (dialog.exec() != QDialog::Accepted || keyCapture.keyText.empty()) {
        return;
    }
    ButtonAction& slot = Session().pendingSettings.buttons[currentSlot];
    AssignAction(slot, EncodeKeyAction(keyCapture));
    // Made from what is stored, as after a reload.
    if (const auto text = ActionButtonLabel(slot)) {
        SetSlotText(currentSlot, *text);
    }
}

void CMouseSet::RunFixedCpiDialog() {
    // Opened at the button's own fixed CPI, if it has one.
    const ButtonAction& current = Session().pendingSettings.buttons[currentSlot];
    const bool fixed = current.kind == static_cast<uint8_t>(ActionKind::FixedCpi);
    CFixedCPI dialog(fixed ? current.x : CFixedCPI::kOpeningCpi,
                     fixed ? current.y : CFixedCPI::kOpeningCpi, this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    SetSlotText(currentSlot, QString::fromStdString(FormatFixedCpiText(fixedCpiX, fixedCpiY)));
    AssignAction(Session().pendingSettings.buttons[currentSlot],
                 {static_cast<uint8_t>(ActionKind::FixedCpi), 0x00,
                  static_cast<uint16_t>(fixedCpiX), static_cast<uint16_t>(fixedCpiY)});
}

void CMouseSet::SetSlotText(int slot, const QString& text) {
    if (const int row = kRowOfSlot[slot]; row != kNoRow) {
        actionButtons_[row]->setText(EscapeMnemonic(text));
        // A screen reader gets the text as shown: Qt's name from the
        // button's text would drop the "&" of "1 (&)".
        actionButtons_[row]->setAccessibleName(text);
    }
}

void CMouseSet::ShowRowOneLabel(bool leftHanded) {
    rowLabels_[0]->setText(leftHanded ? "Left Button" : "Right Button");
}

void CMouseSet::OnLeftHandedClicked(bool checked) {
    // The row's action moves with it to the other slot, LEFT CLICK goes to the
    // slot the row no longer shows, and the two filter bytes change places.
    const int shownSlot = checked ? kLeftSlot : kRightSlot;
    const int hiddenSlot = checked ? kRightSlot : kLeftSlot;
    ButtonAction& shown = Session().pendingSettings.buttons[shownSlot];
    ButtonAction& hidden = Session().pendingSettings.buttons[hiddenSlot];
    const uint8_t shownFilter = shown.filter;
    shown = hidden;
    AssignAction(hidden, kLeftClick);
    hidden.filter = shownFilter;
    currentSlot = shownSlot;
    ShowRowOneLabel(checked);
    ShowCallouts();
    RefreshApplyState();
}

void CMouseSet::LoadFromSettings() {
    // LEFT CLICK on the right button means left-handed, whatever x and y hold.
    const ButtonAction& right = Session().pendingSettings.buttons[kRightSlot];
    const bool leftHanded = right.kind == kLeftClick.kind && right.code == kLeftClick.code;
    leftHandedCheck_->setChecked(leftHanded);
    currentSlot = leftHanded ? kLeftSlot : kRightSlot;
    ShowRowOneLabel(leftHanded);
    ShowActionTexts();
    ShowCallouts();
}

void CMouseSet::ShowActionTexts() {
    for (int row = 0; row < kRowCount; ++row) {
        const int slot = SlotOfRow(row);
        if (const auto text = ActionButtonLabel(Session().pendingSettings.buttons[slot])) {
            SetSlotText(slot, *text);
        }
    }
}

void CMouseSet::changeEvent(QEvent* event) {
    SettingsPage::changeEvent(event);
    // A key's legend follows the layout in use: asked again when the layout
    // changes and whenever the window comes back, as the user may have
    // switched it elsewhere.
    const auto type = event->type();
    if (type == QEvent::KeyboardLayoutChange ||
        (type == QEvent::ActivationChange && isActiveWindow())) {
        ShowActionTexts();
    }
}

void CMouseSet::SetDeviceAvailable(bool connected) {
    leftHandedCheck_->setEnabled(connected);
    for (QPushButton* button : actionButtons_) {
        button->setEnabled(connected);
    }
    drawing_->setEnabled(connected);
    live_->SetDeviceAvailable(connected);
}

void CMouseSet::showEvent(QShowEvent* event) {
    SettingsPage::showEvent(event);
    live_->SetShown(true);
}

void CMouseSet::hideEvent(QHideEvent* event) {
    SettingsPage::hideEvent(event);
    live_->SetShown(false);
}

int CMouseSet::RowOfPart(MousePart part) const {
    for (int row = 0; row < kRowCount; ++row) {
        if (kPartOfSlot[SlotOfRow(row)] == part) {
            return row;
        }
    }
    return kNoRow;
}

void CMouseSet::ShowCallouts() {
    for (int i = 0; i < kMousePartCount; ++i) {
        const int row = RowOfPart(static_cast<MousePart>(i));
        drawing_->SetCallout(static_cast<MousePart>(i),
                             row == kNoRow ? nullptr : actionButtons_[row]);
    }
    // The first row now stands for the other main button.
    ShowHighlight();
    ShowLitSlots(live_->LitSlots());
}

bool CMouseSet::eventFilter(QObject* watched, QEvent* event) {
    const auto type = event->type();
    if (type == QEvent::Enter || type == QEvent::Leave) {
        for (int row = 0; row < kRowCount; ++row) {
            if (watched == rowLabels_[row] || watched == actionButtons_[row]) {
                if (type == QEvent::Enter) {
                    rowUnderPointer_ = row;
                } else if (rowUnderPointer_ == row) {
                    rowUnderPointer_ = kNoRow;
                }
            }
        }
        ShowHighlight();
    } else if (type == QEvent::FocusIn || type == QEvent::FocusOut) {
        ShowHighlight();
    }
    return SettingsPage::eventFilter(watched, event);
}

void CMouseSet::ShowHighlight() {
    int row = rowUnderPointer_;
    for (int focused = 0; row == kNoRow && focused < kRowCount; ++focused) {
        if (actionButtons_[focused]->hasFocus()) {
            row = focused;
        }
    }
    drawing_->SetHighlighted(row == kNoRow ? std::nullopt : kPartOfSlot[SlotOfRow(row)]);
}

void CMouseSet::ShowLitSlots(uint8_t lit) {
    for (int slot = 0; slot < kButtonSlotCount; ++slot) {
        if (kPartOfSlot[slot]) {
            drawing_->SetLit(*kPartOfSlot[slot], (lit >> slot) & 1);
        }
    }
    for (int row = 0; row < kRowCount; ++row) {
        const bool rowLit = (lit >> SlotOfRow(row)) & 1;
        QLabel* label = rowLabels_[row];
        if (label->autoFillBackground() != rowLit) {
            QPalette colours;  // nothing set: the page's own colours
            if (rowLit) {
                colours = palette();
                colours.setColor(QPalette::Window, colours.color(QPalette::Highlight));
                colours.setColor(QPalette::WindowText, colours.color(QPalette::HighlightedText));
            }
            label->setPalette(colours);
            label->setAutoFillBackground(rowLit);
        }
        ShowHeldOnMouse(actionButtons_[row], rowLit);
    }
}
