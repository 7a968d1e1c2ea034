#include "ui/accessible_status.h"

#include "ui/accessible_interface.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>

namespace {

class StatusBarAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit StatusBarAccessible(QLabel* label)
        : QAccessibleWidget(label, QAccessible::StatusBar) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface) {
            return static_cast<QAccessibleTextInterface*>(this);
        }
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name && Label()->accessibleName().isEmpty()) {
            return Shown();
        }
        return QAccessibleWidget::text(kind);
    }

    void selection(int, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = 0;
    }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int startOffset, int endOffset) const override {
        return Shown().mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return int(Shown().size()); }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = offset;
        return {};
    }

private:
    QLabel* Label() const { return static_cast<QLabel*>(widget()); }
    QString Shown() const { return Label()->text(); }
};

}  // namespace

void ReportAsStatusBar(QLabel* label) {
    ReplaceAccessibleInterface(new StatusBarAccessible(label));
}

void ShowStatus(QLabel* label, const QString& text, bool again) {
    const QString old = label->text();
    if (old == text && !again) {
        return;
    }
    // A new text is announced by QLabel itself, once, when the label's name
    // is its text: the name changes, and the bridge sends the text that came.
    // An event of our own on top made readers say it twice. A label with a
    // name of its own (the meter's hint) gets no such event from QLabel, and
    // an unchanged text repeated as news none either: those are said here.
    label->setText(text);
    if (!QAccessible::isActive() || text.isEmpty()) {
        return;
    }
    if (!label->accessibleName().isEmpty()) {
        QAccessibleTextUpdateEvent update(label, 0, old, text);
        QAccessible::updateAccessibility(&update);
    } else if (old == text) {
        QAccessibleEvent named(label, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&named);
    }
}
