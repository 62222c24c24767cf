#include "link/Handshake.h"

#include "app/FrmTolvanLink.h"
#include "link/Frames.h"
#include "texts/Mensagem.h"
#include "texts/Trim.h"

namespace tolvan {

void Handshake::Link() {
    FrmTolvanLink& f = f_;
    f.Mensagem(kMsgDesconecteCabo, kInformacao, kBotaoOk);
    f.lblStatus.setCaption(kStatusConectando);
    if (f.ModoSelecao) f.lblMsg2.setCaption("Conectando ... ");
    f.painel.AtivaFuncoes(false);
    f.LendoSetor = false;
    f.CabecalhoRestante = 0;
    f.Modo = "Link";
    f.Chamadas = 0;
    f.Conectando = true;
    f.TimerLink->start();
}

void Handshake::TimerLinkTimer() {
    FrmTolvanLink& f = f_;
    ++f.Chamadas;
    if (f.Chamadas != kChamadasPorPergunta) {
        CmdLink(f.ComPort);
        return;
    }
    f.TimerLink->stop();
    f.Chamadas = 0;
    const int resposta = f.Mensagem(kMsgAbandonarConexao, kConfirmacao, kBotoesSimNao);
    // Receive events go on while the question is open: when they ended the handshake (connected
    // or failed), the answer has nothing left to decide.
    if (!f.Conectando) return;
    if (resposta == kResultNao) {
        f.TimerLink->start();
    } else {
        encerraSemConexao(false);
    }
}

void Handshake::avaliaResposta(const std::string& textoBytes) {
    FrmTolvanLink& f = f_;
    const std::string t = Trim(textoBytes);

    // The answer 00 03 01 may be split over events: keep what has come of it.
    if (t == "00") {
        f.RespostaParcial = "00";
    } else if (t == "00 03") {
        f.RespostaParcial = "00 03";
    } else if (t == "03") {
        f.RespostaParcial = f.RespostaParcial + " 03";
    }

    std::string texto = textoBytes;
    if ((t == "03 01" && f.RespostaParcial == "00") ||
        (t == "01" && f.RespostaParcial == "00 03")) {
        texto = f.RespostaParcial + " " + t;
        f.RespostaParcial.clear();
    }

    if (Trim(texto) == kRespostaLink) {
        conectado();
    } else if (f.Tentativas < kTentativasMaximas) {
        ++f.Tentativas;
        f.TimerLink->start();
    } else {
        encerraSemConexao(true);
    }
}

void Handshake::conectado() {
    FrmTolvanLink& f = f_;
    f.Modo.clear();
    f.Conectando = false;
    f.painel.AtivaFuncoes(true);
    f.TimerMontaTela->start();
    f.lblStatus.setCaption(kStatusConectado);
}

void Handshake::encerraSemConexao(bool falha) {
    FrmTolvanLink& f = f_;
    // Later receive events are no longer answers: no late connection, no repeated failure.
    f.Conectando = false;
    f.TimerLink->stop();
    f.painel.AtivaFuncoes(true);
    f.telas.MontaTela0();
    if (f.ModoSelecao) f.lblMsg2.setCaption("Erro na Conexão.");
    f.lblStatus.setCaption(kStatusErroConexao);
    if (f.ModoSelecao) {
        f.Close();
    } else if (falha) {
        f.Mensagem(kMsgErroConexao, kInformacao, kBotaoOk);
    }
}

}  // namespace tolvan
