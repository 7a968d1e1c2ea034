#include "pages/button_mapping/key_source_qt.h"

#include <QCoreApplication>
#include <QKeyEvent>

#include "settings/key_table.h"

namespace {

// The native virtual key is the keysym on X11 and Wayland; it carries the
// modifiers held, so only a key pressed alone tells what the key itself types.
uint32_t LayoutKeysymOf(const QKeyEvent& event) {
    if ((event.modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        return 0;
    }
    return event.nativeVirtualKey();
}

}  // namespace

uint16_t QtKeyToVirtualKey(const QKeyEvent& event) {
    return XKeycodeToVirtualKey(event.nativeScanCode());
}

QtKeySource::~QtKeySource() {
    if (QCoreApplication::instance()) {
        QCoreApplication::instance()->removeEventFilter(this);
    }
}

bool QtKeySource::Start(Sink sink) {
    if (!QCoreApplication::instance()) {
        return false;
    }
    sink_ = std::move(sink);
    QCoreApplication::instance()->installEventFilter(this);
    return true;
}

bool QtKeySource::eventFilter(QObject* watched, QEvent* event) {
    const auto type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease) {
        return QObject::eventFilter(watched, event);
    }
    // A key event reaches its window once, before Qt offers it to the focus
    // widget and the widgets above it; counting it there counts it once.
    if (!watched->isWindowType()) {
        return false;
    }
    const auto& keyEvent = *static_cast<QKeyEvent*>(event);
    sink_({QtKeyToVirtualKey(keyEvent), type == QEvent::KeyRelease, LayoutKeysymOf(keyEvent)});
    return false;
}
