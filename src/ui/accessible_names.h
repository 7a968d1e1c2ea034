#pragma once

#include <QString>

class QAbstractButton;
class QLineEdit;
class QSlider;

// What a screen reader is told about controls whose plain Qt description
// falls short. Labels beside a control are tied to it with QLabel::setBuddy
// (a "labelled by" relation); these cover the rest.

// A radio button whose page decides which button is checked (it is not
// auto-exclusive) is still a radio button: Qt would announce it as a check box.
void AnnounceAsRadioButton(QAbstractButton* button);

// A slider reports its track position, which is not always the value the user
// sees (position 40 stands for 400 CPI). Its description follows the text of
// the field beside it, with `unit` after the number when one is given.
void DescribeSliderByField(QSlider* slider, const QLineEdit* field, const QString& unit = {});
