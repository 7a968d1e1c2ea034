#pragma once

#include <QPointer>
#include <QTransform>
#include <QWidget>
#include <array>
#include <optional>

// The parts of the mouse the drawing shows, each one of its buttons or a
// direction of its wheel.
enum class MousePart { Left, Right, Middle, Forward, Back, WheelUp, WheelDown };
inline constexpr int kMousePartCount = 7;

// A drawing of the mouse seen from above, its side buttons on the left flank
// and, below it, the wheel with its two directions as arrows. Drawn with
// painter paths in the palette's colours, so it is sharp at any scale and
// follows a light or dark theme; it costs nothing at start-up beyond its
// paths.
//
// A part may have a callout: a leader line from the widget's left edge, at
// the height of the middle of another widget (a row of the page beside it),
// to the part. A part can be highlighted (its row has the pointer or the
// focus) and lit (pressed on the mouse); a lit part's callout is lit too.
// Clicking a part with a callout emits PartClicked. The drawing never takes
// the keyboard focus: the rows beside it are what the keyboard reaches.
class MouseDrawing : public QWidget {
    Q_OBJECT
public:
    explicit MouseDrawing(QWidget* parent = nullptr);

    // The row `part`'s leader line leads to; nullptr = no callout.
    void SetCallout(MousePart part, QWidget* row);
    QWidget* Callout(MousePart part) const;
    void SetHighlighted(std::optional<MousePart> part);
    std::optional<MousePart> Highlighted() const { return highlighted_; }
    void SetLit(MousePart part, bool lit);
    bool Lit(MousePart part) const { return lit_[Index(part)]; }

    // Where a part is drawn now, in the widget's coordinates (tests, and the
    // end of its leader line).
    QPointF AnchorOf(MousePart part) const;
    std::optional<MousePart> PartAt(QPointF point) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void PartClicked(MousePart part);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    static int Index(MousePart part) { return static_cast<int>(part); }
    // Drawing units to the widget's pixels, for its size now.
    QTransform Placement() const;
    // The middle of the highest row with a callout, in the widget's coordinates.
    std::optional<qreal> FirstRowMiddle() const;
    void PaintParts(QPainter& painter, const QTransform& placement) const;
    void PaintCallouts(QPainter& painter, const QTransform& placement) const;
    QColor FillOf(MousePart part, const QColor& normal) const;
    void ShowPointerOver(std::optional<MousePart> part);

    std::array<QPointer<QWidget>, kMousePartCount> callouts_{};
    std::array<bool, kMousePartCount> lit_{};
    std::optional<MousePart> highlighted_;
    std::optional<MousePart> pointerOver_;
};
