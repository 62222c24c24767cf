#pragma once

namespace tolvan {

class FrmTolvanLink;

// The fixed screens (main menu, operation menu, port list, no-system screen), their confirm
// actions and the window-level keys.
class Screens {
  public:
    explicit Screens(FrmTolvanLink& form) : f_(form) {}

    void MontaTela0();
    void MontaTela2();
    void MontaTela3();
    void MontaTelaSemSistema();
    void RotinasTela0();
    void RotinasTela2();
    void RotinasTela3();
    void FormKeyDown(int key);
    void TimerMontaTelaTimer();

    void mostraSobre();

  private:
    FrmTolvanLink& f_;
};

}  // namespace tolvan
