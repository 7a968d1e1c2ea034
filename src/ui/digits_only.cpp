#include "ui/digits_only.h"

#include <QLineEdit>
#include <QRegularExpressionValidator>

void SetDigitsOnly(QLineEdit* field) {
    field->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), field));
}
