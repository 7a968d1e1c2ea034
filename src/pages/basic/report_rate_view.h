#pragma once

#include <QTimer>
#include <QWidget>
#include <memory>

#include "device/pointer_reader.h"
#include "device/report_rate_meter.h"

class MouseSession;
class QLabel;
class ReportRatePlot;

// The Basic page's live report-rate meter: "Measured: 7,996 Hz", a plot of
// the last seconds and, when the rate stays well below the set one, a hint
// what to try.
//
// It reads the mouse only while it is shown (the Basic page visible) and the
// mouse is there. While the mouse is still, nothing runs: the reader waits
// in a read without a time limit and the timer is stopped; the first report
// of a movement starts the timer again.
class ReportRateView : public QWidget {
    Q_OBJECT
public:
    // Readings a second while the mouse moves.
    static constexpr int kReadingMs = 250;
    // Seconds of steady movement below the set rate before the hint shows.
    static constexpr double kHintAfterSeconds = 3.0;

    ReportRateView(MouseSession& session, QWidget* parent = nullptr);
    ~ReportRateView() override;

    void SetDeviceAvailable(bool connected);
    // Takes the report batches now, as the timer does (tests).
    void TakeReading();
    bool Reading() const { return reader_ != nullptr; }
    // The figure shown, in reports a second; 0 before there is one.
    double MeasuredHz() const;
    // The timer runs only while the mouse moves.
    bool Ticking() const { return timer_.isActive(); }
    // The clock and the pause between rounds of later readers (tests).
    void SetClock(PointerReader::Clock clock) { clock_ = std::move(clock); }
    void SetPause(PointerReader::Pause pause) { pause_ = std::move(pause); }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void StartReading();
    void StopReading();
    void ShowFigures();
    double SetRate() const;

    MouseSession& session_;
    bool connected_ = false;
    PointerReader::Clock clock_ = PointerReader::SteadyNanoseconds;
    PointerReader::Pause pause_;
    std::unique_ptr<PointerReader> reader_;
    ReportRateMeter meter_;
    QTimer timer_;
    int stillReadings_ = 0;
    QLabel* figureLabel_ = nullptr;
    ReportRatePlot* plot_ = nullptr;
    QLabel* hintLabel_ = nullptr;
    bool hintToldRateNotApplied_ = false;
};
