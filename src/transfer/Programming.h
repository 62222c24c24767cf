#pragma once

#include "transfer/ImageFiles.h"

namespace tolvan {

class FrmTolvanLink;

// Programming: writes the main, L and L2 images sector by sector, each frame sent when the
// device has answered the previous one.
class Programming {
  public:
    explicit Programming(FrmTolvanLink& form) : f_(form) {}

    void Gravacao();
    void GravacaoL();
    void GravacaoL2();
    // Sends one sector frame: head 00 03 06, the held byte, 256 bytes of the file (the last
    // frame filled with 00). At the end of the file goes on to the next image or ends the run.
    void GravaArq();

  private:
    void iniciaImagem(Imagem imagem);
    void enviaByte(std::uint8_t b);
    // The image's file is exhausted: the next image, verification or the end message.
    void proximaImagem();
    void fimDaGravacao();

    FrmTolvanLink& f_;
};

}  // namespace tolvan
