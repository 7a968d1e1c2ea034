#include "pages/pointer_reading.h"

std::unique_ptr<PointerReader> ReadPointerFor(QObject* receiver, std::function<void()> arrived,
                                              PointerReader::Clock clock,
                                              PointerReader::Pause pause) {
    return std::make_unique<PointerReader>(
        OpenPointerInterface(), std::move(clock),
        [receiver, arrived = std::move(arrived)] {
            QMetaObject::invokeMethod(receiver, arrived, Qt::QueuedConnection);
        },
        std::move(pause));
}
