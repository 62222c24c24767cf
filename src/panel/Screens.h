#pragma once

#include <string>

#include "panel/Navegacao.h"
#include "transfer/Execucao.h"

namespace tolvan {

class Desktop;
class Handshake;
class ImageFiles;
class LedBar;
class PathResolver;
class PortOpening;
class PortRegistry;
class Programming;
class Shell;
class SystemList;
class Verification;

// The fixed screens (main menu, operation menu, port list, no-system screen), their confirm
// actions and the window-level keys.
class Screens {
  public:
    // What the menus start.
    struct Acoes {
        Handshake& conexao;
        PortOpening& portas;
        ImageFiles& arquivos;
        Programming& gravacao;
        Verification& verificacao;
    };

    Screens(Navegacao& nav, Visor visor, LedBar& iLedBar1, Execucao& run, SystemList& lista,
            Acoes acoes, PortRegistry& ports, Desktop& desktop, const PathResolver& files,
            const std::string& dirPrograma, Shell& shell)
        : nav_(nav),
          visor_(visor),
          iLedBar1_(iLedBar1),
          run_(run),
          lista_(lista),
          acoes_(acoes),
          ports_(ports),
          desktop_(desktop),
          files_(files),
          dirPrograma_(dirPrograma),
          shell_(shell) {}

    void MontaTela0();
    void MontaTela2();
    void MontaTela3();
    void MontaTelaSemSistema();
    void RotinasTela0();
    void RotinasTela2();
    // Confirm on the operation menu for `operacao`: the run of the system chosen starts.
    void iniciaOperacao(Operacao operacao);
    void RotinasTela3();
    void FormKeyDown(int key);
    void TimerMontaTelaTimer();
    // Asks whether to leave the program, and closes the window on Yes.
    void sair();

  private:
    // Fills the display with `linhas` and the pointer column with six lines, ">" on `ponteiro`
    // (none when it is -1).
    void preencheTela(const std::vector<std::string>& linhas, int ponteiro);
    void selecionaLinha(int linha);

    Navegacao& nav_;
    Visor visor_;
    LedBar& iLedBar1_;
    Execucao& run_;
    SystemList& lista_;
    Acoes acoes_;
    PortRegistry& ports_;
    Desktop& desktop_;
    const PathResolver& files_;
    const std::string& dirPrograma_;
    Shell& shell_;
};

}  // namespace tolvan
