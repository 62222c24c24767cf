#pragma once

#include <string>

#include "panel/Navegacao.h"

namespace tolvan {

inline constexpr const char* kMsgMontadoraInexistente = "Montadora inexistente no Tolvan Link.";

class CatalogueQuery;
class ImageFiles;
class Panel;
class PathResolver;
class Screens;
class Shell;

// The system list (screen 1) over the catalogue: six rows at a time, scrolled one row at a time.
class SystemList {
  public:
    // `drive` is the drive text the selection file's path starts with.
    SystemList(Navegacao& nav, Visor visor, CatalogueQuery& catalogo, ImageFiles& arquivos,
               Panel& painel, Screens& telas, const PathResolver& files, const std::string& drive,
               Shell& shell)
        : nav_(nav),
          visor_(visor),
          catalogo_(catalogo),
          arquivos_(arquivos),
          painel_(painel),
          telas_(telas),
          files_(files),
          drive_(drive),
          shell_(shell) {}

    void MontaTela1();
    // Confirm on the system list: the line's system chosen and the operation menu shown, or
    // false when the catalogue does not give its row again (told).
    bool RotinasTela1();
    // Selector mode's search on a list just built: from its first line, Down line by line (the
    // list scrolling past line 5) until a line contains `sistema` (case counts; an empty text
    // is in no line), which is then selected with the pointer on it. False when none does.
    bool procuraSistema(const std::string& sistema);

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
    Panel& painel_;
    Screens& telas_;
    const PathResolver& files_;
    const std::string& drive_;
    Shell& shell_;
};

}  // namespace tolvan
