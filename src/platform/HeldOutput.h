#pragma once

#include <QEvent>
#include <QObject>
#include <functional>

namespace tolvan::heldoutput {

// A driver may hold back what is written to it until the burst of writes ends, so that a
// frame written a byte at a time leaves in one piece (one write to the device, one TCP
// segment, rather than one for each byte, which the line could carry with gaps the device
// takes for the frame's end). It posts itself an event of this type at the first write of a
// burst and sends on receiving it: when control returns to the event loop, or earlier, before
// the program pauses (QtClock::pause calls sendNow), since a frame must be on its way while
// the program sleeps.
QEvent::Type eventType();

// Sends what every driver holds back now: delivers the events of eventType() that wait, and
// no other event.
void sendNow();

// The end of a driver's bursts: the first write of a burst (wrote()) posts the event, whose
// arrival calls `onEnd`.
class BurstEnd : public QObject {
  public:
    explicit BurstEnd(std::function<void()> onEnd) : onEnd_(std::move(onEnd)) {}
    void wrote();
    bool event(QEvent* e) override;

  private:
    std::function<void()> onEnd_;
    bool posted_ = false;
};

}  // namespace tolvan::heldoutput
