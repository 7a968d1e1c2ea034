#pragma once

#include <QString>

class QLabel;

// A label that says how things stand (the main window's status line) is a
// status bar to a screen reader: its name and text are what it shows.
void ReportAsStatusBar(QLabel* label);

// Shows `text` and tells a screen reader once: the status bar's name changes
// to it, which orca and others present for a status bar.
// `again` announces it also when the text is the one shown already (a second
// APPLY confirmed is news too).
void ShowStatus(QLabel* label, const QString& text, bool again = false);
