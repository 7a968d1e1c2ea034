#include "ui/keyboard_focus.h"

#include <QEvent>
#include <QTabBar>
#include <QTabWidget>

namespace {

constexpr char kFocusFrameOnShowName[] = "focusFrameOnShow";

// Styles draw no focus frame until the Tab key was used in a window, and
// showing a window forgets that it was; so the mark is set once it is shown.
class FocusFrameOnShow : public QObject {
public:
    explicit FocusFrameOnShow(QWidget* window) : QObject(window) {
        setObjectName(kFocusFrameOnShowName);
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched == parent()) {
            static_cast<QWidget*>(watched)->setAttribute(Qt::WA_KeyboardFocusChange);
            deleteLater();
        }
        return false;
    }
};

void ShowFocusFrame(QWidget* window) {
    if (window->isVisible()) {
        window->setAttribute(Qt::WA_KeyboardFocusChange);
    } else if (window->findChild<QObject*>(kFocusFrameOnShowName, Qt::FindDirectChildrenOnly) ==
               nullptr) {
        new FocusFrameOnShow(window);
    }
}

}  // namespace

void ShowFocusFrameFromTheStart(QWidget* window) {
    ShowFocusFrame(window);
}

void PlaceSafeFocus(QTabWidget* tabs) {
    ShowFocusFrame(tabs->window());
    tabs->tabBar()->setFocus(Qt::OtherFocusReason);
}

bool FocusFirstControl(QWidget* page) {
    for (QWidget* widget = page->nextInFocusChain(); widget != page;
         widget = widget->nextInFocusChain()) {
        if (page->isAncestorOf(widget) && widget->isVisibleTo(page) && widget->isEnabled() &&
            (widget->focusPolicy() & Qt::TabFocus) != 0 && widget->focusProxy() == nullptr) {
            widget->setFocus(Qt::TabFocusReason);
            return true;
        }
    }
    return false;
}
