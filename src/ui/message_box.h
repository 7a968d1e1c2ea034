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

// A question the user answers with one of its buttons. Escape gives
// `escapeAnswer`; Enter gives `defaultAnswer`.
enum class Answer { Yes, No, Apply, Discard, Cancel };
Answer AskQuestion(QWidget* parent, const QString& text, std::initializer_list<Answer> answers,
                   Answer defaultAnswer, Answer escapeAnswer);

// Tests answer questions instead of showing them. {} = real message box.
void SetQuestionHook(std::function<Answer(const QString&)> hook);
