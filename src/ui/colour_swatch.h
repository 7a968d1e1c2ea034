#pragma once

#include <QColor>
#include <QWidget>

// A label that paints itself as one solid block of colour; the Basic page uses
// four of them as the colour markers of the CPI levels. Clicks are the owning
// page's business, reported through clicked().
class CQyxStatic : public QWidget {
    Q_OBJECT
public:
    explicit CQyxStatic(QWidget* parent = nullptr);

    QColor backgroundColour{240, 240, 240};

    QSize sizeHint() const override { return {24, 12}; }

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};
