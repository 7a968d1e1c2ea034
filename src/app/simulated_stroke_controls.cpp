#include "app/simulated_stroke_controls.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "device/cpi_check.h"
#include "device/number_text.h"
#include "device/simulated/simulated_motion.h"
#include "device/simulated/simulated_mouse.h"

SimulatedStrokeControls::SimulatedStrokeControls(SimulatedMouse& mouse, QWidget* parent)
    : QWidget(parent), mouse_(mouse), motion_(std::make_unique<SimulatedMotion>(mouse)) {
    distanceField_ = new QDoubleSpinBox(this);
    distanceField_->setObjectName("simulatedStrokeDistance");
    distanceField_->setAccessibleName("Stroke distance");
    distanceField_->setRange(kShortestStrokeCm, kLongestStrokeCm);
    distanceField_->setDecimals(1);
    distanceField_->setValue(kDefaultStrokeCm);
    distanceField_->setSuffix(" cm");
    offField_ = new QDoubleSpinBox(this);
    offField_->setObjectName("simulatedStrokeOff");
    offField_->setAccessibleName("Sensor off its set CPI");
    offField_->setRange(-20, 20);
    offField_->setDecimals(1);
    offField_->setValue(3);
    offField_->setSuffix(" %");
    offField_->setToolTip("How far the simulated sensor's true CPI is off the set one");
    wayList_ = new QComboBox(this);
    wayList_->setObjectName("simulatedStrokeWay");
    wayList_->setAccessibleName("Stroke direction");
    wayList_->addItems({"right", "down", "diagonal"});
    strokeButton_ = new QPushButton("S&troke", this);  // Alt+T
    strokeButton_->setObjectName("simulatedStrokeButton");
    strokeButton_->setToolTip("Moves the mouse along a ruler by the distance, at its set rate");
    countsLabel_ = new QLabel(this);
    countsLabel_->setObjectName("simulatedStrokeCounts");

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* offLabel = new QLabel("sensor", this);
    offLabel->setBuddy(offField_);
    layout->addWidget(distanceField_, 0, 0);
    layout->addWidget(wayList_, 0, 1);
    layout->addWidget(offLabel, 1, 0, Qt::AlignRight);
    layout->addWidget(offField_, 1, 1);
    layout->addWidget(strokeButton_, 2, 0);
    layout->addWidget(countsLabel_, 2, 1);
    connect(strokeButton_, &QPushButton::clicked, this, &SimulatedStrokeControls::MakeStroke);
}

SimulatedStrokeControls::~SimulatedStrokeControls() = default;

void SimulatedStrokeControls::WaitUntilStill() {
    motion_->WaitUntilStill();
}

void SimulatedStrokeControls::MakeStroke() {
    if (motion_->Moving())
        return;
    SettingsRecord held{};
    DecodeSettingsImage(mouse_.Firmware().Memory(), held);
    const StrokeWay way = static_cast<StrokeWay>(wayList_->currentIndex());
    const StrokeCounts counts = TrueStrokeCounts(
        held, distanceField_->value() / kCentimetresPerInch, offField_->value(), way);
    countsLabel_->setText(QString::fromStdString("X " + GroupedNumber(counts.x) + ", Y " +
                                                 GroupedNumber(counts.y) + " counts"));
    motion_->Stroke(counts);
}
