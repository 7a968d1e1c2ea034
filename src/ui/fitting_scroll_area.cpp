#include "ui/fitting_scroll_area.h"

#include <QLayout>
#include <QScreen>
#include <QScrollBar>
#include <algorithm>

namespace {

// A title bar and a panel, in lines of text.
constexpr int kReservedLines = 5;
// Below this many lines the page is no use even with a scroll bar.
constexpr int kMinimumLines = 6;

}  // namespace

FittingScrollArea::FittingScrollArea(QWidget* parent) : QScrollArea(parent) {
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Only a frame: a click beside the controls or Tab must not stop on it.
    setFocusPolicy(Qt::NoFocus);
}

QSize FittingScrollArea::sizeHint() const {
    if (widget() == nullptr) {
        return QScrollArea::sizeHint();
    }
    QSize hint = widget()->sizeHint().expandedTo(widget()->minimumSizeHint());
    hint.setWidth(minimumSizeHint().width());
    const QScreen* shown = screen();
    if (shown != nullptr) {
        const int room = shown->availableGeometry().height() - OthersHeight() -
                         kReservedLines * fontMetrics().height();
        hint.setHeight(std::max(minimumSizeHint().height(), std::min(hint.height(), room)));
    }
    return hint;
}

// What the rest of a column of widgets needs, this one's siblings in its
// parent's layout. Asking the parent itself would ask this area again.
int FittingScrollArea::OthersHeight() const {
    const QLayout* column = parentWidget() != nullptr ? parentWidget()->layout() : nullptr;
    if (column == nullptr) {
        return 0;
    }
    const QMargins margins = column->contentsMargins();
    int height = margins.top() + margins.bottom();
    for (int index = 0; index < column->count(); ++index) {
        const QLayoutItem* item = column->itemAt(index);
        if (item->widget() != this) {
            height += item->sizeHint().height();
        }
        if (index > 0) {
            height += std::max(column->spacing(), 0);
        }
    }
    return height;
}

QSize FittingScrollArea::minimumSizeHint() const {
    if (widget() == nullptr) {
        return QScrollArea::minimumSizeHint();
    }
    const int width = widget()->minimumSizeHint().width() + verticalScrollBar()->sizeHint().width();
    return {width, kMinimumLines * fontMetrics().height()};
}
