#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

// The main window's line about the mouse: one sentence, and while this user
// may not open the mouse, the commands that install the udev rule with a
// button that copies them. It shows what the controller tells it; the
// controller alone decides what that is.
class StatusLine : public QWidget {
    Q_OBJECT
public:
    explicit StatusLine(QWidget* parent = nullptr);

    // A screen reader hears of a new text; `again` has it hear an unchanged one too.
    void Show(const QString& text, bool withRuleCommands, bool again = false);

private:
    void CopyCommands();

    QString shown_;  // what the controller said, without the copy's confirmation
    QLabel* text_ = nullptr;
    QLabel* hint_ = nullptr;
    QLabel* commands_ = nullptr;
    QPushButton* copyButton_ = nullptr;
};
