#pragma once

#include <QWidget>
#include <cstdint>

// The "  Button Mapping  " page: one action per remappable button.
class CMouseSet : public QWidget {
    Q_OBJECT
public:
    explicit CMouseSet(QWidget* parent = nullptr);

    void LoadFromSettings();
    // Enables "Left-handed Mode" and the six action buttons.
    void SetDeviceAvailable(bool connected);
};
