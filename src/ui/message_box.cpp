#include "ui/message_box.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <utility>

namespace {
std::function<void(const QString&)>& MessageHook() {
    static std::function<void(const QString&)> hook;
    return hook;
}

std::function<Answer(const QString&)>& QuestionHook() {
    static std::function<Answer(const QString&)> hook;
    return hook;
}

QMessageBox::StandardButton ButtonFor(Answer answer) {
    switch (answer) {
        case Answer::Yes:
            return QMessageBox::Yes;
        case Answer::No:
            return QMessageBox::No;
        case Answer::Apply:
            return QMessageBox::Apply;
        case Answer::Discard:
            return QMessageBox::Discard;
        case Answer::Cancel:
            break;
    }
    return QMessageBox::Cancel;
}
}  // namespace

void ShowMessage(QWidget* parent, const QString& text) {
    if (MessageHook()) {
        MessageHook()(text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, kProgramTitle, text, QMessageBox::Ok, parent);
    box.exec();
}

void SetMessageHook(std::function<void(const QString&)> hook) {
    MessageHook() = std::move(hook);
}

Answer AskQuestion(QWidget* parent, const QString& text, std::initializer_list<Answer> answers,
                   Answer defaultAnswer, Answer escapeAnswer) {
    if (QuestionHook()) {
        return QuestionHook()(text);
    }
    QMessageBox box(QMessageBox::Question, kProgramTitle, text, QMessageBox::NoButton, parent);
    for (Answer answer : answers) {
        box.addButton(ButtonFor(answer));
    }
    // Qt gives these two no Alt+letter of their own.
    for (const auto& [standard, text] :
         {std::pair{QMessageBox::Apply, "&Apply"}, std::pair{QMessageBox::Discard, "&Discard"}}) {
        if (QAbstractButton* button = box.button(standard)) {
            button->setText(text);
        }
    }
    box.setDefaultButton(ButtonFor(defaultAnswer));
    box.setEscapeButton(box.button(ButtonFor(escapeAnswer)));
    box.exec();
    const auto clicked = box.standardButton(box.clickedButton());
    for (Answer answer : answers) {
        if (ButtonFor(answer) == clicked) {
            return answer;
        }
    }
    return escapeAnswer;
}

void SetQuestionHook(std::function<Answer(const QString&)> hook) {
    QuestionHook() = std::move(hook);
}
