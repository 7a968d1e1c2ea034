#pragma once

#include <QCheckBox>

// A check box whose text wraps onto further lines instead of running past the
// page's edge; a click anywhere on it toggles it, as on a plain check box.
class WrapCheckBox : public QCheckBox {
    Q_OBJECT
public:
    WrapCheckBox(const QString& text, QWidget* parent = nullptr);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }

private:
    QRect IndicatorRect() const;
    int TextLeft() const;
};
