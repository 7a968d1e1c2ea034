#pragma once

#include <QObject>

#include "pages/buttons/key_source.h"

class QKeyEvent;

// The fallback where no global source runs: an application-wide event filter
// that sees the keys typed into the tool's own windows. It never eats a key.
class QtKeySource : public QObject, public KeySource {
    Q_OBJECT
public:
    ~QtKeySource() override;
    bool Start(Sink sink) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Sink sink_;
};

// The virtual-key code of a Qt key event: by its keysym where the platform
// gives one, else by Qt's key; 0 for a key without a code.
uint16_t QtKeyToVirtualKey(const QKeyEvent& event);
