#pragma once

#include <string>

namespace tolvan {

class FrmTolvanLink;

// The link handshake: polls the device with CmdLink every 5 ms until it answers 00 03 01.
class Handshake {
  public:
    explicit Handshake(FrmTolvanLink& form) : f_(form) {}

    void Link();
    void TimerLinkTimer();
    // Judges one receive event's byte text while Modo is "Link".
    void avaliaResposta(const std::string& textoBytes);

  private:
    void abandona();
    FrmTolvanLink& f_;
};

}  // namespace tolvan
