#pragma once

#include "transfer/ImageFiles.h"

namespace tolvan {

class FrmTolvanLink;

// Verification: reads the images back and compares them with their files, byte by byte.
class Verification {
  public:
    explicit Verification(FrmTolvanLink& form) : f_(form) {}

    void Verificacao();
    void VerificacaoL();
    void VerificacaoL2();
    // Compares the bytes read back with the file's and goes on to the next image or ends.
    void VerificaArq();

  private:
    void iniciaImagem(Imagem imagem);
    void fimDaVerificacao(bool erros);

    FrmTolvanLink& f_;
};

}  // namespace tolvan
