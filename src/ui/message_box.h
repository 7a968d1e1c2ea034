#pragma once

#include <QString>
#include <functional>

class QWidget;

// Every message the tool shows goes through here: a message box with OK.
void ShowMessage(QWidget* parent, const QString& text);

// Tests record the texts instead of blocking on a box. {} = real message box.
void SetMessageHook(std::function<void(const QString&)> hook);
