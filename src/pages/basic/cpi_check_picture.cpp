#include "pages/basic/cpi_check_picture.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "device/cpi_check.h"
#include "device/cpi_check_text.h"

namespace {

constexpr int kMargin = 12;
constexpr int kRulerHeight = 34;
constexpr int kMouseWidth = 34;
constexpr int kMouseHeight = 52;
// The ruler runs a little past the end mark, as a real one does.
constexpr double kRulerBeyondShare = 0.12;

}  // namespace

CpiCheckPicture::CpiCheckPicture(QWidget* parent) : QWidget(parent) {
    setObjectName("cpiCheckPicture");
    setAccessibleName("Picture of the stroke");
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize CpiCheckPicture::sizeHint() const {
    return {480, minimumSizeHint().height()};
}

QSize CpiCheckPicture::minimumSizeHint() const {
    return {300, kMargin * 2 + kMouseHeight + 8 + kRulerHeight + fontMetrics().height()};
}

void CpiCheckPicture::SetDistance(double inches, bool inInches) {
    distanceInches_ = inches;
    inInches_ = inInches;
    Describe();
    update();
}

void CpiCheckPicture::SetTravelled(std::optional<double> inches) {
    travelled_ = inches;
    update();
}

void CpiCheckPicture::Describe() {
    setAccessibleDescription(
        "The mouse at the ruler's 0 mark, to be moved in a straight line to "
        "the " +
        QString::fromStdString(DistanceText(distanceInches_)) + " mark");
}

void CpiCheckPicture::paintEvent(QPaintEvent*) {
    if (distanceInches_ <= 0)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& colours = palette();
    const QColor ink = colours.color(QPalette::WindowText);
    const QColor accent = colours.color(QPalette::Highlight);

    // The ruler's own unit: centimetres, or inches in quarters.
    const double unitInches = inInches_ ? 1.0 : 1.0 / kCentimetresPerInch;
    const int ticksPerUnit = inInches_ ? 4 : 10;
    const double units = distanceInches_ / unitInches;
    const double rulerUnits = std::ceil(units * (1 + kRulerBeyondShare));
    const double left = kMargin + kMouseWidth / 2.0;
    const double right = width() - kMargin - kMouseWidth / 2.0;
    const double perUnit = (right - left) / rulerUnits;
    const double rulerTop = kMargin + kMouseHeight + 8;

    const QRectF ruler(left - 6, rulerTop, right - left + 12, kRulerHeight);
    painter.setPen(QPen(ink, 1));
    painter.setBrush(colours.color(QPalette::Base));
    painter.drawRoundedRect(ruler, 3, 3);
    const int ticks = static_cast<int>(rulerUnits * ticksPerUnit);
    // Every tick of a mark the eye can follow: millimetres only on a long ruler's
    // room, quarter inches always.
    const bool everyTick = perUnit / ticksPerUnit >= 3;
    for (int tick = 0; tick <= ticks; ++tick) {
        const bool whole = tick % ticksPerUnit == 0;
        const bool half = tick % (ticksPerUnit / 2) == 0;
        if (!whole && !half && !everyTick)
            continue;
        const double x = left + tick * perUnit / ticksPerUnit;
        const double length = whole ? 14 : (half ? 9 : 5);
        painter.drawLine(QPointF(x, rulerTop), QPointF(x, rulerTop + length));
    }
    // Numbers every unit where there is room, else every fifth.
    const int labelEvery = perUnit >= fontMetrics().horizontalAdvance("50") + 6 ? 1 : 5;
    for (int unit = 0; unit <= static_cast<int>(rulerUnits); unit += labelEvery) {
        const double x = left + unit * perUnit;
        const QRectF box(x - 20, rulerTop + 14, 40, kRulerHeight - 14);
        painter.drawText(box, Qt::AlignCenter, QString::number(unit));
    }
    painter.drawText(QRectF(right - 40, rulerTop + kRulerHeight, 46, fontMetrics().height() + 2),
                     Qt::AlignRight | Qt::AlignVCenter, inInches_ ? "in" : "cm");

    // The end mark and the arrow to it.
    const double end = left + units * perUnit;
    QPen markPen(accent, 2);
    painter.setPen(markPen);
    // Down to the ruler's ticks, clear of its numbers.
    painter.drawLine(QPointF(end, kMargin - 4), QPointF(end, rulerTop + 14));
    painter.drawLine(QPointF(left, kMargin - 4), QPointF(left, rulerTop));
    const double arrowY = kMargin + kMouseHeight / 2.0;
    const double arrowStart = left + kMouseWidth / 2.0 + 6;
    if (end - 10 > arrowStart) {
        painter.drawLine(QPointF(arrowStart, arrowY), QPointF(end - 4, arrowY));
        QPainterPath head;
        head.moveTo(end - 2, arrowY);
        head.lineTo(end - 12, arrowY - 5);
        head.lineTo(end - 12, arrowY + 5);
        head.closeSubpath();
        painter.fillPath(head, accent);
    }

    // The mouse: at the start between strokes, where its counts put it while measuring.
    const double at = travelled_ ? std::clamp(*travelled_ / unitInches, 0.0, rulerUnits) : 0.0;
    const double centre = left + at * perUnit;
    const QRectF body(centre - kMouseWidth / 2.0, kMargin, kMouseWidth, kMouseHeight);
    painter.setPen(QPen(ink, 1.5));
    painter.setBrush(travelled_ ? colours.color(QPalette::Highlight).lighter(170)
                                : colours.color(QPalette::Button));
    painter.drawRoundedRect(body, kMouseWidth / 2.0, kMouseWidth / 2.0);
    painter.drawLine(QPointF(centre, kMargin), QPointF(centre, kMargin + kMouseHeight * 0.38));
}
