#pragma once

#include <string>

#include "panel/Navegacao.h"

namespace tolvan {

class Desktop;
class Screens;
class Shell;
class SystemList;

// Virtual key codes the panel reacts to.
inline constexpr int kVkReturn = 13;
inline constexpr int kVkEscape = 27;
inline constexpr int kVkPrior = 33;
inline constexpr int kVkNext = 34;
inline constexpr int kVkEnd = 35;
inline constexpr int kVkHome = 36;
inline constexpr int kVkUp = 38;
inline constexpr int kVkDown = 40;
inline constexpr int kVkF1 = 112;
inline constexpr int kVkF5 = 116;
inline constexpr int kVkF6 = 117;

// The front panel's rules: the selectable window of lines, the pointer column, the status line
// while moving, Confirm and Return dispatched on the current screen, and AtivaFuncoes.
class Panel {
  public:
    Panel(Navegacao& nav, Visor visor, Teclas teclas, SystemList& lista, Screens& telas,
          Desktop& desktop, Shell& shell)
        : nav_(nav),
          visor_(visor),
          teclas_(teclas),
          lista_(lista),
          telas_(telas),
          desktop_(desktop),
          shell_(shell) {}

    void AtivaFuncoes(bool ativa);

    void btnUpClick();
    void btnDownClick();
    void btnConfirmaClick();
    void btnRetornaClick();
    void lbxVisorClick();
    void lbxSinalizadorClick();
    void lbxVisorDblClick();
    void lbxVisorKeyDown(int key);

    // The display list's own handling of a key after lbxVisorKeyDown: the navigation keys move
    // its selection, and a change of selection runs the click rule.
    void teclaNaLista(int key);
    // A mouse click on line `row` of the display or of the pointer column.
    void cliqueVisor(int row);
    void cliqueSinalizador(int row);

    // The status text up to and including its first "]".
    static std::string cortaStatus(const std::string& status);

  private:
    void bipe();
    void movePonteiro(int linha);
    // A click on a line of one list: the line kept within the selectable window, the other list
    // on the same line and the pointer moved there.
    void segueClique(ListBox& clicada, ListBox& outra);

    Navegacao& nav_;
    Visor visor_;
    Teclas teclas_;
    SystemList& lista_;
    Screens& telas_;
    Desktop& desktop_;
    Shell& shell_;
};

}  // namespace tolvan
