#include "ui/colour_swatch.h"

#include <QMouseEvent>
#include <QPainter>

CQyxStatic::CQyxStatic(QWidget* parent) : QWidget(parent) {
    // Painted whole every time; nothing behind it needs erasing.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CQyxStatic::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(rect(), backgroundColour);
}

void CQyxStatic::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        emit clicked();
    }
    QWidget::mouseReleaseEvent(event);
}
