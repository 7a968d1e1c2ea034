#include "pages/basic/report_rate_view.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "device/mouse_session.h"
#include "device/pointer_reader.h"
#include "pages/basic/report_rate_plot.h"
#include "pages/pointer_reading.h"
#include "ui/accessible_interface.h"
#include "ui/accessible_status.h"

namespace {

// Still for this many readings: the timer stops until the next movement.
constexpr int kStillReadingsBeforeSleep = 4;
constexpr double kGlassModeRateHz = 125;
const char kMoveText[] = "Move the mouse to measure";

QString HzText(double hz) {
    return QString::fromStdString(RateText(hz));
}

QString HintText(double measuredHz, double setHz, bool rateNotApplied) {
    QString hint = "The mouse reaches the computer at about " + HzText(measuredHz) +
                   ", well below the " + HzText(setHz) +
                   " it is set to. Try another USB port, directly on the computer, not "
                   "through a hub.";
    if (rateNotApplied)
        hint += " A new polling rate takes effect after APPLY.";
    return hint;
}

// The figure's label as a screen reader should see it: a reading with a
// value (the rate in reports a second, 0 before the first) and the shown
// text as that value's text, not only a description.
class MeterReadingAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    MeterReadingAccessible(QLabel* label, const ReportRateView* view)
        : QAccessibleWidget(label, QAccessible::StaticText), view_(view) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Value)
            return static_cast<QLabel*>(widget())->text();
        return QAccessibleWidget::text(kind);
    }

    QVariant currentValue() const override { return Hz(); }
    QVariant minimumValue() const override { return 0; }
    QVariant maximumValue() const override { return std::max(8000.0, Hz()); }
    QVariant minimumStepSize() const override { return 1; }
    void setCurrentValue(const QVariant&) override {}  // a reading, not a setting

private:
    double Hz() const { return std::round(view_->MeasuredHz()); }

    const ReportRateView* view_;
};

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
    ReplaceAccessibleInterface(new MeterReadingAccessible(figureLabel_, this));
    plot_ = new ReportRatePlot(this);
    // The longest hint, hidden: its room stays taken, so the rows below do
    // not move when a hint appears.
    hintLabel_ = new QLabel(HintText(8888, 8888, true), this);
    hintLabel_->setObjectName("reportRateHint");
    hintLabel_->setAccessibleName("Report rate hint");
    hintLabel_->setWordWrap(true);
    QSizePolicy keepRoom = hintLabel_->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    hintLabel_->setSizePolicy(keepRoom);
    hintLabel_->hide();
    // Announced as the status line is, once for each new text.
    ReportAsStatusBar(hintLabel_);

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
    reader_ = ReadPointerFor(
        this, [this] { timer_.start(); }, clock_, pause_);
}

void ReportRateView::StopReading() {
    timer_.stop();
    reader_.reset();  // its end stops and joins the reading thread
    // A new reading starts afresh: the mouse, the port or the rate may have changed.
    meter_.Reset();
    plot_->Clear();
    stillReadings_ = 0;
    ShowFigures();
}

void ReportRateView::TakeReading() {
    if (!reader_)
        return;
    const std::vector<ReportBatch> batches = reader_->TakeBatches();
    meter_.SetExpectedRate(SetRate());
    meter_.Add(batches);
    if (batches.empty()) {
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

double ReportRateView::MeasuredHz() const {
    const auto figures = meter_.Current();
    return figures ? figures->rateHz : 0;
}

void ReportRateView::ShowFigures() {
    const double setHz = SetRate();
    plot_->SetSetRate(setHz);
    const auto figures = meter_.Current();
    const QString text = figures ? "Measured: " + HzText(figures->rateHz) : QString(kMoveText);
    figureLabel_->setAccessibleDescription(figures ? text + ", set to " + HzText(setHz) : text);
    if (text != figureLabel_->text()) {
        figureLabel_->setText(text);
        if (QAccessible::isActive()) {
            QAccessibleValueChangeEvent changed(figureLabel_, std::round(MeasuredHz()));
            QAccessible::updateAccessibility(&changed);
        }
    }

    const bool held = figures && meter_.SlowSeconds() >= kHintAfterSeconds;
    const bool appears = held && !hintLabel_->isVisible();
    hintLabel_->setVisible(held);
    if (!held)
        return;
    const bool rateNotApplied =
        session_.pendingSettings.pollingRateCode != session_.deviceSettings.pollingRateCode;
    const QString hint = HintText(figures->rateHz, setHz, rateNotApplied);
    // Told when it appears (again, even in the same words) and when its advice
    // changes; the figure in it follows the readings without a word.
    if (appears || rateNotApplied != hintToldRateNotApplied_) {
        ShowStatus(hintLabel_, hint, true);
        hintToldRateNotApplied_ = rateNotApplied;
    } else {
        hintLabel_->setText(hint);
    }
}
