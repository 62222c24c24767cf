#include "platform/HeldOutput.h"

#include <QCoreApplication>

namespace tolvan::heldoutput {

QEvent::Type eventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void sendNow() {
    if (QCoreApplication::instance()) QCoreApplication::sendPostedEvents(nullptr, eventType());
}

}  // namespace tolvan::heldoutput
