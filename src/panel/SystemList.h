#pragma once

#include <string>

#include "panel/Navegacao.h"

namespace tolvan {

inline constexpr const char* kMsgMontadoraInexistente = "Montadora inexistente no Tolvan Link.";

class CatalogueQuery;
class ImageFiles;
class Screens;
class Shell;

// The system list (screen 1) over the catalogue: six rows at a time, scrolled one row at a time.
class SystemList {
  public:
    SystemList(Navegacao& nav, Visor visor, CatalogueQuery& catalogo, ImageFiles& arquivos,
               Screens& telas, Shell& shell)
        : nav_(nav),
          visor_(visor),
          catalogo_(catalogo),
          arquivos_(arquivos),
          telas_(telas),
          shell_(shell) {}

    void MontaTela1();
    // Confirm on the system list: the selected line's system chosen (escolhe).
    bool RotinasTela1();
    // The system of the list's line `linha` (its text as shown) chosen: found again in the
    // catalogue by its trimmed text, its main image prepared and the operation menu shown; false
    // when the catalogue does not give its row again (told, the list stays).
    bool escolhe(const std::string& linha);

    void rolaParaBaixo();
    void rolaParaCima();
    // At least two rows follow the row on line 5 / precede the row on line 0.
    bool doisAbaixo();
    bool doisAcima();

  private:
    // The scroll and the look-ahead one way (abaixo) or the other: the row on the display's
    // line at that edge located, the cursor moved that way, its mark at that end.
    void rola(bool abaixo);
    bool doisAlem(bool abaixo);
    void localizaBorda(bool abaixo);
    void passo(bool abaixo);
    bool naPonta(bool abaixo) const;

    Navegacao& nav_;
    Visor visor_;
    CatalogueQuery& catalogo_;
    ImageFiles& arquivos_;
    Screens& telas_;
    Shell& shell_;
};

}  // namespace tolvan
