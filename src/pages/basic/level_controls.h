#pragma once

#include <QLabel>
#include <QRadioButton>

// The controls of a CPI row that choose the active level.

// A level's radio button. A click always leaves it checked, also when it was
// checked already, so clicking the active level writes it again. It is not
// auto-exclusive: the page decides which buttons are checked, and at times
// none is.
class LevelRadioButton : public QRadioButton {
public:
    explicit LevelRadioButton(QWidget* parent = nullptr);

protected:
    void nextCheckState() override;
};

// The "CPI n" label: reports clicks, never takes the focus, and keeps the
// press to itself so that a click on it does not count as one on the page.
class LevelLabel : public QLabel {
    Q_OBJECT
public:
    explicit LevelLabel(const QString& text, QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};
