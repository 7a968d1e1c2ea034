#include "ui/colour_swatch.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QSignalSpy>
#include <QTest>

namespace {

// The number of pixels in the rectangle of the image that are not the colour.
int PixelsNotOf(const QImage& image, const QRect& area, QColor colour) {
    int wrong = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            wrong += image.pixelColor(x, y).rgb() != colour.rgb();
        }
    }
    return wrong;
}

int PixelsNotOf(const QImage& image, QColor colour) {
    return PixelsNotOf(image, image.rect(), colour);
}

TEST(QyxStatic, NeverSetPaintsTheDialogGrey) {
    CQyxStatic swatch;
    swatch.resize(40, 14);
    const QImage image = swatch.grab().toImage();
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(PixelsNotOf(image, QColor(240, 240, 240)), 0);
}

TEST(QyxStatic, SetColourFillsTheWholeControl) {
    const QColor colours[] = {QColor(255, 0, 0), QColor(0, 128, 255), QColor(0, 0, 0)};
    for (const QColor& colour : colours) {
        CQyxStatic swatch;
        swatch.resize(40, 14);
        swatch.backgroundColour = colour;
        const QImage image = swatch.grab().toImage();
        EXPECT_EQ(image.size(), QSize(40, 14) * image.devicePixelRatio());
        EXPECT_EQ(PixelsNotOf(image, colour), 0) << colour.name().toStdString();
    }
}

TEST(QyxStatic, HiddenThenShownPaintsItsColourAgain) {
    QWidget window;
    window.resize(120, 60);
    window.setAutoFillBackground(true);
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, Qt::white);
    window.setPalette(palette);
    auto* swatch = new CQyxStatic(&window);
    swatch->setGeometry(20, 20, 40, 14);
    swatch->backgroundColour = QColor(0, 160, 0);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QRect area = swatch->geometry();

    swatch->hide();
    EXPECT_EQ(PixelsNotOf(window.grab().toImage(), area, Qt::white), 0);

    swatch->show();
    EXPECT_EQ(PixelsNotOf(window.grab().toImage(), area, QColor(0, 160, 0)), 0);
}

TEST(QyxStatic, LeftClickEmitsClickedAndOtherButtonsDoNot) {
    CQyxStatic swatch;
    swatch.resize(40, 14);
    swatch.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&swatch));
    QSignalSpy clicked(&swatch, &CQyxStatic::clicked);

    QTest::mouseClick(&swatch, Qt::RightButton);
    QTest::mouseClick(&swatch, Qt::MiddleButton);
    EXPECT_EQ(clicked.count(), 0);

    QTest::mouseClick(&swatch, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);
}

}  // namespace
