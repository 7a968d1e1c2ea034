#include "ui/tab_switching.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QTabBar>
#include <QTabWidget>

#include "ui/keyboard_focus.h"

namespace {

// +1 next page, -1 previous page, 0 not a page-switching key.
int PageStep(const QKeyEvent& event) {
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    const bool shift = modifiers == (Qt::ControlModifier | Qt::ShiftModifier);
    if (modifiers != Qt::ControlModifier && !shift) {
        return 0;
    }
    switch (event.key()) {
        case Qt::Key_Tab:
            return shift ? -1 : 1;
        case Qt::Key_Backtab:  // Shift+Tab as X11 and Wayland deliver it
            return shift ? -1 : 0;
        case Qt::Key_PageDown:
            return shift ? 0 : 1;
        case Qt::Key_PageUp:
            return shift ? 0 : -1;
        default:
            return 0;
    }
}

// Sees every key press of the application before the control it is meant for,
// and takes those of the tabs' own window that switch pages.
class TabSwitcher : public QObject {
public:
    explicit TabSwitcher(QTabWidget* tabs) : QObject(tabs), tabs_(tabs) {
        qApp->installEventFilter(this);
        connect(tabs, &QTabWidget::currentChanged, this, &TabSwitcher::OnPageShown);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) {
            return false;
        }
        const int step = PageStep(*static_cast<QKeyEvent*>(event));
        if (step == 0 || static_cast<QWidget*>(watched)->window() != tabs_->window()) {
            return false;
        }
        if (tabs_->isEnabled() && tabs_->count() > 0) {
            const int count = tabs_->count();
            tabs_->setCurrentIndex((tabs_->currentIndex() + step + count) % count);
            FocusFirstControl(tabs_->currentWidget());
        }
        return true;
    }

private:
    // The page that was left may have held the focus; it must not fall onto
    // whatever comes next in the window (APPLY, Factory Reset).
    void OnPageShown() {
        if (QApplication::focusWidget() != tabs_->tabBar() && tabs_->currentWidget() != nullptr) {
            FocusFirstControl(tabs_->currentWidget());
        }
    }

    QTabWidget* tabs_;
};

}  // namespace

void InstallTabSwitching(QTabWidget* tabs) {
    new TabSwitcher(tabs);
}
