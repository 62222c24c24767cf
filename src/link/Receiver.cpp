// Scaffold so that the core links while the receive handler is being written.
#include "link/Receiver.h"

namespace tolvan {
void Receiver::ComPortTriggerAvail(std::uint16_t) {}
void Receiver::TimerCmdTimer() {}
void Receiver::TimerReadTimer() {}
void Receiver::TimeOutTimer() {}
}  // namespace tolvan
