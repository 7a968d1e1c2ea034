#include "pages/basic/cpi_check_dialog.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>
#include <utility>

#include "device/cpi_check_text.h"
#include "device/mouse_session.h"
#include "device/number_text.h"
#include "device/pointer_reader.h"
#include "pages/basic/cpi_check_picture.h"
#include "pages/pointer_reading.h"
#include "ui/accessible_status.h"
#include "ui/dialog_keys.h"
#include "ui/keyboard_focus.h"

namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

// Held with the mouse, the button stays down wherever the pointer goes: the
// stroke carries the pointer far off it, and its release still ends it.
class HoldButton : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    bool hitButton(const QPoint& pos) const override {
        return isDown() || QPushButton::hitButton(pos);
    }
};

constexpr int kInchDecimals = 2;

}  // namespace

CpiCheckDialog::CpiCheckDialog(MouseSession& session, QWidget* parent)
    : QDialog(parent), session_(session) {
    BuildLayout();
    ConnectSignals();
    ShowFocusFrameFromTheStart(this);
    OnDistanceChanged();
    ShowSetCpi();
    ShowStrokes();
    strokeButton_->setFocus(Qt::OtherFocusReason);
    timer_.setInterval(kReadingMs);
}

CpiCheckDialog::~CpiCheckDialog() {
    StopReading();
}

void CpiCheckDialog::BuildLayout() {
    setWindowTitle("CPI check");
    setObjectName("cpiCheckDialog");
    setLabel_ = new QLabel(this);
    setLabel_->setObjectName("cpiCheckSetLabel");
    setLabel_->setWordWrap(true);
    instructionsLabel_ = new QLabel(this);
    instructionsLabel_->setObjectName("cpiCheckInstructions");
    instructionsLabel_->setWordWrap(true);
    picture_ = new CpiCheckPicture(this);

    distanceField_ = new QDoubleSpinBox(this);
    distanceField_->setObjectName("cpiCheckDistanceField");
    distanceField_->setAccessibleName("Stroke distance");
    distanceField_->setRange(kShortestStrokeCm, kLongestStrokeCm);
    distanceField_->setDecimals(1);
    distanceField_->setSingleStep(1);
    distanceField_->setValue(kDefaultStrokeCm);
    unitList_ = new QComboBox(this);
    unitList_->setObjectName("cpiCheckUnitList");
    unitList_->setAccessibleName("Distance unit");
    unitList_->addItems({"cm", "in"});
    auto* distanceLabel = new QLabel("&Distance:", this);
    distanceLabel->setBuddy(distanceField_);
    strokeButton_ = new HoldButton(this);
    strokeButton_->setObjectName("cpiCheckStrokeButton");
    strokeButton_->setAutoDefault(false);
    auto* controls = new QHBoxLayout;
    controls->addWidget(distanceLabel);
    controls->addWidget(distanceField_);
    controls->addWidget(unitList_);
    controls->addStretch(1);
    controls->addWidget(strokeButton_);

    statusLabel_ = new QLabel(this);
    statusLabel_->setObjectName("cpiCheckStatusLabel");
    statusLabel_->setWordWrap(true);
    statusLabel_->setAccessibleName("CPI check status");
    ReportAsStatusBar(statusLabel_);
    resultsList_ = new QListWidget(this);
    resultsList_->setObjectName("cpiCheckResultsList");
    resultsList_->setAccessibleName("Measured strokes");
    // Room for five strokes; more scroll.
    resultsList_->setFixedHeight(resultsList_->fontMetrics().height() * 5 + 8);
    summaryLabel_ = new QLabel(this);
    summaryLabel_->setObjectName("cpiCheckSummaryLabel");
    summaryLabel_->setAccessibleName("Result");
    summaryLabel_->setWordWrap(true);
    QFont bold = summaryLabel_->font();
    bold.setBold(true);
    summaryLabel_->setFont(bold);
    summaryLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse |
                                           Qt::TextSelectableByKeyboard);
    summaryLabel_->setFocusPolicy(Qt::NoFocus);
    meaningLabel_ = new QLabel(this);
    meaningLabel_->setObjectName("cpiCheckMeaningLabel");
    meaningLabel_->setWordWrap(true);

    clearButton_ = new QPushButton("C&lear strokes", this);
    clearButton_->setObjectName("cpiCheckClearButton");
    clearButton_->setAutoDefault(false);
    closeButton_ = new QPushButton("&Close", this);
    closeButton_->setObjectName("cpiCheckCloseButton");
    closeButton_->setAutoDefault(false);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(clearButton_);
    bottom->addStretch(1);
    bottom->addWidget(closeButton_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(setLabel_);
    layout->addWidget(instructionsLabel_);
    layout->addWidget(picture_);
    layout->addLayout(controls);
    layout->addWidget(statusLabel_);
    layout->addWidget(resultsList_);
    layout->addWidget(summaryLabel_);
    layout->addWidget(meaningLabel_);
    layout->addLayout(bottom);
    setMinimumWidth(560);
    setTabOrder(strokeButton_, distanceField_);
    setTabOrder(distanceField_, unitList_);
    setTabOrder(unitList_, resultsList_);
    setTabOrder(resultsList_, clearButton_);
    setTabOrder(clearButton_, closeButton_);
}

