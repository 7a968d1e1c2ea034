#include "ui/mouse_drawing.h"

#include <QAccessibleWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "ui/accessible_interface.h"

namespace {

// The drawing in its own units: the body 100 wide and 150 long, nose up;
// the side buttons stand out 6 units left of it; the wheel's inset below.
const QRectF kFigure(-7, 0, 108, 236);
// Room left of the figure for the leader lines' horizontal runs, in pixels.
constexpr int kLeaderRoom = 28;
constexpr int kMargin = 4;
// Where a leader line bends towards its part, left of the figure, in units.
constexpr qreal kElbowX = -16;
constexpr qreal kDotRadius = 2.5;
constexpr qreal kNoseBelowFirstRow = 8;
// The last stretch of a leader line, level, in units.
constexpr qreal kLevelEntry = 8;

QPainterPath Body() {
    QPainterPath body(QPointF(50, 0));
    body.cubicTo(78, 0, 92, 10, 94, 40);
    body.cubicTo(96, 60, 100, 85, 100, 105);
    body.cubicTo(100, 135, 80, 150, 50, 150);
    body.cubicTo(20, 150, 0, 135, 0, 105);
    body.cubicTo(0, 85, 4, 60, 6, 40);
    body.cubicTo(8, 10, 22, 0, 50, 0);
    body.closeSubpath();
    return body;
}

QPainterPath RoundedRect(qreal x, qreal y, qreal w, qreal h, qreal radius) {
    QPainterPath path;
    path.addRoundedRect(QRectF(x, y, w, h), radius, radius);
    return path;
}

QPainterPath Triangle(QPointF a, QPointF b, QPointF c) {
    QPainterPath path(a);
    path.lineTo(b);
    path.lineTo(c);
    path.closeSubpath();
    return path;
}

// The two main buttons: the front of the body down to a line bowed towards
// the palm, split in the middle, with a slot for the wheel.
QPainterPath MainButton(const QPainterPath& body, bool left) {
    QPainterPath front(QPointF(-10, -10));
    front.lineTo(110, -10);
    front.lineTo(110, 56);
    front.quadTo(50, 70, -10, 56);
    front.closeSubpath();
    QPainterPath half;
    half.addRect(left ? QRectF(-10, -10, 59, 90) : QRectF(51, -10, 59, 90));
    const QPainterPath slot = RoundedRect(41.5, 10, 17, 37, 8.5);
    return body.intersected(front).intersected(half).subtracted(slot);
}

std::array<QPainterPath, kMousePartCount> Parts(const QPainterPath& body) {
    std::array<QPainterPath, kMousePartCount> parts;
    parts[static_cast<int>(MousePart::Left)] = MainButton(body, true);
    parts[static_cast<int>(MousePart::Right)] = MainButton(body, false);
    parts[static_cast<int>(MousePart::Middle)] = RoundedRect(44, 13, 12, 31, 6);
    // Front one forward, rear one back, as on most mice.
    parts[static_cast<int>(MousePart::Forward)] = RoundedRect(-6, 62, 10, 19, 4.5);
    parts[static_cast<int>(MousePart::Back)] = RoundedRect(-6, 84, 10, 19, 4.5);
    parts[static_cast<int>(MousePart::WheelUp)] =
        Triangle(QPointF(50, 166), QPointF(40, 181), QPointF(60, 181));
    parts[static_cast<int>(MousePart::WheelDown)] =
        Triangle(QPointF(40, 217), QPointF(60, 217), QPointF(50, 232));
    return parts;
}

struct Shapes {
    QPainterPath body = Body();
    std::array<QPainterPath, kMousePartCount> parts = Parts(body);
};

// Made when first drawn, not when the page is made: start-up does not wait
// for the paths' intersections.
const Shapes& TheShapes() {
    static const Shapes shapes;
    return shapes;
}

QColor Mixed(const QColor& a, const QColor& b, qreal share) {
    return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * share,
                            a.greenF() + (b.greenF() - a.greenF()) * share,
                            a.blueF() + (b.blueF() - a.blueF()) * share);
}

QColor WithAlpha(QColor colour, int alpha) {
    colour.setAlpha(alpha);
    return colour;
}

}  // namespace

MouseDrawing::MouseDrawing(QWidget* parent) : QWidget(parent) {
    setObjectName("mouseDrawing");
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    // One graphic to a screen reader: what is pressed is told by the rows.
    ReplaceAccessibleInterface(new QAccessibleWidget(this, QAccessible::Graphic));
    setAccessibleName("Drawing of the mouse");
}

