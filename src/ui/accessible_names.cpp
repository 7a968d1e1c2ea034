#include "ui/accessible_names.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>

namespace {

constexpr char kRadioProperty[] = "announcedAsRadioButton";

class ManagedRadioAccessible : public QAccessibleWidget {
public:
    explicit ManagedRadioAccessible(QAbstractButton* button)
        : QAccessibleWidget(button, QAccessible::RadioButton) {}

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = true;
        state.checked = Button()->isChecked();
        state.pressed = Button()->isDown();
        return state;
    }

    QString text(QAccessible::Text kind) const override {
        QString text = QAccessibleWidget::text(kind);
        if (kind == QAccessible::Name && text.isEmpty()) {
            text = Button()->text();
        }
        return text;
    }

    QStringList actionNames() const override {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& action) override {
        if (action == pressAction()) {
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

QAccessibleInterface* RadioFactory(const QString& /*className*/, QObject* object) {
    auto* button = qobject_cast<QAbstractButton*>(object);
    if (button != nullptr && button->property(kRadioProperty).toBool()) {
        return new ManagedRadioAccessible(button);
    }
    return nullptr;
}

}  // namespace

void AnnounceAsRadioButton(QAbstractButton* button) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(RadioFactory);
        return true;
    }();
    (void)factoryInstalled;
    button->setProperty(kRadioProperty, true);
    // A screen reader that is already running may have asked about the button
    // while it was being built; that answer must not stick.
    if (QAccessible::isActive()) {
        QAccessibleInterface* known = QAccessible::queryAccessibleInterface(button);
        if (known != nullptr && known->role() != QAccessible::RadioButton) {
            QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(known));
        }
    }
}
