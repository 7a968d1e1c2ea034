#pragma once

#include <QWidget>
#include <cstdint>

// The "  Buttons  " page: click filters and the multiclick acknowledgement.
class CDlgDeb : public QWidget {
    Q_OBJECT
public:
    explicit CDlgDeb(QWidget* parent = nullptr);

    void LoadFromSettings();
    void StoreToSettings();
    void SetDeviceAvailable(bool connected);
    // After a successful write with multiclickAcknowledged 1.
    void HideAcknowledgement();
};
