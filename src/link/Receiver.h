#pragma once

#include <cstdint>

namespace tolvan {

class FrmTolvanLink;

// Every received byte enters here; the same handler paces what the host sends during a
// transfer. TimerCmd walks a transfer's set-up frames, TimerRead asks for the next sector and
// TimeOut abandons an operation after 5 s of silence.
class Receiver {
  public:
    explicit Receiver(FrmTolvanLink& form) : f_(form) {}

    void ComPortTriggerAvail(std::uint16_t count);
    void TimerCmdTimer();
    void TimerReadTimer();
    void TimeOutTimer();

  private:
    FrmTolvanLink& f_;
};

}  // namespace tolvan
