#include "ui/keyboard_focus.h"

#include <QTabBar>
#include <QTabWidget>

void PlaceSafeFocus(QTabWidget* tabs) {
    // Without this, styles draw no focus frame until the Tab key was used.
    tabs->window()->setAttribute(Qt::WA_KeyboardFocusChange);
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
