#pragma once

#include <QString>
#include <QStringList>

#include "ui/message_box.h"

// Records the texts of message boxes instead of showing them, while it lives.
class MessageRecorder {
public:
    MessageRecorder() {
        SetMessageHook([this](const QString& text) { messages << text; });
    }
    ~MessageRecorder() { SetMessageHook({}); }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    QStringList messages;
};
