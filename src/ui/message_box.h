#pragma once

#include <QString>
#include <functional>

class QWidget;

// The program's name as its main window shows it; every message box carries
// it as its title, so a box always says where it comes from.
inline constexpr char kProgramTitle[] = "Kestrine XQ3 8k v2 Configuration Tool";

// Every message the tool shows goes through here: a message box with OK.
void ShowMessage(QWidget* parent, const QString& text);

// Tests record the texts instead of blocking on a box. {} = real message box.
void SetMessageHook(std::function<void(const QString&)> hook);