void CpiCheckDialog::ConnectSignals() {
    connect(strokeButton_, &QPushButton::pressed, this, &CpiCheckDialog::OnStrokePressed);
    connect(strokeButton_, &QPushButton::released, this, &CpiCheckDialog::OnStrokeReleased);
    connect(distanceField_, &QDoubleSpinBox::valueChanged, this,
            &CpiCheckDialog::OnDistanceChanged);
    connect(unitList_, &QComboBox::activated, this, &CpiCheckDialog::OnUnitChosen);
    connect(clearButton_, &QPushButton::clicked, this, &CpiCheckDialog::ClearStrokes);
    connect(closeButton_, &QPushButton::clicked, this, &QDialog::accept);
    connect(&timer_, &QTimer::timeout, this, &CpiCheckDialog::TakeReading);
}

// ---------------------------------------------------------------- the reader

void CpiCheckDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    StartReading();
}

void CpiCheckDialog::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    StopReading();
}

void CpiCheckDialog::StartReading() {
    if (reader_)
        return;
    // The first batch of a movement wakes the timer, also between strokes,
    // when the batches are only let go of: a still mouse costs nothing.
    reader_ = ReadPointerFor(this, [this] { timer_.start(); });
    const bool usable = !reader_->Gone() && reader_->KnowsReportLayout();
    strokeButton_->setEnabled(usable);
    if (usable) {
        ShowStrokes();
    } else if (reader_->Gone()) {
        ShowStatus("The mouse's pointer interface cannot be opened, so nothing can be measured.");
    } else if (!reader_->KnowsReportLayout()) {
        ShowStatus(
            "The mouse's pointer interface does not say where its reports keep X and Y, "
            "so its counts cannot be summed.");
    }
}

void CpiCheckDialog::StopReading() {
    timer_.stop();
    measuring_ = false;
    reader_.reset();  // its end stops and joins the reading thread
}

void CpiCheckDialog::TakeReading() {
    if (!reader_)
        return;
    const std::vector<ReportBatch> batches = reader_->TakeBatches();
    if (!measuring_) {
        if (batches.empty())
            timer_.stop();
        return;
    }
    stroke_.Add(batches);
    if (reader_->Gone()) {
        measuring_ = false;
        timer_.stop();
        strokeButton_->setEnabled(false);
        picture_->SetTravelled(std::nullopt);
        ShowStrokes();
        ShowStatus("The mouse went away while it was measured.");
        return;
    }
    const std::optional<SetCpi> set = ActiveLevelCpi(session_.deviceSettings);
    const double counts = std::hypot(double(stroke_.sumX), double(stroke_.sumY));
    // Where the counts put the mouse, at the CPI it is set to.
    if (set && set->x > 0)
        picture_->SetTravelled(counts / set->x);
    statusLabel_->setText("Measuring stroke " + QString::number(results_.size() + 1) + ": " +
                          Text(GroupedNumber(std::llround(counts))) + " counts so far.");
}

// ---------------------------------------------------------------- strokes

void CpiCheckDialog::OnStrokePressed() {
    if (measuring_) {
        FinishStroke();
        startedByPress_ = false;
        return;
    }
    StartStroke();
    startedByPress_ = true;
}

// A release after the mouse moved ends a stroke made with the button held; a
// click (no movement yet) leaves it running until the next press.
void CpiCheckDialog::OnStrokeReleased() {
    if (!std::exchange(startedByPress_, false) || !measuring_ || !reader_)
        return;
    stroke_.Add(reader_->TakeBatches());
    if (stroke_.sumX != 0 || stroke_.sumY != 0)
        FinishStroke();
}

void CpiCheckDialog::StartStroke() {
    if (!reader_ || reader_->Gone())
        return;
    reader_->TakeBatches();  // what moved before the start does not count
    stroke_ = Stroke{};
    strokeInches_ = DistanceInches();
    measuring_ = true;
    timer_.start();
    picture_->SetTravelled(0.0);
    ShowStrokes();
    ShowStatus("Measuring stroke " + QString::number(results_.size() + 1) + ": move the mouse " +
               Text(DistanceText(strokeInches_)) +
               " along the ruler, then press Space or release the button.");
}

void CpiCheckDialog::FinishStroke() {
    TakeReading();
    if (!measuring_)
        return;  // the mouse went away
    measuring_ = false;
    timer_.stop();
    picture_->SetTravelled(std::nullopt);
    const std::optional<StrokeResult> result = MeasureStroke(stroke_, strokeInches_);
    if (!result) {
        ShowStrokes();
        ShowStatus("No movement was seen; that stroke does not count. Try it again.");
        return;
    }
    const std::optional<SetCpi> set = ActiveLevelCpi(session_.deviceSettings);
    const bool setChanged =
        !results_.empty() && (set.has_value() != resultsSet_.has_value() ||
                              (set && (set->x != resultsSet_->x || set->y != resultsSet_->y)));
    if (setChanged) {
        results_.clear();
    }
    resultsSet_ = set;
    results_.push_back(*result);
    ShowSetCpi();
    ShowStrokes();
    const QString done =
        "Stroke " + QString::number(results_.size()) + ": " + Text(StrokeText(*result)) + ".";
    ShowStatus(setChanged ? done +
                                " The mouse's CPI changed, so the strokes before it were "
                                "cleared."
                          : done);
}

