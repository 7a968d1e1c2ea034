#include "app/device_wait.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>

namespace {

bool IsUserInput(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
            return true;
        default:
            return false;
    }
}

// Installed on the application, so it sees the input of every window of the
// tool (the main window, the simulated mouse's, the dialogs) before any widget.
class InputDropper : public QObject {
public:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (!IsUserInput(event->type())) {
            return false;
        }
        // A box opened by the command itself must still be answerable.
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != nullptr && modal != modalAtStart_) {
            return false;
        }
        return true;
    }

    void Start() { modalAtStart_ = QApplication::activeModalWidget(); }

private:
    QPointer<QWidget> modalAtStart_;
};

int depth = 0;
InputDropper* dropper = nullptr;

}  // namespace

DeviceWait::DeviceWait() {
    if (depth++ > 0 || QCoreApplication::instance() == nullptr) {
        return;
    }
    if (dropper == nullptr) {
        dropper = new InputDropper;
        dropper->setParent(QCoreApplication::instance());
    }
    dropper->Start();
    QCoreApplication::instance()->installEventFilter(dropper);
}

DeviceWait::~DeviceWait() {
    if (depth > 1 || dropper == nullptr) {
        --depth;
        return;
    }
    // What the user did during the command is already on its way: the
    // window system's events are read on their own thread (xcb) or queued by
    // the compositor's connection (Wayland) while this thread waits. One
    // round delivers everything queued now, with the filter still in place,
    // so each of them goes through it (a click made through the X server
    // during a wait is dropped with one round: e2e/click_during_wait.sh).
    QCoreApplication::processEvents();
    QCoreApplication::instance()->removeEventFilter(dropper);
    --depth;
}
