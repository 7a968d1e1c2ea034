#include "pages/click_filters/wrap_check_box.h"

#include <QStyleOptionButton>
#include <QStylePainter>
#include <algorithm>

namespace {
constexpr int kPreferredWidth = 480;
constexpr int kMinimumTextWidth = 160;
}  // namespace

WrapCheckBox::WrapCheckBox(const QString& text, QWidget* parent) : QCheckBox(text, parent) {
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

QRect WrapCheckBox::IndicatorRect() const {
    QStyleOptionButton option;
    initStyleOption(&option);
    const int width = style()->pixelMetric(QStyle::PM_IndicatorWidth, &option, this);
    const int height = style()->pixelMetric(QStyle::PM_IndicatorHeight, &option, this);
    // The indicator stands beside the first line of text.
    const int top = std::max(0, (fontMetrics().height() - height) / 2);
    return QRect(0, top, width, height);
}

int WrapCheckBox::TextLeft() const {
    QStyleOptionButton option;
    initStyleOption(&option);
    return IndicatorRect().width() +
           style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, &option, this);
}

int WrapCheckBox::heightForWidth(int width) const {
    const int textWidth = std::max(kMinimumTextWidth, width - TextLeft());
    const QRect bounds =
        fontMetrics().boundingRect(QRect(0, 0, textWidth, 10000), Qt::TextWordWrap, text());
    return std::max(bounds.height(), IndicatorRect().bottom() + 1) + 2;
}

QSize WrapCheckBox::sizeHint() const {
    return QSize(kPreferredWidth, heightForWidth(kPreferredWidth));
}

QSize WrapCheckBox::minimumSizeHint() const {
    const int width = TextLeft() + kMinimumTextWidth;
    return QSize(width, heightForWidth(width));
}

void WrapCheckBox::paintEvent(QPaintEvent* /*event*/) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    option.rect = IndicatorRect();
    painter.drawPrimitive(QStyle::PE_IndicatorCheckBox, option);

    const QRect textRect = rect().adjusted(TextLeft(), 0, 0, 0);
    style()->drawItemText(&painter, textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                          palette(), isEnabled(), text(), QPalette::WindowText);
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = style()->itemTextRect(fontMetrics(), textRect,
                                           Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                                           isEnabled(), text());
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}
