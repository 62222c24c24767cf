#include "panel/SystemList.h"

#include <string>

#include "panel/Screens.h"
#include "services/CatalogueQuery.h"
#include "services/CatalogueStore.h"
#include "services/Desfecho.h"
#include "services/Shell.h"
#include "texts/Mensagem.h"
#include "texts/Trim.h"
#include "transfer/ImageFiles.h"

namespace tolvan {

void SystemList::MontaTela1() {
    CatalogueQuery& q = catalogo_;
    ListBox& visor = visor_.lbxVisor;
    ListBox& sinalizador = visor_.lbxSinalizador;
    nav_.Tela = 1;

    q.First();
    visor.clear();
    int ultimaLinha;
    if (q.recordCount() > 6) {
        for (int i = 0; i < 6; ++i) {
            visor.add(q.asString(catalogo::kDescricao));
            q.Next();
        }
        nav_.Rolagem = true;
        ultimaLinha = 5;
    } else {
        while (!q.Eof()) {
            visor.add(q.asString(catalogo::kDescricao));
            q.Next();
        }
        nav_.Rolagem = false;
        ultimaLinha = q.recordCount() - 1;
    }
    sinalizador.clear();
    for (const char* linha : {">", "", "", "", "", ""})
        sinalizador.add(linha);
    nav_.LinhaIni = 0;
    nav_.LinhaFim = ultimaLinha;
    nav_.LinhaSinal = 0;
    visor_.lblMsg.setCaption("Selecione um Sistema");
    visor.setItemIndex(0);
    sinalizador.setItemIndex(0);
    shell_.focaVisor();
    nav_.SistemaSelecao.clear();
}

bool SystemList::RotinasTela1() {
    return escolhe(visor_.lbxVisor.item(visor_.lbxVisor.itemIndex()));
}

bool SystemList::escolhe(const std::string& linha) {
    nav_.SistemaEscolhido = linha;
    if (!catalogo_.Locate(catalogo::kDescricao, Trim(linha))) {
        // A description with blanks at its ends is not found again by its trimmed text. In
        // selector mode the window then closes: the run cannot start.
        shell_.termina(
            {Desfecho::CatalogoInvalido,
             {MessageId::RegistroNaoLocalizado, "Erro ao localizar o registro.", kErro}});
        return false;
    }
    // The main image's name, sector count and addresses, and the bar prepared for it.
    arquivos_.carregaImagem(Imagem::Principal);
    telas_.MontaTela2();
    return true;
}

void SystemList::rolaParaBaixo() {
    rola(true);
}

void SystemList::rolaParaCima() {
    rola(false);
}

bool SystemList::doisAbaixo() {
    return doisAlem(true);
}

bool SystemList::doisAcima() {
    return doisAlem(false);
}

void SystemList::localizaBorda(bool abaixo) {
    catalogo_.Locate(catalogo::kDescricao, Trim(visor_.lbxVisor.item(abaixo ? 5 : 0)));
}

void SystemList::passo(bool abaixo) {
    if (abaixo) {
        catalogo_.Next();
    } else {
        catalogo_.Prior();
    }
}

bool SystemList::naPonta(bool abaixo) const {
    return abaixo ? catalogo_.Eof() : catalogo_.Bof();
}

void SystemList::rola(bool abaixo) {
    localizaBorda(abaixo);
    passo(abaixo);
    if (naPonta(abaixo)) return;
    // Lines 0 to 4 take the line below, top first; or 5 to 1 the line above, bottom first.
    ListBox& visor = visor_.lbxVisor;
    for (int i = 0; i <= 4; ++i) {
        if (abaixo) {
            visor.setItem(i, visor.item(i + 1));
        } else {
            visor.setItem(5 - i, visor.item(4 - i));
        }
    }
    visor.setItem(abaixo ? 5 : 0, catalogo_.asString(catalogo::kDescricao));
}

bool SystemList::doisAlem(bool abaixo) {
    localizaBorda(abaixo);
    passo(abaixo);
    passo(abaixo);
    const bool doisOuMais = !naPonta(abaixo);
    passo(!abaixo);
    passo(!abaixo);
    return doisOuMais;
}

}  // namespace tolvan
