#include "ui/menu_button.h"

#include "ui/accessible_interface.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>

namespace {

const char kHeldOnMouse[] = "heldOnMouse";

class SpacePressClicker : public QObject {
public:
    explicit SpacePressClicker(QAbstractButton* button) : QObject(button), button_(button) {
        button->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != button_ || event->type() != QEvent::KeyPress) {
            return false;
        }
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Space || key->modifiers() != Qt::NoModifier) {
            return false;
        }
        // Held down, the key repeats: one menu is enough.
        if (!key->isAutoRepeat() && button_->isEnabled()) {
            button_->click();
        }
        return true;
    }

private:
    QAbstractButton* button_;
};

class MenuButtonAccessible : public QAccessibleWidget {
public:
    explicit MenuButtonAccessible(QAbstractButton* button)
        : QAccessibleWidget(button, QAccessible::ButtonMenu) {}

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.hasPopup = true;
        state.pressed = Button()->isDown() || Button()->property(kHeldOnMouse).toBool();
        return state;
    }

    QString text(QAccessible::Text kind) const override {
        // Its own text, as for any push button; the row's label is a relation.
        if (kind == QAccessible::Name && Button()->accessibleName().isEmpty()) {
            return Button()->text().remove('&');
        }
        return QAccessibleWidget::text(kind);
    }

    QStringList actionNames() const override {
        return QStringList{showMenuAction(), pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& action) override {
        if (action == showMenuAction() || action == pressAction()) {
            if (Button()->isEnabled()) {
                Button()->click();
            }
            return;
        }
        QAccessibleWidget::doAction(action);
    }

private:
    QAbstractButton* Button() const { return static_cast<QAbstractButton*>(widget()); }
};

}  // namespace

void ClickOnSpacePress(QAbstractButton* button) {
    new SpacePressClicker(button);
}

void ReportOpensMenu(QAbstractButton* button) {
    ReplaceAccessibleInterface(new MenuButtonAccessible(button));
}

void ShowHeldOnMouse(QAbstractButton* button, bool held) {
    if (button->property(kHeldOnMouse).toBool() == held) {
        return;
    }
    button->setProperty(kHeldOnMouse, held);
    if (QAccessible::isActive()) {
        QAccessible::State changed;
        changed.pressed = true;
        QAccessibleStateChangeEvent event(button, changed);
        QAccessible::updateAccessibility(&event);
    }
}
