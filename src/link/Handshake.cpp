// Scaffold so that the core links while the handshake is being written.
#include "link/Handshake.h"

namespace tolvan {
void Handshake::Link() {}
void Handshake::TimerLinkTimer() {}
void Handshake::avaliaResposta(const std::string&) {}
void Handshake::abandona() {}
}  // namespace tolvan
