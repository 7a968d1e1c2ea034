#pragma once

#include <QObject>
#include <functional>
#include <memory>

#include "device/pointer_reader.h"

// A reader of the mouse's pointer interface for a page or dialog: the first
// batch of a movement calls `arrived` on `receiver`'s thread. The reading
// thread only queues that call, and the toolkit drops it when the receiver
// has gone meanwhile.
std::unique_ptr<PointerReader> ReadPointerFor(
    QObject* receiver, std::function<void()> arrived,
    PointerReader::Clock clock = PointerReader::SteadyNanoseconds, PointerReader::Pause pause = {});
