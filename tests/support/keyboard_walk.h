#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QStringList>
#include <QTest>
#include <QWidget>

// Shows `window` and makes it the active window, so keys reach its focus.
inline void ShowActive(QWidget& window) {
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
}

// The object name of the control that has the keyboard focus ("" for none).
inline QString FocusName() {
    QWidget* focus = QApplication::focusWidget();
    return focus == nullptr ? QString() : focus->objectName();
}

// A key pressed and released as the user does, at whatever has the focus.
inline void PressKey(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr) << "no control has the focus";
    QTest::keyClick(focus, key, modifiers);
}

// The controls Tab visits from `first` (included) until it comes back to
// `first`, by object name; stops after `limit` presses.
inline QStringList TabWalk(QWidget* first, int limit = 60) {
    first->setFocus(Qt::TabFocusReason);
    QStringList names{FocusName()};
    for (int press = 0; press < limit; ++press) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        if (QApplication::focusWidget() == first) {
            break;
        }
        names << FocusName();
    }
    return names;
}
