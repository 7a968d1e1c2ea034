#pragma once

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include "settings/settings_image.h"

// Input the way a user gives it, for the page tests.

// A settings record as a mouse with factory settings sends it.
inline SettingsRecord DefaultRecord() {
    SettingsRecord record{};
    LoadDefaultSettings(record);
    return record;
}

// Chooses an entry the way the keyboard does on a closed drop-down list:
// every step selects the next entry and tells the page.
inline void Choose(QComboBox* list, const QString& text) {
    const int target = list->findText(text);
    ASSERT_GE(target, 0) << text.toStdString();
    ASSERT_TRUE(list->isEnabled()) << "a disabled list takes no keys";
    while (list->currentIndex() < target) {
        QTest::keyClick(list, Qt::Key_Down);
    }
    while (list->currentIndex() > target) {
        QTest::keyClick(list, Qt::Key_Up);
    }
}

// Empties the field as a user does, the page seeing the empty text.
inline void ClearField(QLineEdit* field) {
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
}

// Empties the field, then types the text key by key.
inline void TypeInto(QLineEdit* field, const QString& text) {
    ClearField(field);
    QTest::keyClicks(field, text);
}

// Replaces the text the way a user does: focus, select all, then type over it.
inline void ReplaceText(QLineEdit* field, const QString& text) {
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, text);
}
