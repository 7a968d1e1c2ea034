#include "ui/message_box.h"

#include <QMessageBox>

namespace {
std::function<void(const QString&)>& MessageHook() {
    static std::function<void(const QString&)> hook;
    return hook;
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
