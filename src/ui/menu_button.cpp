#include "ui/menu_button.h"

#include <QAbstractButton>
#include <QKeyEvent>

namespace {

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

}  // namespace

void ClickOnSpacePress(QAbstractButton* button) {
    new SpacePressClicker(button);
}
