#include "transfer/Verification.h"

#include <algorithm>

#include "link/Frames.h"
#include "link/SerialPort.h"
#include "services/Clock.h"
#include "services/Desfecho.h"
#include "services/Shell.h"
#include "texts/Mensagem.h"
#include "transfer/DiagnosticLists.h"
#include "transfer/ImageFiles.h"
#include "transfer/Receiver.h"
#include "transfer/RunListener.h"

namespace tolvan {

void Verification::Verificacao() {
    iniciaImagem(Imagem::Principal);
}
void Verification::VerificacaoL() {
    iniciaImagem(Imagem::L);
}
void Verification::VerificacaoL2() {
    iniciaImagem(Imagem::L2);
}

void Verification::iniciaImagem(Imagem imagem) {
    run_.ImagemL = dadosDa(imagem).imagemL;
    ouvinte_.verificando(imagem);
    clock_.pause(200);
    CmdLink(port_);
    clock_.pause(200);
    run_.Modo = Modo::Leitura;
    if (imagem != Imagem::Principal) run_.NomeArq = arquivos_.nomeDa(imagem);
    if (run_.operacao == Operacao::Leitura) {
        // Nothing to compare with: no file is read.
        run_.BytesArq.clear();
        run_.QtdBytesArq = 0;
        run_.TimeOut->start();
    } else if (!arquivos_.LeArqBin(arquivos_.caminhoImagem())) {
        return;
    }
    // The main image keeps the values set when the system was chosen or the last run ended.
    if (imagem != Imagem::Principal) arquivos_.carregaImagem(imagem);
    run_.QtdBytesLidos = 0;
    run_.BytesLidos.clear();
    run_.SetorCurto = false;
    run_.iniciaSequencia();
    ouvinte_.imagemIniciada(Modo::Leitura, imagem, run_.NomeArq, run_.QtdSetores);
}

void Verification::VerificaArq() {
    // Later bytes of the last answer are not stored.
    run_.LendoSetor = false;
    if (run_.operacao == Operacao::Leitura) {
        entregaImagem();
        return;
    }

    const std::size_t n = std::min({static_cast<std::size_t>(std::max(run_.QtdBytesArq, 0)),
                                    static_cast<std::size_t>(std::max(run_.QtdBytesLidos, 0)),
                                    run_.BytesArq.size(), run_.BytesLidos.size()});
    // Bytes beyond the shorter list (the fill of the last sector read back, a file longer than
    // the sectors the catalogue names) are not compared. A sector answer that stayed short is a
    // difference in itself: the bytes it lacks were never compared with anything.
    const bool erros =
        run_.SetorCurto ||
        !std::equal(run_.BytesArq.begin(), run_.BytesArq.begin() + n, run_.BytesLidos.begin());

    if (!erros && run_.imagem == Imagem::Principal) {
        diagnostico_.Button2Click();
        VerificacaoL();  // the L image always follows the main image
        return;
    }
    if (!erros && run_.imagem == Imagem::L && arquivos_.temImagemL2()) {
        diagnostico_.Button2Click();
        VerificacaoL2();
        return;
    }
    fimDaVerificacao(erros);
}

void Verification::entregaImagem() {
    const auto setores = static_cast<std::size_t>(std::max(run_.QtdSetores, 0));
    if (run_.SetorCurto || run_.BytesLidos.size() < setores * 256) {
        // A copy with bytes missing is no copy: it ends as a device fallen silent does.
        run_.encerra();
        shell_.termina({Desfecho::SemComunicacao,
                        {MessageId::SemComunicacao, kMsgSemComunicacao, kInformacao}});
        return;
    }
    ouvinte_.imagemLida(run_.imagem, run_.NomeArq, run_.BytesLidos);
    if (run_.imagem == Imagem::Principal) {
        VerificacaoL();
        return;
    }
    if (run_.imagem == Imagem::L && arquivos_.temImagemL2()) {
        VerificacaoL2();
        return;
    }
    arquivos_.carregaImagem(Imagem::Principal);
    run_.encerra();
    // No message, and the device is not told to run: it holds what it held.
    shell_.termina({Desfecho::Lido, {}});
}

void Verification::fimDaVerificacao(bool erros) {
    arquivos_.carregaImagem(Imagem::Principal);
    run_.encerra();
    if (erros) {
        shell_.termina(
            {Desfecho::ComErros,
             {MessageId::VerificadoComErros, " ARQUIVO VERIFICADO COM ERROS ", kInformacao}});
    } else {
        // The device is told to run the system once the operator has read the message.
        shell_.termina(
            {Desfecho::Verificado,
             {MessageId::VerificadoSemErros,
              " ARQUIVO VERIFICADO SEM ERROS \r\r O Tolvan Link será executado. ", kInformacao}});
    }
}

}  // namespace tolvan
