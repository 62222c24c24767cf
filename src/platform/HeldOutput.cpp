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

void BurstEnd::wrote() {
    if (posted_) return;
    posted_ = true;
    QCoreApplication::postEvent(this, new QEvent(eventType()));
}

bool BurstEnd::event(QEvent* e) {
    if (e->type() != eventType()) return QObject::event(e);
    posted_ = false;
    onEnd_();
    return true;
}

}  // namespace tolvan::heldoutput
