#include "link/Handshake.h"

#include "link/EstadoConexao.h"
#include "link/Frames.h"
#include "services/Controls.h"
#include "services/Shell.h"
#include "texts/Mensagem.h"
#include "texts/Trim.h"
#include "transfer/Execucao.h"
#include "transfer/RunListener.h"

namespace tolvan {

void Handshake::conecta() {
    conn_.Tentativas = 0;
    Link();
}

void Handshake::Link() {
    shell_.Mensagem(kMsgDesconecteCabo, kInformacao, kBotaoOk);
    lblStatus_.setCaption(kStatusConectando);
    if (shell_.modoSelecao()) lblMsg2_.setCaption("Conectando ... ");
    shell_.AtivaFuncoes(false);
    // No received byte is taken as sector data from here on.
    run_.encerra(Modo::Link);
    conn_.Chamadas = 0;
    conn_.Conectando = true;
    conn_.TimerLink->start();
}

void Handshake::TimerLinkTimer() {
    ++conn_.Chamadas;
    if (conn_.Chamadas != kChamadasPorPergunta) {
        CmdLink(port_);
        return;
    }
    conn_.TimerLink->stop();
    conn_.Chamadas = 0;
    conn_.PerguntaAberta = true;
    const int resposta = shell_.Mensagem(kMsgAbandonarConexao, kConfirmacao, kBotoesSimNao);
    conn_.PerguntaAberta = false;
    // Receive events go on while the question is open: when they ended the handshake (connected
    // or failed), the question was closed unanswered and has nothing left to decide.
    if (!conn_.Conectando) return;
    if (resposta == kResultNao) {
        conn_.TimerLink->start();
    } else {
        encerraSemConexao({}, Desfecho::SemComunicacao);
    }
}

void Handshake::avaliaResposta(const std::string& textoBytes) {
    const std::string t = Trim(textoBytes);

    // The answer 00 03 01 may be split over events: keep what has come of it.
    if (t == "00") {
        conn_.RespostaParcial = "00";
    } else if (t == "00 03") {
        conn_.RespostaParcial = "00 03";
    } else if (t == "03") {
        conn_.RespostaParcial = conn_.RespostaParcial + " 03";
    }

    std::string texto = textoBytes;
    if ((t == "03 01" && conn_.RespostaParcial == "00") ||
        (t == "01" && conn_.RespostaParcial == "00 03")) {
        texto = conn_.RespostaParcial + " " + t;
        conn_.RespostaParcial.clear();
    }

    if (Trim(texto) == kRespostaLink) {
        conectado();
    } else if (conn_.Tentativas < kTentativasMaximas) {
        ++conn_.Tentativas;
        conn_.TimerLink->start();
    } else {
        encerraSemConexao(kMsgErroConexao, Desfecho::SemComunicacao);
    }
}

void Handshake::fechaPergunta() {
    if (!conn_.PerguntaAberta) return;
    conn_.PerguntaAberta = false;
    shell_.fechaMensagem();
}

void Handshake::conectado() {
    run_.Modo = Modo::Nenhum;
    conn_.Conectando = false;
    fechaPergunta();
    shell_.AtivaFuncoes(true);
    timerMontaTela_.start();
    lblStatus_.setCaption(kStatusConectado);
    shell_.ouvinte().conectado();
}

void Handshake::encerraSemConexao(const std::string& mensagem, Desfecho desfecho) {
    // Later receive events are no longer answers: no late connection, no repeated failure.
    conn_.Conectando = false;
    fechaPergunta();
    shell_.ouvinte().fim(desfecho, mensagem);
    conn_.TimerLink->stop();
    shell_.AtivaFuncoes(true);
    shell_.MontaTela0();
    if (shell_.modoSelecao()) lblMsg2_.setCaption("Erro na Conexão.");
    lblStatus_.setCaption(kStatusErroConexao);
    if (shell_.modoSelecao()) {
        shell_.Close();
    } else if (!mensagem.empty()) {
        shell_.Mensagem(mensagem, kInformacao, kBotaoOk);
    }
}

}  // namespace tolvan
