// CDlgDeb: the Buttons page.
#pragma once

#include <array>
#include <cstdint>

#include "pages/settings_page.h"
#include "settings/click_filters.h"
#include "settings/settings_image.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSlider;

// The "  Buttons  " page: click filters and the multiclick acknowledgement.
class CDlgDeb : public SettingsPage {
    Q_OBJECT
public:
    explicit CDlgDeb(PageHost& host, QWidget* parent = nullptr);

    QString Title() const override { return QStringLiteral("  Buttons  "); }

    void LoadFromSettings() override;
    // Collects the controls into pendingSettings (APPLY).
    void StoreToSettings() override;
    void SetDeviceAvailable(bool connected) override;
    // Hides the acknowledgement once the mouse confirmed it.
    void OnSettingsWritten() override;
    // After a successful write with multiclickAcknowledged 1.
    void HideAcknowledgement();

    static constexpr int kFilterSlots = kClickFilterSlots;
    static constexpr int kSwitchSlots = kSwitchModeSlots;
    static constexpr int kFilterLevelMax = kClickFilterLevelMax;
    static constexpr int kFilterLevelDefault = kClickFilterLevelDefault;

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
