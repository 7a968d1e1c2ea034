#pragma once

#include <QScrollArea>

// Scrolls its widget only where the screen is too small for it (a large
// scale factor, a small screen, the status line grown by the udev commands):
// it asks for all of its widget's height as long as its window then still
// fits on the screen with room for a title bar and a panel, and never asks
// for its widget's width to be cut.
class FittingScrollArea : public QScrollArea {
public:
    explicit FittingScrollArea(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

private:
    int OthersHeight() const;
};
