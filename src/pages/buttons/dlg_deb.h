#pragma once

#include <QWidget>
#include <array>
#include <cstdint>

#include "settings/settings_image.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSlider;

// The "  Buttons  " page: click filters and the multiclick acknowledgement.
class CDlgDeb : public QWidget {
    Q_OBJECT
public:
    explicit CDlgDeb(QWidget* parent = nullptr);

    void LoadFromSettings();
    // Collects the controls into pendingSettings (APPLY).
    void StoreToSettings();
    void SetDeviceAvailable(bool connected);
    // After a successful write with multiclickAcknowledged 1.
    void HideAcknowledgement();

    // Left, Right, Middle, Forward, Back: button slots 0..4.
    static constexpr int kFilterSlots = 5;
    // Only Left and Right have a switch mode.
    static constexpr int kSwitchSlots = 2;
    static constexpr int kFilterLevelMax = 25;
    static constexpr int kFilterLevelDefault = 8;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void BuildControls();
    void BuildLayout();
    // What a screen reader says for each control, and the Tab key's order.
    void NameControls();
    void SetTabOrder();
    void ConnectSignals();

    void EnableFilterControls(bool enable);
    bool SwitchModeOff(int slot) const;
    uint8_t FilterByteOf(int slot) const;
    void ShowLevel(int slot, int level);

    void OnSwitchModeChanged(int slot);
    void OnSlamclickClicked();
    void OnAcknowledgeClicked();
    void OnFilterEdited(int slot, const QString& text);
    void OnFilterSliderAction(int slot);

    QCheckBox* slamclickFilterCheck_ = nullptr;
    std::array<QLabel*, kFilterSlots> filterLabels_{};
    std::array<QSlider*, kFilterSlots> filterSliders_{};
    std::array<QLineEdit*, kFilterSlots> filterFields_{};
    std::array<QLabel*, kSwitchSlots> switchModeLabels_{};
    std::array<QComboBox*, kSwitchSlots> switchModeLists_{};
    QCheckBox* multiclickAcknowledgeCheck_ = nullptr;
};
