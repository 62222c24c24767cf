#include "panel/SystemList.h"

#include <fstream>
#include <string>

#include "app/FrmTolvanLink.h"
#include "texts/Mensagem.h"
#include "texts/Trim.h"

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
    FrmTolvanLink& f = f_;
    CatalogueQuery& q = f.QrTolvanLink;
    f.Tela = 1;
    bool achou = false;

    q.First();
    f.lbxVisor.clear();
    int ultimaLinha;
    if (q.recordCount() > 6) {
        for (int i = 0; i < 6; ++i) {
            f.lbxVisor.add(q.asString("Descricao"));
            q.Next();
        }
        f.Rolagem = true;
        ultimaLinha = 5;
    } else {
        while (!q.Eof()) {
            f.lbxVisor.add(q.asString("Descricao"));
            q.Next();
        }
        f.Rolagem = false;
        ultimaLinha = q.recordCount() - 1;
    }
    f.lbxSinalizador.clear();
    for (const char* linha : {">", "", "", "", "", ""})
        f.lbxSinalizador.add(linha);
    f.LinhaIni = 0;
    f.LinhaFim = ultimaLinha;
    f.LinhaSinal = 0;
    f.lblMsg.setCaption("Selecione um Sistema");
    f.lbxVisor.setItemIndex(0);
    f.lbxSinalizador.setItemIndex(0);
    f.focaVisor();
    f.SistemaSelecao.clear();

    if (!f.ModoSelecao) return;

    f.SistemaSelecao = sistemaDoArquivoSelecao(f.files.resolve(f.Drive + kSelectionFile));
    // Each pass tests the next row of the catalogue, from the first: Down moves the pointer or,
    // on line 5 of a scrolling list, scrolls one row.
    for (int passo = 0; passo < q.recordCount() && !f.closed(); ++passo) {
        f.lbxSinalizador.setItem(f.lbxSinalizador.itemIndex(), "");
        const int linha = f.lbxVisor.itemIndex();
        const std::string& texto = f.lbxVisor.item(linha);
        if (!f.SistemaSelecao.empty() && texto.find(f.SistemaSelecao) != std::string::npos) {
            f.lbxVisor.setItemIndex(linha);
            f.lbxSinalizador.setItemIndex(linha);
            f.lbxSinalizador.setItem(linha, ">");
            f.LinhaSinal = linha;
            achou = true;
            break;
        }
        f.focaVisor();
        f.painel.btnDownClick();
    }

    if (achou) {
        RotinasTela1();
    } else {
        f.Mensagem("Montadora inexistente no Tolvan Link.", kErro, kBotaoOk);
        f.Close();
    }
    f.Tela = 2;
}

void SystemList::RotinasTela1() {
    FrmTolvanLink& f = f_;
    const std::string linha = f.lbxVisor.item(f.lbxVisor.itemIndex());
    f.SistemaEscolhido = linha;
    if (!f.QrTolvanLink.Locate("Descricao", Trim(linha))) {
        f.Mensagem("Erro ao localizar o registro.", kErro, kBotaoOk);
        return;
    }
    f.NomeArq = f.QrTolvanLink.asString("Arquivo");
    f.QtdSetores = static_cast<std::int32_t>(f.QrTolvanLink.asInteger("Setor"));
    f.iLedBar1.prepare(f.QtdSetores);
    f.Endereco1 = "00 32 00";
    f.Endereco2 = "00 32 00";
    f.telas.MontaTela2();
    if (f.ModoSelecao) {
        // Programming followed by verification, without the operator.
        f.lbxVisor.setItemIndex(1);
        f.telas.RotinasTela2();
    }
}

void SystemList::rolaParaBaixo() {
    FrmTolvanLink& f = f_;
    f.QrTolvanLink.Locate("Descricao", Trim(f.lbxVisor.item(5)));
    f.QrTolvanLink.Next();
    if (f.QrTolvanLink.Eof()) return;
    for (int i = 0; i <= 4; ++i)
        f.lbxVisor.setItem(i, f.lbxVisor.item(i + 1));
    f.lbxVisor.setItem(5, f.QrTolvanLink.asString("Descricao"));
}

void SystemList::rolaParaCima() {
    FrmTolvanLink& f = f_;
    f.QrTolvanLink.Locate("Descricao", Trim(f.lbxVisor.item(0)));
    f.QrTolvanLink.Prior();
    if (f.QrTolvanLink.Bof()) return;
    for (int i = 0; i <= 4; ++i)
        f.lbxVisor.setItem(5 - i, f.lbxVisor.item(4 - i));
    f.lbxVisor.setItem(0, f.QrTolvanLink.asString("Descricao"));
}

bool SystemList::doisAbaixo() {
    CatalogueQuery& q = f_.QrTolvanLink;
    q.Locate("Descricao", Trim(f_.lbxVisor.item(5)));
    q.Next();
    q.Next();
    const bool doisOuMais = !q.Eof();
    q.Prior();
    q.Prior();
    return doisOuMais;
}

bool SystemList::doisAcima() {
    CatalogueQuery& q = f_.QrTolvanLink;
    q.Locate("Descricao", Trim(f_.lbxVisor.item(0)));
    q.Prior();
    q.Prior();
    const bool doisOuMais = !q.Bof();
    q.Next();
    q.Next();
    return doisOuMais;
}

}  // namespace tolvan
