#pragma once

#include <QString>
#include <functional>

class QSlider;

// How a track bar's positions stand for the value the user sees beside it.
struct SliderScale {
    std::function<double(int)> toShown;     // the value a track position stands for
    std::function<int(double)> toPosition;  // the nearest track position for a value
    std::function<double()> shown;          // the value now shown, which the bar may not reach
    // The range; when both are 0, what the ends of the bar stand for.
    double minimum = 0;
    double maximum = 0;
    QString unit;  // said after the number, "CPI"; empty for none
};

// A track bar tells a screen reader the value the user sees (1600 CPI), not
// its track position (160): as its value, its value text and its range. A
// value set through the screen reader moves the bar as a drag would.
void ReportSliderValue(QSlider* slider, SliderScale scale);

// For a track bar whose position is the value itself, whatever its range.
void ReportSliderPosition(QSlider* slider, const QString& unit = {});
