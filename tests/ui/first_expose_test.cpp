#include "ui/first_expose.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QWidget>

namespace {

TEST(FirstExpose, RunsOnceWhenTheShownWindowIsFirstOnScreen) {
    QWidget window;
    window.show();
    int runs = 0;
    bool exposedWhenRun = false;
    RunWhenFirstExposed(&window, [&] {
        ++runs;
        exposedWhenRun = window.windowHandle()->isExposed();
    });
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(0);
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(exposedWhenRun);

    window.hide();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(0);
    EXPECT_EQ(runs, 1) << "only the first time";
}

TEST(FirstExpose, AWindowAlreadyOnScreenRunsAtOnce) {
    QWidget window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    int runs = 0;
    RunWhenFirstExposed(&window, [&] { ++runs; });
    EXPECT_EQ(runs, 1);
}

}  // namespace
