#include "ui/digits_only.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpressionValidator>

namespace {

// Drops typed characters other than digits; everything else passes.
class KeyboardDigitsFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress && TypesNonDigit(*static_cast<QKeyEvent*>(event))) {
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    static bool TypesNonDigit(const QKeyEvent& key) {
        if (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
            return false;  // a shortcut, not typing
        }
        for (const QChar c : key.text()) {
            if (c.isPrint() && !(c >= u'0' && c <= u'9')) {
                return true;
            }
        }
        return false;
    }
};

}  // namespace

void SetDigitsOnly(QLineEdit* field) {
    field->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), field));
}

void SetKeyboardDigitsOnly(QLineEdit* field) {
    field->installEventFilter(new KeyboardDigitsFilter(field));
}
