#include "ui/first_expose.h"

#include <QEvent>
#include <QObject>
#include <QWidget>
#include <QWindow>
#include <utility>

namespace {

class FirstExposeFilter : public QObject {
public:
    FirstExposeFilter(QWindow* window, std::function<void()> work)
        : QObject(window), window_(window), work_(std::move(work)) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == window_ && event->type() == QEvent::Expose && window_->isExposed() &&
            work_) {
            // Taken first: what it does may process events and come back here.
            std::function<void()> work = std::exchange(work_, nullptr);
            window_->removeEventFilter(this);
            deleteLater();
            work();
        }
        return false;
    }

private:
    QWindow* window_;
    std::function<void()> work_;
};

}  // namespace

void RunWhenFirstExposed(QWidget* window, std::function<void()> work) {
    QWindow* handle = window->windowHandle();
    if (handle == nullptr || handle->isExposed()) {
        work();
        return;
    }
    handle->installEventFilter(new FirstExposeFilter(handle, std::move(work)));
}
