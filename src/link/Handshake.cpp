#include "link/Handshake.h"

#include "link/EstadoConexao.h"
#include "link/Frames.h"
#include "services/Desfecho.h"
#include "services/Shell.h"
#include "texts/Mensagem.h"
#include "texts/Trim.h"

namespace tolvan {

void Handshake::conecta() {
    conn_.Tentativas = 0;
    Link();
}

void Handshake::Link() {
    shell_.Mensagem(MessageId::DesconecteCabo, kMsgDesconecteCabo, kInformacao, kBotaoOk);
    ouvinte_.conectando();
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
    const int resposta = shell_.Mensagem(MessageId::AbandonarConexao, kMsgAbandonarConexao,
                                         kConfirmacao, kBotoesSimNao);
    conn_.PerguntaAberta = false;
    // Receive events go on while the question is open: when they ended the handshake (connected
    // or failed), the question was closed unanswered and has nothing left to decide.
    if (!conn_.Conectando) return;
    if (resposta == kResultNao) {
        conn_.TimerLink->start();
    } else {
        encerraSemConexao(Desfecho::SemComunicacao, MessageId::AbandonarConexao, {});
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
        encerraSemConexao(Desfecho::SemComunicacao, MessageId::ErroConexao, kMsgErroConexao);
    }
}

void Handshake::fechaPergunta() {
    if (!conn_.PerguntaAberta) return;
    conn_.PerguntaAberta = false;
    shell_.fechaMensagem();
}

void Handshake::conectado() {
    conn_.Conectando = false;
    fechaPergunta();
    ouvinte_.conectado();
}

void Handshake::para() {
    // Later receive events are no longer answers: no late connection, no repeated failure.
    conn_.Conectando = false;
    fechaPergunta();
    conn_.TimerLink->stop();
}

void Handshake::encerraSemConexao(Desfecho desfecho, MessageId id, const std::string& mensagem) {
    para();
    shell_.termina({desfecho, {id, mensagem, kInformacao}, true});
}

}  // namespace tolvan
