#pragma once

#include <QString>

class QAbstractButton;

// What a screen reader is told about controls whose plain Qt description
// falls short. Labels beside a control are tied to it with QLabel::setBuddy
// (a "labelled by" relation); these cover the rest.

// A radio button whose page decides which button is checked (it is not
// auto-exclusive) is still a radio button: Qt would announce it as a check box.
void AnnounceAsRadioButton(QAbstractButton* button);