QSize MouseDrawing::sizeHint() const {
    return {kLeaderRoom + 130, 280};
}

QSize MouseDrawing::minimumSizeHint() const {
    return {kLeaderRoom + 70, 160};
}

void MouseDrawing::SetCallout(MousePart part, QWidget* row) {
    callouts_[Index(part)] = row;
    update();
}

QWidget* MouseDrawing::Callout(MousePart part) const {
    return callouts_[Index(part)];
}

void MouseDrawing::SetHighlighted(std::optional<MousePart> part) {
    if (part != highlighted_) {
        highlighted_ = part;
        update();
    }
}

void MouseDrawing::SetLit(MousePart part, bool lit) {
    if (lit_[Index(part)] != lit) {
        lit_[Index(part)] = lit;
        update();
    }
}

QTransform MouseDrawing::Placement() const {
    QRectF room = QRectF(rect()).adjusted(kLeaderRoom, kMargin, -kMargin, -kMargin);
    const qreal scale = std::max<qreal>(
        0.1, std::min(room.width() / kFigure.width(), room.height() / kFigure.height()));
    // The nose just below the first row's line, where there is room: the
    // lines then run down the figure in the rows' order.
    const qreal figureHeight = kFigure.height() * scale;
    if (const auto first = FirstRowMiddle()) {
        room.setTop(std::clamp(*first + kNoseBelowFirstRow, room.top(),
                               std::max(room.top(), room.bottom() - figureHeight)));
    }
    room.setHeight(std::min(room.height(), figureHeight));
    const QPointF figureCentre = kFigure.center();
    QTransform placement;
    placement.translate(room.center().x(), room.center().y());
    placement.scale(scale, scale);
    placement.translate(-figureCentre.x(), -figureCentre.y());
    return placement;
}

std::optional<qreal> MouseDrawing::FirstRowMiddle() const {
    std::optional<qreal> top;
    for (const QPointer<QWidget>& row : callouts_) {
        if (row) {
            const qreal y = mapFromGlobal(row->mapToGlobal(QPoint(0, row->height() / 2))).y();
            top = top ? std::min(*top, y) : y;
        }
    }
    return top;
}

QPointF MouseDrawing::AnchorOf(MousePart part) const {
    const QRectF bounds = TheShapes().parts[Index(part)].boundingRect();
    QPointF anchor = bounds.center();
    // The side buttons are met at their outer edge; the arrows at their middle.
    if (part == MousePart::Forward || part == MousePart::Back) {
        anchor.setX(bounds.left() + 2);
    }
    return Placement().map(anchor);
}

std::optional<MousePart> MouseDrawing::PartAt(QPointF point) const {
    const QPointF unit = Placement().inverted().map(point);
    for (int i = 0; i < kMousePartCount; ++i) {
        // The arrows are small: a little room around them counts.
        const bool arrow = i == Index(MousePart::WheelUp) || i == Index(MousePart::WheelDown);
        if (arrow ? TheShapes().parts[i].boundingRect().adjusted(-4, -4, 4, 4).contains(unit)
                  : TheShapes().parts[i].contains(unit)) {
            return static_cast<MousePart>(i);
        }
    }
    return std::nullopt;
}

QColor MouseDrawing::FillOf(MousePart part, const QColor& normal) const {
    const QColor highlight = palette().color(QPalette::Highlight);
    if (lit_[Index(part)]) {
        return highlight;
    }
    if (highlighted_ == part || pointerOver_ == part) {
        return Mixed(normal, highlight, 0.35);
    }
    return normal;
}

void MouseDrawing::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QTransform placement = Placement();
    PaintParts(painter, placement);
    PaintCallouts(painter, placement);
}

