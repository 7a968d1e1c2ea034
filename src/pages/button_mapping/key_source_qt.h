#pragma once

#include <QObject>

#include "pages/button_mapping/key_source.h"

class QKeyEvent;

// The source where no global one runs (Wayland, or X11 without XInput 2.1):
// an application-wide event filter that sees the keys typed into the tool's
// own windows. It never eats a key.
class QtKeySource : public QObject, public KeySource {
    Q_OBJECT
public:
    ~QtKeySource() override;
    bool Start(Sink sink) override;
    bool CapturesEverywhere() const override { return false; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Sink sink_;
};

// The virtual-key code of a Qt key event, by its physical key: Qt's native
// scan code is the X key code on X11 and on Wayland. 0 for an event without
// one (synthesised events, platforms with other scan codes).
uint16_t QtKeyToVirtualKey(const QKeyEvent& event);
