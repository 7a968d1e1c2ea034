#pragma once

#include <QWidget>
#include <deque>

// A small plot of the measured report rate over the last seconds, one point
// per reading, against the set rate (a dashed line), so that dips show.
class ReportRatePlot : public QWidget {
    Q_OBJECT
public:
    static constexpr int kPoints = 24;  // six seconds at four readings a second

    explicit ReportRatePlot(QWidget* parent = nullptr);

    // A reading; 0 = no movement then (a gap in the line).
    void AddReading(double hz);
    void SetSetRate(double hz);
    void Clear();
    const std::deque<double>& Readings() const { return readings_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void Describe();

    std::deque<double> readings_;
    double setHz_ = 0;
};
