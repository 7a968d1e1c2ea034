// CMouseSet: the Button Mapping page.
#pragma once

#include <array>
#include <cstdint>
#include "pages/settings_page.h"
#include "ui/mouse_drawing.h"

class LiveButtons;
class MouseDrawing;
class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QPushButton;

// The "  Button Mapping  " page: one action per remappable button, and a
// drawing of the mouse with a line from each button to its row. A row with
// the pointer or the focus highlights its button; a click on a button of the
// drawing opens its row's menu; a button pressed on the mouse lights on the
// drawing and its row while the page is shown.
class CMouseSet : public SettingsPage {
    Q_OBJECT
public:
    explicit CMouseSet(PageHost& host, QWidget* parent = nullptr);

    QString Title() const override { return QStringLiteral("  Button Mapping  "); }

    void LoadFromSettings() override;
    // Enables "Left-handed Mode" and the six action buttons.
    void SetDeviceAvailable(bool connected) override;

    // The slot the next menu choice writes.
    int CurrentSlot() const { return currentSlot; }
    QMenu* ActionMenu() const { return actionMenu_; }

    // Carries out a menu command as if its item had been chosen.
    void OnMenuCommand(int commandId);

    MouseDrawing* Drawing() const { return drawing_; }
    LiveButtons& Live() const { return *live_; }
    // The row standing for a part of the drawing now; -1 = none.
    int RowOfPart(MousePart part) const;

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static constexpr int kRowCount = 6;

    void BuildLayout();
    // Ties each row's label to its button for screen readers; Space opens the menu.
    void SetUpKeyboardAndNames();
    void BuildMenu();
    void ConnectSignals();
    void OnRowClicked(int row);
    void OnLeftHandedClicked(bool checked);
    void RunKeyboardDialog();
    void RunFixedCpiDialog();
    void SetSlotText(int slot, const QString& text);
    // Every row's button from the slot it shows; a key with the layout's legend.
    void ShowActionTexts();
    void ShowRowOneLabel(bool leftHanded);
    int SlotOfRow(int row) const;
    // Each row's leader line to the button whose slot it shows.
    void ShowCallouts();
    // The row with the pointer, else the one with the focus, highlights its button.
    void ShowHighlight();
    void ShowLitSlots(uint8_t lit);

    int currentSlot = 0;
    QCheckBox* leftHandedCheck_ = nullptr;
    std::array<QLabel*, kRowCount> rowLabels_{};
    std::array<QPushButton*, kRowCount> actionButtons_{};
    QMenu* actionMenu_ = nullptr;
    QMenu* cpiMenu_ = nullptr;
    QAction* fixedCpiAction_ = nullptr;
    MouseDrawing* drawing_ = nullptr;
    LiveButtons* live_ = nullptr;
    int rowUnderPointer_ = -1;
};
