#include "panel/Screens.h"

#include <string>
#include <vector>

#include "app/FrmTolvanLink.h"
#include "link/PortDialog.h"
#include "link/PortOpening.h"
#include "texts/Mensagem.h"

namespace tolvan {

namespace {

// Fills the display with `linhas` and the pointer column with six lines, ">" on `ponteiro`
// (none when it is -1).
void preencheTela(FrmTolvanLink& f, const std::vector<std::string>& linhas, int ponteiro) {
    f.lbxVisor.clear();
    for (const std::string& linha : linhas)
        f.lbxVisor.add(linha);
    f.lbxSinalizador.clear();
    for (int i = 0; i < 6; ++i)
        f.lbxSinalizador.add(i == ponteiro ? ">" : "");
}

void selecionaLinha(FrmTolvanLink& f, int linha) {
    f.lbxVisor.setItemIndex(linha);
    f.lbxSinalizador.setItemIndex(linha);
}

}  // namespace

void Screens::MontaTela0() {
    f_.Tela = 0;
    preencheTela(
        f_, {"", "Conexão", "Porta de Comunicação", "Sobre o Produto", "Sair do Programa", ""}, 1);
    f_.LinhaIni = 1;
    f_.LinhaFim = 4;
    f_.LinhaSinal = 1;
    f_.lblMsg.setCaption("Vessaro");
    selecionaLinha(f_, 1);
    f_.focaVisor();
    // A connection is a handshake that succeeded in this run; the main menu never shows one.
    f_.lblStatus.setCaption("[Desconectado]");
}

void Screens::RotinasTela0() {
    switch (f_.lbxVisor.itemIndex()) {
        case 1:
            f_.Tentativas = 0;
            f_.conexao.Link();
            break;
        case 2:
            MontaTela3();
            break;
        case 4:
            if (f_.Mensagem("Deseja realmento sair do Tolvan Link? ", kConfirmacao,
                            kBotoesSimNao) == kResultSim) {
                f_.Close();
            }
            break;
        default:
            mostraSobre();
            break;
    }
}

void Screens::MontaTela2() {
    f_.Tela = 2;
    preencheTela(f_, {"", "Gravação & Verificação", "Gravação", "Verificação", "", ""}, 1);
    f_.LinhaIni = 1;
    f_.LinhaFim = 3;
    f_.LinhaSinal = 1;
    f_.lblMsg.setCaption("Sistema " + f_.SistemaEscolhido);
    selecionaLinha(f_, 1);
    f_.focaVisor();
}

void Screens::RotinasTela2() {
    f_.painel.AtivaFuncoes(false);
    f_.lblStatus.setCaption("[Conectado]");
    f_.iLedBar1.setVisible(true);
    f_.lblStatus.setVisible(true);
    const int linha = f_.lbxVisor.itemIndex();
    const bool gravacao = linha == 1 || linha == 2;
    const bool verificacao = linha != 2;
    // A row the device cannot be given whole is refused before anything is sent.
    if (!f_.arquivos.imagensProntas(gravacao, verificacao)) return;
    if (gravacao) {
        f_.gravacao.Gravacao();
    } else {
        f_.verificacao.Verificacao();
    }
}

void Screens::MontaTela3() {
    f_.Tela = 3;
    std::vector<std::string> linhas;
    for (const SerialPortEntry& porta : f_.svc.ports.ports())
        linhas.push_back(porta.name);
    const int portas = static_cast<int>(linhas.size());
    while (linhas.size() < 6)
        linhas.emplace_back();
    preencheTela(f_, linhas, -1);
    f_.LinhaIni = 0;
    f_.LinhaFim = portas - 1;
    f_.lblMsg.setCaption("Selecione a Porta de Comunicação");
    f_.NumPorta = f_.portas.lePortFile();

    selecionaLinha(f_, 0);
    f_.LinhaSinal = 0;
    f_.lbxSinalizador.setItem(0, ">");
    // The current port's line carries the pointer; the last matching line wins.
    for (int i = 0; i <= f_.LinhaFim; ++i) {
        if (numeroDaPorta(f_.lbxVisor.item(i)) != f_.NumPorta) continue;
        f_.lbxSinalizador.setItem(f_.LinhaSinal, "");
        selecionaLinha(f_, i);
        f_.LinhaSinal = i;
        f_.lbxSinalizador.setItem(i, ">");
    }
    f_.focaVisor();
}

void Screens::RotinasTela3() {
    // A line that names no port (a blank line, a name that is not COM and a number) is an
    // opening failure like any other.
    f_.NumPorta = numeroDaPorta(f_.lbxVisor.item(f_.lbxVisor.itemIndex()));
    f_.portas.aberturaTela3();
    f_.portas.gravaPortFile(f_.ComPort.comNumber());
    MontaTela0();
}

void Screens::MontaTelaSemSistema() {
    // Only the lines change: the selection stays where it was.
    const int linha = f_.lbxVisor.itemIndex();
    preencheTela(f_, {"", "Nenhum", "Sistema", "Encontrado", "", ""}, -1);
    selecionaLinha(f_, linha);
    f_.lblStatus.setCaption("O programa será encerrado.");
}

void Screens::FormKeyDown(int key) {
    if (key == kVkF1) {
        const std::string manual = f_.DirPrograma + "\\manual\\Vessaro.chm";
        f_.svc.desktop.showHelp({manual + ">Conteúdo", f_.files.resolve(manual), 0, "Index.html"});
    }
    if (key == kVkF5) {
        f_.svc.desktop.setBusyCursor(true);
        try {
            mostraSobre();
        } catch (...) {
            f_.svc.desktop.setBusyCursor(false);
            throw;
        }
        f_.svc.desktop.setBusyCursor(false);
    }
    if (key == kVkF6) {
        f_.portas.aberturaF6();
        if (f_.closed()) return;
    }
    f_.portas.gravaPortFile(f_.ComPort.comNumber());
}

void Screens::TimerMontaTelaTimer() {
    f_.TimerMontaTela->stop();
    f_.listaSistemas.MontaTela1();
}

void Screens::mostraSobre() {
    f_.mostraSobre();
}

}  // namespace tolvan
