#pragma once

namespace tolvan {

class FrmTolvanLink;

// Verification: reads the images back and compares them with their files.
class Verification {
  public:
    explicit Verification(FrmTolvanLink& form) : f_(form) {}

    void Verificacao();
    void VerificacaoL();
    void VerificacaoL2();
    void VerificaArq();

  private:
    FrmTolvanLink& f_;
};

}  // namespace tolvan
