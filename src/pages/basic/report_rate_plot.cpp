#include "pages/basic/report_rate_plot.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "device/report_rate_meter.h"

ReportRatePlot::ReportRatePlot(QWidget* parent) : QWidget(parent) {
    setObjectName("reportRatePlot");
    setAccessibleName("Report rate over the last seconds");
}

QSize ReportRatePlot::sizeHint() const {
    const int line = fontMetrics().height();
    return {line * 7, line * 2};
}

void ReportRatePlot::AddReading(double hz) {
    readings_.push_back(hz);
    while (readings_.size() > kPoints)
        readings_.pop_front();
    Describe();
    update();
}

void ReportRatePlot::Describe() {
    double lowest = 0, highest = 0;
    for (const double reading : readings_) {
        if (reading <= 0)
            continue;
        lowest = lowest == 0 ? reading : std::min(lowest, reading);
        highest = std::max(highest, reading);
    }
    // What a screen reader says in place of the picture.
    setAccessibleDescription(highest == 0 ? QString("No movement")
                                          : QString("From %1 to %2 over the last seconds")
                                                .arg(QString::fromStdString(RateText(lowest)),
                                                     QString::fromStdString(RateText(highest))));
}

void ReportRatePlot::SetSetRate(double hz) {
    if (hz != setHz_) {
        setHz_ = hz;
        update();
    }
}

void ReportRatePlot::Clear() {
    readings_.clear();
    Describe();
    update();
}

void ReportRatePlot::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    painter.setPen(QPen(palette().color(QPalette::Mid), 1));
    painter.setBrush(palette().color(QPalette::Base));
    painter.drawRect(area);

    // The scale reaches a little over the set rate, or over the highest reading.
    double top = setHz_;
    for (const double hz : readings_)
        top = std::max(top, hz);
    if (top <= 0)
        return;
    top *= 1.15;
    auto y = [&](double hz) { return area.bottom() - hz / top * area.height(); };
    const double step = area.width() / (kPoints - 1);

    if (setHz_ > 0) {
        painter.setPen(QPen(palette().color(QPalette::Mid), 1, Qt::DashLine));
        painter.drawLine(QPointF(area.left(), y(setHz_)), QPointF(area.right(), y(setHz_)));
    }
    QPainterPath path;
    bool drawing = false;
    // The newest reading at the right edge.
    const size_t first = kPoints - readings_.size();
    for (size_t i = 0; i < readings_.size(); ++i) {
        const QPointF point(area.left() + (first + i) * step, y(readings_[i]));
        if (readings_[i] <= 0) {
            drawing = false;
        } else if (drawing) {
            path.lineTo(point);
        } else {
            path.moveTo(point);
            path.lineTo(point);
            drawing = true;
        }
    }
    painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
}
