#pragma once

#include <gtest/gtest.h>

#include <QWidget>

// Shows `page` at `size` and checks that every visible control on it lies
// inside it and gets at least the size it asks for (wrapped text: the height
// its width needs), so nothing is clipped.
inline void ExpectNothingClipped(QWidget& page, const QSize& size) {
    EXPECT_LE(page.minimumSizeHint().width(), size.width());
    EXPECT_LE(page.minimumSizeHint().height(), size.height());
    page.resize(size);
    page.show();
    for (QWidget* child : page.findChildren<QWidget*>()) {
        if (!child->isVisibleTo(&page) || child->parentWidget() != &page) {
            continue;
        }
        const std::string name = child->objectName().toStdString();
        EXPECT_TRUE(page.rect().contains(child->geometry())) << name;
        EXPECT_GE(child->width(), child->minimumSizeHint().width()) << name;
        const int neededHeight = child->hasHeightForWidth() ? child->heightForWidth(child->width())
                                                            : child->minimumSizeHint().height();
        EXPECT_GE(child->height(), neededHeight) << name;
    }
}
