#pragma once

#include <QString>
#include <QStringList>

#include "ui/message_box.h"

// Records the texts of message boxes and questions instead of showing them,
// while it lives; every question gets `answer`.
class MessageRecorder {
public:
    MessageRecorder() {
        SetMessageHook([this](const QString& text) { messages << text; });
        SetQuestionHook([this](const QString& text) {
            questions << text;
            return answer;
        });
    }
    ~MessageRecorder() {
        SetMessageHook({});
        SetQuestionHook({});
    }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    QStringList messages;
    QStringList questions;
    Answer answer = Answer::Yes;
};