void CpiCheckDialog::ClearStrokes() {
    results_.clear();
    resultsSet_.reset();
    measuring_ = false;
    timer_.stop();
    picture_->SetTravelled(std::nullopt);
    ShowStrokes();
    ShowStatus("Strokes cleared.");
}

// ---------------------------------------------------------------- distance

double CpiCheckDialog::DistanceInches() const {
    return InInches() ? distanceField_->value() : distanceField_->value() / kCentimetresPerInch;
}

bool CpiCheckDialog::InInches() const {
    return unitList_->currentIndex() == 1;
}

// The same distance in the other unit, within the range in either.
void CpiCheckDialog::OnUnitChosen(int) {
    const QSignalBlocker blocker(distanceField_);
    const double centimetres = distanceField_->property("centimetres").toDouble();
    if (InInches()) {
        distanceField_->setDecimals(kInchDecimals);
        distanceField_->setSingleStep(0.25);
        distanceField_->setRange(std::ceil(kShortestStrokeCm / kCentimetresPerInch * 100) / 100,
                                 std::floor(kLongestStrokeCm / kCentimetresPerInch * 100) / 100);
        distanceField_->setValue(centimetres / kCentimetresPerInch);
    } else {
        distanceField_->setRange(kShortestStrokeCm, kLongestStrokeCm);
        distanceField_->setDecimals(1);
        distanceField_->setSingleStep(1);
        distanceField_->setValue(centimetres);
    }
    distanceField_->setSuffix(InInches() ? " in" : " cm");
    OnDistanceChanged();
}

void CpiCheckDialog::OnDistanceChanged() {
    const double inches = DistanceInches();
    distanceField_->setProperty("centimetres", inches * kCentimetresPerInch);
    distanceField_->setSuffix(InInches() ? " in" : " cm");
    picture_->SetDistance(inches, InInches());
    instructionsLabel_->setText(
        "Lay a ruler on the desk and put the mouse against its 0 mark. Press Space (or hold "
        "the Start stroke button with the mouse), move the mouse in a straight line to the " +
        Text(DistanceText(inches)) +
        " mark, then press Space again (or release). Three to five strokes give a steady "
        "figure; stroke along the ruler's edge, horizontally or vertically, to measure X or Y.");
    meaningLabel_->setText(Text(MeaningText() + " " + RulerText(inches)));
}

// ---------------------------------------------------------------- what is shown

void CpiCheckDialog::ShowSetCpi() {
    const std::optional<SetCpi> set = ActiveLevelCpi(session_.deviceSettings);
    QString text = set ? "The mouse is set to " + Text(SetCpiText(*set)) + "."
                       : QString(
                             "The mouse names no active level, so there is no set CPI to "
                             "compare with.");
    const std::optional<SetCpi> shown = ActiveLevelCpi(session_.pendingSettings);
    if (set && shown && (shown->x != set->x || shown->y != set->y || shown->level != set->level))
        text += " The page shows changes not applied yet; the mouse measures with what it holds.";
    setLabel_->setText(text);
}

void CpiCheckDialog::ShowStrokes() {
    strokeButton_->setText(measuring_ ? "&Stop stroke" : "&Start stroke");
    strokeButton_->setAccessibleDescription(
        measuring_ ? "Press, or release when held, to end the stroke"
                   : "Press to start a stroke, or hold it while moving the mouse");
    resultsList_->clear();
    for (size_t i = 0; i < results_.size(); ++i) {
        resultsList_->addItem("Stroke " + QString::number(i + 1) + ": " +
                              Text(StrokeText(results_[i])));
    }
    clearButton_->setEnabled(!results_.empty());
    const std::optional<CpiCheckSummary> summary = SummariseStrokes(results_, resultsSet_);
    if (!summary) {
        summaryLabel_->setText("No strokes measured yet.");
        if (!measuring_ && reader_ && strokeButton_->isEnabled())
            statusLabel_->setText("Press Space or hold Start stroke to measure stroke 1.");
        return;
    }
    QStringList lines;
    for (const std::string& line : SummaryLines(*summary, resultsSet_))
        lines << Text(line);
    summaryLabel_->setText(lines.join('\n'));
}

void CpiCheckDialog::ShowStatus(const QString& text) {
    ::ShowStatus(statusLabel_, text, true);
}

// Space belongs to the stroke button; Enter and Esc never end the dialog.
void CpiCheckDialog::keyPressEvent(QKeyEvent* event) {
    if (!SwallowEnterAndEscape(event))
        QDialog::keyPressEvent(event);
}
