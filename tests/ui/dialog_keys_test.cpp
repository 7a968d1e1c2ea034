#include "ui/dialog_keys.h"

#include <gtest/gtest.h>

#include <QKeyEvent>
#include <utility>

namespace {

TEST(SwallowEnterAndEscape, TakesEscAndBothEnterKeysOnly) {
    const std::pair<Qt::Key, bool> cases[] = {
        {Qt::Key_Escape, true}, {Qt::Key_Return, true}, {Qt::Key_Enter, true},
        {Qt::Key_A, false},     {Qt::Key_Space, false}, {Qt::Key_Tab, false},
    };
    for (const auto& [key, swallowed] : cases) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        event.ignore();
        EXPECT_EQ(SwallowEnterAndEscape(&event), swallowed) << "key " << key;
        EXPECT_EQ(event.isAccepted(), swallowed) << "key " << key;
    }
}

}  // namespace
