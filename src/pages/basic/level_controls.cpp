#include "pages/basic/level_controls.h"

#include <QMouseEvent>

#include "ui/accessible_names.h"

LevelRadioButton::LevelRadioButton(QWidget* parent) : QRadioButton(parent) {
    setAutoExclusive(false);
    AnnounceAsRadioButton(this);
}

void LevelRadioButton::nextCheckState() {
    setChecked(true);
}

LevelLabel::LevelLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setFocusPolicy(Qt::NoFocus);
}

void LevelLabel::mousePressEvent(QMouseEvent* event) {
    event->setAccepted(event->button() == Qt::LeftButton);
}

void LevelLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        emit clicked();
    }
}
