#pragma once

#include <cstdint>

#include "transfer/Execucao.h"

namespace tolvan {

class Clock;
class ImageFiles;
class RunListener;
class SerialPort;
class Shell;
class Verification;

// Programming: writes the main, L and L2 images sector by sector, each frame sent when the
// device has answered the previous one.
class Programming {
  public:
    Programming(Execucao& run, ImageFiles& arquivos, Verification& verificacao, SerialPort& port,
                Clock& clock, RunListener& ouvinte, Shell& shell)
        : run_(run),
          arquivos_(arquivos),
          verificacao_(verificacao),
          port_(port),
          clock_(clock),
          ouvinte_(ouvinte),
          shell_(shell) {}

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

    Execucao& run_;
    ImageFiles& arquivos_;
    Verification& verificacao_;
    SerialPort& port_;
    Clock& clock_;
    RunListener& ouvinte_;
    Shell& shell_;
};

}  // namespace tolvan
