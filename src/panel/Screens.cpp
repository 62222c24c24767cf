#include "panel/Screens.h"

#include <string>
#include <vector>

#include "link/Handshake.h"
#include "link/PortDialog.h"
#include "link/PortOpening.h"
#include "panel/Panel.h"
#include "panel/Progresso.h"
#include "panel/SystemList.h"
#include "services/Desfecho.h"
#include "services/Desktop.h"
#include "services/LedBar.h"
#include "services/PathResolver.h"
#include "services/PortRegistry.h"
#include "services/Shell.h"
#include "texts/Mensagem.h"
#include "transfer/ImageFiles.h"
#include "transfer/Programming.h"
#include "transfer/Verification.h"

namespace tolvan {

void Screens::preencheTela(const std::vector<std::string>& linhas, int ponteiro) {
    visor_.lbxVisor.clear();
    for (const std::string& linha : linhas)
        visor_.lbxVisor.add(linha);
    visor_.lbxSinalizador.clear();
    for (int i = 0; i < 6; ++i)
        visor_.lbxSinalizador.add(i == ponteiro ? ">" : "");
}

void Screens::selecionaLinha(int linha) {
    visor_.lbxVisor.setItemIndex(linha);
    visor_.lbxSinalizador.setItemIndex(linha);
}

void Screens::MontaTela0() {
    nav_.Tela = 0;
    preencheTela({"", "Conexão", "Porta de Comunicação", "Sobre o Produto", "Sair do Programa", ""},
                 1);
    nav_.LinhaIni = 1;
    nav_.LinhaFim = 4;
    nav_.LinhaSinal = 1;
    visor_.lblMsg.setCaption("Vessaro");
    selecionaLinha(1);
    shell_.focaVisor();
    // A connection is a handshake that succeeded in this run; the main menu never shows one.
    visor_.lblStatus.setCaption("[Desconectado]");
}

void Screens::RotinasTela0() {
    switch (visor_.lbxVisor.itemIndex()) {
        case 1:
            acoes_.conexao.conecta();
            break;
        case 2:
            MontaTela3();
            break;
        case 4:
            sair();
            break;
        default:
            shell_.mostraSobre();
            break;
    }
}

void Screens::MontaTela2() {
    nav_.Tela = 2;
    preencheTela({"", "Gravação & Verificação", "Gravação", "Verificação", "", ""}, 1);
    nav_.LinhaIni = 1;
    nav_.LinhaFim = 3;
    nav_.LinhaSinal = 1;
    visor_.lblMsg.setCaption("Sistema " + nav_.SistemaEscolhido);
    selecionaLinha(1);
    shell_.focaVisor();
}

void Screens::RotinasTela2() {
    const int linha = visor_.lbxVisor.itemIndex();
    iniciaOperacao(linha == 1   ? Operacao::GravacaoVerificacao
                   : linha == 2 ? Operacao::Gravacao
                                : Operacao::Verificacao);
}

void Screens::iniciaOperacao(Operacao operacao) {
    shell_.AtivaFuncoes(false);
    visor_.lblStatus.setCaption(kStatusConectado);
    iLedBar1_.setVisible(true);
    visor_.lblStatus.setVisible(true);
    run_.operacao = operacao;
    // A row the device cannot be given whole is refused before anything is sent.
    if (!acoes_.arquivos.imagensProntas(run_.operacao)) return;
    if (!acoes_.portas.portaPronta()) {
        run_.encerra();
        shell_.termina(
            {Desfecho::FalhaDePorta, {MessageId::FalhaNaPorta, kMsgFalhaNaPorta, kErro}});
        return;
    }
    if (run_.operacao == Operacao::Verificacao || run_.operacao == Operacao::Leitura) {
        acoes_.verificacao.Verificacao();
    } else {
        acoes_.gravacao.Gravacao();
    }
}

void Screens::MontaTela3() {
    nav_.Tela = 3;
    std::vector<std::string> linhas;
    for (const SerialPortEntry& porta : ports_.ports())
        linhas.push_back(porta.name);
    const int portas = static_cast<int>(linhas.size());
    while (linhas.size() < 6)
        linhas.emplace_back();
    preencheTela(linhas, -1);
    nav_.LinhaIni = 0;
    nav_.LinhaFim = portas - 1;
    visor_.lblMsg.setCaption("Selecione a Porta de Comunicação");
    acoes_.portas.NumPorta = acoes_.portas.lePortFile();

    selecionaLinha(0);
    nav_.LinhaSinal = 0;
    visor_.lbxSinalizador.setItem(0, ">");
    // The current port's line carries the pointer; the last matching line wins.
    for (int i = 0; i <= nav_.LinhaFim; ++i) {
        if (numeroDaPorta(visor_.lbxVisor.item(i)) != acoes_.portas.NumPorta) continue;
        visor_.lbxSinalizador.setItem(nav_.LinhaSinal, "");
        selecionaLinha(i);
        nav_.LinhaSinal = i;
        visor_.lbxSinalizador.setItem(i, ">");
    }
    shell_.focaVisor();
}

void Screens::RotinasTela3() {
    // A line that names no port (a blank line, a name that is not COM and a number) is an
    // opening failure like any other.
    acoes_.portas.NumPorta = numeroDaPorta(visor_.lbxVisor.item(visor_.lbxVisor.itemIndex()));
    acoes_.portas.aberturaTela3();
    acoes_.portas.gravaPortaAtual();
    MontaTela0();
}

void Screens::MontaTelaSemSistema() {
    // Only the lines change: the selection stays where it was.
    const int linha = visor_.lbxVisor.itemIndex();
    preencheTela({"", "Nenhum", "Sistema", "Encontrado", "", ""}, -1);
    selecionaLinha(linha);
    visor_.lblStatus.setCaption("O programa será encerrado.");
}

void Screens::FormKeyDown(int key) {
    if (key == kVkF1) {
        const std::string manual = dirPrograma_ + "\\manual\\Vessaro.chm";
        desktop_.showHelp({manual + ">Conteúdo", files_.resolve(manual), 0, "Index.html"});
    }
    if (key == kVkF5) {
        desktop_.setBusyCursor(true);
        try {
            shell_.mostraSobre();
        } catch (...) {
            desktop_.setBusyCursor(false);
            throw;
        }
        desktop_.setBusyCursor(false);
    }
    if (key == kVkF6) {
        acoes_.portas.aberturaF6();
        if (shell_.closed()) return;
    }
    acoes_.portas.gravaPortaAtual();
}

void Screens::TimerMontaTelaTimer() {
    nav_.TimerMontaTela->stop();
    lista_.MontaTela1();
}

void Screens::sair() {
    if (shell_.Mensagem(MessageId::Sair, "Deseja realmento sair do Tolvan Link? ", kConfirmacao,
                        kBotoesSimNao) == kResultSim) {
        shell_.Close();
    }
}

}  // namespace tolvan
