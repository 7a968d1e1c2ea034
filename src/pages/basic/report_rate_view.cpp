#include "pages/basic/report_rate_view.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>

#include "device/mouse_session.h"
#include "device/pointer_reader.h"
#include "pages/basic/report_rate_plot.h"

namespace {

// Still for this many readings: the timer stops until the next movement.
constexpr int kStillReadingsBeforeSleep = 4;
constexpr double kGlassModeRateHz = 125;
const char kMoveText[] = "Move the mouse to measure";

QString HzText(double hz) {
    return QString::fromStdString(RateText(hz));
}

}  // namespace

ReportRateView::ReportRateView(MouseSession& session, QWidget* parent)
    : QWidget(parent), session_(session) {
    setObjectName("reportRateView");
    figureLabel_ = new QLabel(kMoveText, this);
    figureLabel_->setObjectName("measuredRateLabel");
    figureLabel_->setAccessibleName("Measured report rate");
    figureLabel_->setAccessibleDescription(kMoveText);
    figureLabel_->setTextInteractionFlags(Qt::TextSelectableByKeyboard);
    figureLabel_->setFocusPolicy(Qt::NoFocus);
    // Wide enough for either text, so that the plot beside it stays put.
    const QFontMetrics metrics = figureLabel_->fontMetrics();
    figureLabel_->setMinimumWidth(std::max(metrics.horizontalAdvance(kMoveText),
                                           metrics.horizontalAdvance("Measured: 8,888 Hz")));
    plot_ = new ReportRatePlot(this);
    hintLabel_ = new QLabel(this);
    hintLabel_->setObjectName("reportRateHint");
    hintLabel_->setAccessibleName("Report rate hint");
    hintLabel_->setWordWrap(true);
    hintLabel_->hide();

    auto* line = new QHBoxLayout;
    line->setContentsMargins(0, 0, 0, 0);
    line->addWidget(figureLabel_);
    line->addWidget(plot_);
    line->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(line);
    layout->addWidget(hintLabel_);

    timer_.setInterval(kReadingMs);
    connect(&timer_, &QTimer::timeout, this, &ReportRateView::TakeReading);
}

ReportRateView::~ReportRateView() {
    StopReading();
}

void ReportRateView::SetDeviceAvailable(bool connected) {
    connected_ = connected;
    if (!connected) {
        StopReading();
    } else if (isVisible()) {
        StartReading();
    }
    figureLabel_->setEnabled(connected);
}

void ReportRateView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (connected_)
        StartReading();
}

void ReportRateView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    StopReading();
}

void ReportRateView::StartReading() {
    if (reader_ && !reader_->Gone())
        return;
    StopReading();
    // The reading thread only wakes the UI thread; a queued call to a widget
    // that has gone meanwhile is dropped by the toolkit.
    reader_ = std::make_unique<PointerReader>(OpenPointerInterface(), clock_, [this] {
        QMetaObject::invokeMethod(
            this, [this] { timer_.start(); }, Qt::QueuedConnection);
    });
}

void ReportRateView::StopReading() {
    timer_.stop();
    if (reader_) {
        reader_->Stop();
        reader_.reset();
    }
    // A new reading starts afresh: the mouse, the port or the rate may have changed.
    meter_.Reset();
    plot_->Clear();
    stillReadings_ = 0;
    ShowFigures();
}

void ReportRateView::TakeReading() {
    if (!reader_)
        return;
    const std::vector<int64_t> arrivals = reader_->TakeArrivals();
    meter_.SetExpectedRate(SetRate());
    meter_.Add(arrivals);
    if (arrivals.empty()) {
        plot_->AddReading(0);
        if (++stillReadings_ >= kStillReadingsBeforeSleep)
            timer_.stop();
    } else {
        stillReadings_ = 0;
        const auto batch = meter_.LastBatch();
        plot_->AddReading(batch ? batch->rateHz : 0);
    }
    ShowFigures();
}

double ReportRateView::SetRate() const {
    const SettingsRecord& held = session_.deviceSettings;
    if (held.glassMode == 1)
        return kGlassModeRateHz;
    return SetRateHz(held.pollingRateCode);
}

void ReportRateView::ShowFigures() {
    const double setHz = SetRate();
    plot_->SetSetRate(setHz);
    const auto figures = meter_.Current();
    const QString text = figures ? "Measured: " + HzText(figures->rateHz) : QString(kMoveText);
    figureLabel_->setText(text);
    figureLabel_->setAccessibleDescription(figures ? text + ", set to " + HzText(setHz) : text);

    const bool held = figures && meter_.SlowSeconds() >= kHintAfterSeconds;
    if (held) {
        QString hint = "The mouse reaches the computer at about " + HzText(figures->rateHz) +
                       ", well below the " + HzText(setHz) +
                       " it is set to. Try another USB port, directly on the computer, not "
                       "through a hub.";
        if (session_.pendingSettings.pollingRateCode != session_.deviceSettings.pollingRateCode)
            hint += " A new polling rate takes effect after APPLY.";
        hintLabel_->setText(hint);
        hintLabel_->setAccessibleDescription(hint);
    }
    hintLabel_->setVisible(held);
}
