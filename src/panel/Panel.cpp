#include "panel/Panel.h"

#include <algorithm>

#include "panel/Screens.h"
#include "panel/SystemList.h"
#include "services/Desktop.h"
#include "services/Shell.h"
#include "texts/Mensagem.h"

namespace tolvan {

namespace {

constexpr const char* kDicaAbaixo = " Mais sistemas ... seta para baixo.";
constexpr const char* kDicaAcima = " Mais sistemas ... seta para cima.";
// Lines the display shows at once (122 pixels of 19-pixel lines): a page for Page Up/Down.
constexpr int kLinhasVisiveis = 6;

}  // namespace

std::string Panel::cortaStatus(const std::string& status) {
    const std::size_t fim = status.find(']');
    if (fim == std::string::npos) return {};
    return status.substr(0, fim + 1);
}

void Panel::AtivaFuncoes(bool ativa) {
    teclas_.lblFechar.setEnabled(ativa);
    visor_.lbxSinalizador.setEnabled(ativa);
    visor_.lbxVisor.setEnabled(ativa);
    teclas_.btnConfirma.setEnabled(ativa);
    teclas_.btnRetorna.setEnabled(ativa);
    teclas_.btnUp.setEnabled(ativa);
    teclas_.btnDown.setEnabled(ativa);
    // No mouse-over outline on the close mark while the panel does not answer.
    teclas_.lblFechar.setOnMouseBorderWidth(ativa ? 1 : 0);
}

void Panel::bipe() {
    if (!shell_.modoSelecao()) desktop_.beep();
}

void Panel::movePonteiro(int linha) {
    visor_.lbxSinalizador.setItem(visor_.lbxVisor.itemIndex(), "");
    visor_.lbxVisor.setItemIndex(linha);
    visor_.lbxSinalizador.setItemIndex(linha);
    visor_.lbxSinalizador.setItem(linha, ">");
}

void Panel::btnDownClick() {
    bipe();
    const int linha = visor_.lbxVisor.itemIndex();
    const bool rolaLista = nav_.Rolagem && nav_.Tela == 1;
    std::string dica;
    if (rolaLista && linha == 5) dica = lista_.doisAbaixo() ? kDicaAbaixo : kDicaAcima;

    if (linha + 1 <= nav_.LinhaFim) {
        movePonteiro(linha + 1);
    } else if (rolaLista) {
        lista_.rolaParaBaixo();
    }
    nav_.LinhaSinal = visor_.lbxVisor.itemIndex();
    visor_.lblStatus.setCaption(cortaStatus(visor_.lblStatus.caption()) + dica);
}

void Panel::btnUpClick() {
    bipe();
    const int linha = visor_.lbxVisor.itemIndex();
    const bool rolaLista = nav_.Rolagem && nav_.Tela == 1;
    std::string dica;
    if (rolaLista && linha == 0) dica = lista_.doisAcima() ? kDicaAcima : kDicaAbaixo;

    if (linha - 1 >= nav_.LinhaIni) {
        movePonteiro(linha - 1);
    } else if (rolaLista) {
        lista_.rolaParaCima();
    }
    nav_.LinhaSinal = visor_.lbxVisor.itemIndex();
    visor_.lblStatus.setCaption(cortaStatus(visor_.lblStatus.caption()) + dica);
}

void Panel::lbxVisorClick() {
    segueClique(visor_.lbxVisor, visor_.lbxSinalizador);
    visor_.lblStatus.setCaption(cortaStatus(visor_.lblStatus.caption()));
}

void Panel::lbxSinalizadorClick() {
    segueClique(visor_.lbxSinalizador, visor_.lbxVisor);
}

void Panel::segueClique(ListBox& clicada, ListBox& outra) {
    int linha = clicada.itemIndex();
    if (linha < nav_.LinhaIni) {
        linha = nav_.LinhaIni;
    } else if (linha > nav_.LinhaFim) {
        linha = nav_.LinhaFim;
    }
    clicada.setItemIndex(linha);
    visor_.lbxSinalizador.setItem(nav_.LinhaSinal, "");
    outra.setItemIndex(clicada.itemIndex());
    visor_.lbxSinalizador.setItem(clicada.itemIndex(), ">");
    nav_.LinhaSinal = clicada.itemIndex();
}

void Panel::cliqueVisor(int row) {
    // A click below the last line selects the last line, as a list box does.
    visor_.lbxVisor.setItemIndex(std::min(row, visor_.lbxVisor.count() - 1));
    lbxVisorClick();
}

void Panel::cliqueSinalizador(int row) {
    visor_.lbxSinalizador.setItemIndex(std::min(row, visor_.lbxSinalizador.count() - 1));
    lbxSinalizadorClick();
}

void Panel::btnConfirmaClick() {
    bipe();
    lbxVisorDblClick();
}

void Panel::lbxVisorDblClick() {
    switch (nav_.Tela) {
        case 0:
            telas_.RotinasTela0();
            break;
        case 1:
            lista_.RotinasTela1();
            break;
        case 2:
            telas_.RotinasTela2();
            break;
        case 3:
            telas_.RotinasTela3();
            break;
        default:
            break;
    }
}

void Panel::btnRetornaClick() {
    bipe();
    switch (nav_.Tela) {
        case 0:
            telas_.sair();
            break;
        case 1:
            telas_.MontaTela0();
            break;
        case 2:
            lista_.MontaTela1();
            break;
        case 3:
            telas_.MontaTela0();
            break;
        default:
            break;
    }
}

void Panel::lbxVisorKeyDown(int key) {
    if (nav_.Tela == 1 && visor_.lbxVisor.itemIndex() == 0 && key == kVkUp) btnUpClick();
    if (nav_.Tela == 1 && visor_.lbxVisor.itemIndex() == 5 && key == kVkDown) btnDownClick();
    if (key == kVkReturn) btnConfirmaClick();
    if (key == kVkEscape) btnRetornaClick();
}

void Panel::teclaNaLista(int key) {
    const int ultima = visor_.lbxVisor.count() - 1;
    if (ultima < 0 || shell_.closed()) return;
    const int atual = visor_.lbxVisor.itemIndex();
    int nova = atual;
    switch (key) {
        case kVkUp:
            nova = std::max(0, atual - 1);
            break;
        case kVkDown:
            nova = std::min(ultima, atual + 1);
            break;
        case kVkHome:
            nova = 0;
            break;
        case kVkEnd:
            nova = ultima;
            break;
        case kVkPrior:
            nova = std::max(0, atual - (kLinhasVisiveis - 1));
            break;
        case kVkNext:
            nova = std::min(ultima, std::max(0, atual) + (kLinhasVisiveis - 1));
            break;
        default:
            return;
    }
    if (nova == atual) return;
    visor_.lbxVisor.setItemIndex(nova);
    lbxVisorClick();
}

}  // namespace tolvan