void MouseDrawing::PaintParts(QPainter& painter, const QTransform& placement) const {
    const QPalette& colours = palette();
    const QColor ink = colours.color(QPalette::WindowText);
    const QColor shell = Mixed(colours.color(QPalette::Button), ink, 0.08);
    const QColor key = colours.color(QPalette::Button);
    const QColor wheel = Mixed(key, ink, 0.45);
    const QPen outline(WithAlpha(ink, 170), 1.3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    const qreal scale = placement.m11();

    // The side buttons first: the body's edge runs over their inner half.
    painter.setPen(outline);
    for (MousePart side : {MousePart::Forward, MousePart::Back}) {
        painter.setBrush(FillOf(side, key));
        painter.drawPath(placement.map(TheShapes().parts[Index(side)]));
    }
    painter.setBrush(shell);
    painter.drawPath(placement.map(TheShapes().body));
    for (MousePart main : {MousePart::Left, MousePart::Right}) {
        painter.setBrush(FillOf(main, key));
        painter.drawPath(placement.map(TheShapes().parts[Index(main)]));
    }
    painter.setBrush(FillOf(MousePart::Middle, wheel));
    painter.drawPath(placement.map(TheShapes().parts[Index(MousePart::Middle)]));

    // The wheel again, seen from its side in an inset, its two ways as arrows.
    const QPointF insetCentre(50, 199);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(WithAlpha(ink, 90), 1, Qt::DashLine));
    painter.drawEllipse(placement.map(insetCentre), 37 * scale, 37 * scale);
    painter.setPen(outline);
    painter.setBrush(wheel);
    painter.drawPath(placement.map(RoundedRect(43, 185, 14, 28, 7)));
    for (MousePart way : {MousePart::WheelUp, MousePart::WheelDown}) {
        painter.setBrush(FillOf(way, WithAlpha(ink, 150)));
        painter.drawPath(placement.map(TheShapes().parts[Index(way)]));
    }
}

void MouseDrawing::PaintCallouts(QPainter& painter, const QTransform& placement) const {
    const QPalette& colours = palette();
    const QColor plain =
        Mixed(colours.color(QPalette::Window), colours.color(QPalette::WindowText), 0.55);
    const QColor highlight = colours.color(QPalette::Highlight);
    const QColor halo = colours.color(QPalette::Window);
    const qreal elbowX = placement.map(QPointF(kElbowX, 0)).x();
    // Plain ones first, so that a lit or highlighted line lies over the others.
    for (const bool marked : {false, true}) {
        for (int i = 0; i < kMousePartCount; ++i) {
            QWidget* row = callouts_[i];
            const auto part = static_cast<MousePart>(i);
            const bool isMarked = lit_[i] || highlighted_ == part;
            if (!row || isMarked != marked) {
                continue;
            }
            const QPoint rowEnd =
                mapFromGlobal(row->mapToGlobal(QPoint(row->width(), row->height() / 2)));
            const QPointF start(std::max(0, rowEnd.x() + 1), rowEnd.y());
            const QPointF anchor = AnchorOf(part);
            QPainterPath line(start);
            // A main button is met from above, clear of the other one, when
            // its row is level with the nose or higher.
            const bool fromAbove = (part == MousePart::Left || part == MousePart::Right) &&
                                   start.y() <= placement.map(QPointF(50, 4)).y();
            line.lineTo(fromAbove ? anchor.x() : std::max(start.x(), elbowX), start.y());
            // The others come in level, the last stretch straight from the left.
            if (!fromAbove) {
                line.lineTo(anchor.x() - kLevelEntry * placement.m11(), anchor.y());
            }
            line.lineTo(anchor);
            const qreal width = marked ? 2.2 : 1.2;
            painter.setBrush(Qt::NoBrush);
            // A halo keeps the line readable where it crosses the body.
            painter.setPen(QPen(halo, width + 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            painter.drawPath(line);
            const QColor colour = marked ? highlight : plain;
            painter.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            painter.drawPath(line);
            painter.setPen(QPen(halo, 1));
            painter.setBrush(colour);
            painter.drawEllipse(anchor, kDotRadius + (marked ? 0.8 : 0),
                                kDotRadius + (marked ? 0.8 : 0));
        }
    }
}

void MouseDrawing::mousePressEvent(QMouseEvent* event) {
    const auto part = PartAt(event->position());
    if (event->button() != Qt::LeftButton || !part || !callouts_[Index(*part)] || !isEnabled()) {
        QWidget::mousePressEvent(event);
        return;
    }
    emit PartClicked(*part);
}

void MouseDrawing::mouseMoveEvent(QMouseEvent* event) {
    ShowPointerOver(PartAt(event->position()));
    QWidget::mouseMoveEvent(event);
}

void MouseDrawing::leaveEvent(QEvent* event) {
    ShowPointerOver(std::nullopt);
    QWidget::leaveEvent(event);
}

// A part with a row is a button: it looks like one under the pointer.
void MouseDrawing::ShowPointerOver(std::optional<MousePart> part) {
    if (part && !callouts_[Index(*part)]) {
        part.reset();
    }
    if (part == pointerOver_) {
        return;
    }
    pointerOver_ = part;
    if (part) {
        setCursor(Qt::PointingHandCursor);
    } else {
        unsetCursor();
    }
    update();
}
