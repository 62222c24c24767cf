#pragma once

namespace tolvan {

class FrmTolvanLink;

// Programming: writes the main, L and L2 images sector by sector.
class Programming {
  public:
    explicit Programming(FrmTolvanLink& form) : f_(form) {}

    void Gravacao();
    void GravacaoL();
    void GravacaoL2();
    void GravaArq();

  private:
    FrmTolvanLink& f_;
};

}  // namespace tolvan
