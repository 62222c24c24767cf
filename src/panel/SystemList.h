#pragma once

namespace tolvan {

class FrmTolvanLink;

// The system list (screen 1) over the catalogue: six rows at a time, scrolled one row at a time.
class SystemList {
  public:
    explicit SystemList(FrmTolvanLink& form) : f_(form) {}

    void MontaTela1();
    void RotinasTela1();

    void rolaParaBaixo();
    void rolaParaCima();
    // At least two rows follow the row on line 5 / precede the row on line 0.
    bool doisAbaixo();
    bool doisAcima();

  private:
    FrmTolvanLink& f_;
};

}  // namespace tolvan
