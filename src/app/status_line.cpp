#include "app/status_line.h"

#include <QClipboard>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>

#include "device/find_result_text.h"
#include "ui/accessible_status.h"

namespace {

const QString kCommandsCopied = "The commands are copied.";

}  // namespace

StatusLine::StatusLine(QWidget* parent) : QWidget(parent) {
    text_ = new QLabel(this);
    text_->setObjectName("statusText");
    // File paths and the holder another program recorded are shown as they
    // are, never read as markup.
    text_->setTextFormat(Qt::PlainText);
    text_->setWordWrap(true);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    ReportAsStatusBar(text_);

    // Filled when they are shown: most starts never show them.
    hint_ = new QLabel(this);
    hint_->setObjectName("udevRuleHint");
    hint_->setWordWrap(true);
    commands_ = new QLabel(this);
    commands_->setObjectName("udevRuleCommands");
    commands_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    commands_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Wrapped where a line is wider than the window, as at a large scale.
    commands_->setWordWrap(true);
    copyButton_ = new QPushButton("Copy commands", this);
    copyButton_->setObjectName("copyCommandsButton");
    copyButton_->setAutoDefault(false);

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // Under the commands, not beside them: the window keeps its width.
    layout->addWidget(text_, 0, 0);
    layout->addWidget(hint_, 1, 0);
    layout->addWidget(commands_, 2, 0);
    layout->addWidget(copyButton_, 3, 0, Qt::AlignLeft);

    connect(copyButton_, &QPushButton::clicked, this, &StatusLine::CopyCommands);
    Show(QString(), false);
}

void StatusLine::Show(const QString& text, bool withRuleCommands, bool again) {
    shown_ = text;
    ShowStatus(text_, text, again);
    if (withRuleCommands) {
        // The rule may have been installed since: the words follow what is there now.
        hint_->setText(QString::fromStdString(UdevRuleInstallHint()));
        commands_->setText(QString::fromStdString(UdevRuleInstallCommands()));
        // Tab reaches only the button: it carries the whole explanation.
        copyButton_->setAccessibleDescription(text + ' ' + hint_->text());
    }
    hint_->setVisible(withRuleCommands);
    commands_->setVisible(withRuleCommands);
    copyButton_->setVisible(withRuleCommands);
}

void StatusLine::CopyCommands() {
    QGuiApplication::clipboard()->setText(QString::fromStdString(UdevRuleInstallCommands()));
    ShowStatus(text_, shown_.isEmpty() ? kCommandsCopied : shown_ + ' ' + kCommandsCopied, true);
}
