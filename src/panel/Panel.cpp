#include "panel/Panel.h"

#include <algorithm>

#include "app/FrmTolvanLink.h"
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
    f_.lblFechar.setEnabled(ativa);
    f_.lbxSinalizador.setEnabled(ativa);
    f_.lbxVisor.setEnabled(ativa);
    f_.btnConfirma.setEnabled(ativa);
    f_.btnRetorna.setEnabled(ativa);
    f_.btnUp.setEnabled(ativa);
    f_.btnDown.setEnabled(ativa);
    // No mouse-over outline on the close mark while the panel does not answer.
    f_.lblFechar.setOnMouseBorderWidth(ativa ? 1 : 0);
}

void Panel::bipe() {
    if (!f_.ModoSelecao) f_.svc.desktop.beep();
}

void Panel::movePonteiro(int linha) {
    f_.lbxSinalizador.setItem(f_.lbxVisor.itemIndex(), "");
    f_.lbxVisor.setItemIndex(linha);
    f_.lbxSinalizador.setItemIndex(linha);
    f_.lbxSinalizador.setItem(linha, ">");
}

void Panel::btnDownClick() {
    bipe();
    const int linha = f_.lbxVisor.itemIndex();
    const bool rolaLista = f_.Rolagem && f_.Tela == 1;
    std::string dica;
    if (rolaLista && linha == 5) dica = f_.listaSistemas.doisAbaixo() ? kDicaAbaixo : kDicaAcima;

    if (linha + 1 <= f_.LinhaFim) {
        movePonteiro(linha + 1);
    } else if (rolaLista) {
        f_.listaSistemas.rolaParaBaixo();
    }
    f_.LinhaSinal = f_.lbxVisor.itemIndex();
    f_.lblStatus.setCaption(cortaStatus(f_.lblStatus.caption()) + dica);
}

void Panel::btnUpClick() {
    bipe();
    const int linha = f_.lbxVisor.itemIndex();
    const bool rolaLista = f_.Rolagem && f_.Tela == 1;
    std::string dica;
    if (rolaLista && linha == 0) dica = f_.listaSistemas.doisAcima() ? kDicaAcima : kDicaAbaixo;

    if (linha - 1 >= f_.LinhaIni) {
        movePonteiro(linha - 1);
    } else if (rolaLista) {
        f_.listaSistemas.rolaParaCima();
    }
    f_.LinhaSinal = f_.lbxVisor.itemIndex();
    f_.lblStatus.setCaption(cortaStatus(f_.lblStatus.caption()) + dica);
}

void Panel::lbxVisorClick() {
    int linha = f_.lbxVisor.itemIndex();
    if (linha < f_.LinhaIni) {
        linha = f_.LinhaIni;
    } else if (linha > f_.LinhaFim) {
        linha = f_.LinhaFim;
    }
    f_.lbxVisor.setItemIndex(linha);
    f_.lbxSinalizador.setItem(f_.LinhaSinal, "");
    f_.lbxSinalizador.setItemIndex(f_.lbxVisor.itemIndex());
    f_.lbxSinalizador.setItem(f_.lbxVisor.itemIndex(), ">");
    f_.LinhaSinal = f_.lbxVisor.itemIndex();
    f_.lblStatus.setCaption(cortaStatus(f_.lblStatus.caption()));
}

void Panel::lbxSinalizadorClick() {
    int linha = f_.lbxSinalizador.itemIndex();
    if (linha < f_.LinhaIni) {
        linha = f_.LinhaIni;
    } else if (linha > f_.LinhaFim) {
        linha = f_.LinhaFim;
    }
    f_.lbxSinalizador.setItemIndex(linha);
    f_.lbxSinalizador.setItem(f_.LinhaSinal, "");
    f_.lbxVisor.setItemIndex(f_.lbxSinalizador.itemIndex());
    f_.lbxSinalizador.setItem(f_.lbxSinalizador.itemIndex(), ">");
    f_.LinhaSinal = f_.lbxSinalizador.itemIndex();
}

void Panel::cliqueVisor(int row) {
    // A click below the last line selects the last line, as a list box does.
    f_.lbxVisor.setItemIndex(std::min(row, f_.lbxVisor.count() - 1));
    lbxVisorClick();
}

void Panel::cliqueSinalizador(int row) {
    f_.lbxSinalizador.setItemIndex(std::min(row, f_.lbxSinalizador.count() - 1));
    lbxSinalizadorClick();
}

void Panel::btnConfirmaClick() {
    bipe();
    lbxVisorDblClick();
}

void Panel::lbxVisorDblClick() {
    switch (f_.Tela) {
        case 0:
            f_.telas.RotinasTela0();
            break;
        case 1:
            f_.listaSistemas.RotinasTela1();
            break;
        case 2:
            f_.telas.RotinasTela2();
            break;
        case 3:
            f_.telas.RotinasTela3();
            break;
        default:
            break;
    }
}

void Panel::btnRetornaClick() {
    bipe();
    switch (f_.Tela) {
        case 0:
            if (f_.Mensagem("Deseja realmento sair do Tolvan Link? ", kConfirmacao,
                            kBotoesSimNao) == kResultSim) {
                f_.Close();
            }
            break;
        case 1:
            f_.telas.MontaTela0();
            break;
        case 2:
            f_.listaSistemas.MontaTela1();
            break;
        case 3:
            f_.telas.MontaTela0();
            break;
        default:
            break;
    }
}

void Panel::lbxVisorKeyDown(int key) {
    if (f_.Tela == 1 && f_.lbxVisor.itemIndex() == 0 && key == kVkUp) btnUpClick();
    if (f_.Tela == 1 && f_.lbxVisor.itemIndex() == 5 && key == kVkDown) btnDownClick();
    if (key == kVkReturn) btnConfirmaClick();
    if (key == kVkEscape) btnRetornaClick();
}

void Panel::teclaNaLista(int key) {
    const int ultima = f_.lbxVisor.count() - 1;
    if (ultima < 0 || f_.closed()) return;
    const int atual = f_.lbxVisor.itemIndex();
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
    f_.lbxVisor.setItemIndex(nova);
    lbxVisorClick();
}

}  // namespace tolvan
