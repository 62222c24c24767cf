#include "panel/SystemList.h"

#include <fstream>
#include <string>

#include "panel/Panel.h"
#include "panel/Screens.h"
#include "services/CatalogueQuery.h"
#include "services/CatalogueStore.h"
#include "services/Desfecho.h"
#include "services/PathResolver.h"
#include "services/Paths.h"
#include "services/Shell.h"
#include "texts/Mensagem.h"
#include "texts/Trim.h"
#include "transfer/ImageFiles.h"

namespace tolvan {

namespace {

// The third line of the selection file: the system the launcher asks for. A file that cannot
// be read, or has fewer lines, names nothing.
std::string sistemaDoArquivoSelecao(const std::filesystem::path& arquivo) {
    std::ifstream in(arquivo, std::ios::binary);
    std::string linha;
    for (int i = 0; i < 3; ++i) {
        if (!std::getline(in, linha)) return {};
    }
    if (!linha.empty() && linha.back() == '\r') linha.pop_back();
    return linha;
}

}  // namespace

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

    if (!shell_.modoSelecao()) return;

    nav_.SistemaSelecao = sistemaDoArquivoSelecao(files_.resolve(drive_ + kSelectionFile));
    if (procuraSistema(nav_.SistemaSelecao)) {
        RotinasTela1();
    } else {
        shell_.termina({Desfecho::SistemaInexistente,
                        {MessageId::MontadoraInexistente, kMsgMontadoraInexistente, kErro}});
    }
    nav_.Tela = 2;
}

bool SystemList::procuraSistema(const std::string& sistema) {
    CatalogueQuery& q = catalogo_;
    ListBox& visor = visor_.lbxVisor;
    ListBox& sinalizador = visor_.lbxSinalizador;
    // Each pass tests the next row of the catalogue, from the first: Down moves the pointer or,
    // on line 5 of a scrolling list, scrolls one row.
    for (int passo = 0; passo < q.recordCount() && !shell_.closed(); ++passo) {
        sinalizador.setItem(sinalizador.itemIndex(), "");
        const int linha = visor.itemIndex();
        const std::string& texto = visor.item(linha);
        if (!sistema.empty() && texto.find(sistema) != std::string::npos) {
            visor.setItemIndex(linha);
            sinalizador.setItemIndex(linha);
            sinalizador.setItem(linha, ">");
            nav_.LinhaSinal = linha;
            return true;
        }
        shell_.focaVisor();
        painel_.btnDownClick();
    }
    return false;
}

bool SystemList::RotinasTela1() {
    const std::string linha = visor_.lbxVisor.item(visor_.lbxVisor.itemIndex());
    nav_.SistemaEscolhido = linha;
    if (!catalogo_.Locate(catalogo::kDescricao, Trim(linha))) {
        // A description with blanks at its ends is not found again by its trimmed text.
        // In selector mode nothing would ever happen next: the run cannot start.
        shell_.termina(
            {Desfecho::CatalogoInvalido,
             {MessageId::RegistroNaoLocalizado, "Erro ao localizar o registro.", kErro}});
        return false;
    }
    // The main image's name, sector count and addresses, and the bar prepared for it.
    arquivos_.carregaImagem(Imagem::Principal);
    telas_.MontaTela2();
    if (shell_.modoSelecao()) {
        // Programming followed by verification, without the operator.
        visor_.lbxVisor.setItemIndex(1);
        telas_.RotinasTela2();
    }
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
