#include "transfer/Receiver.h"

#include "link/EstadoConexao.h"
#include "link/Frames.h"
#include "link/SerialPort.h"
#include "services/Desfecho.h"
#include "services/Shell.h"
#include "texts/Mensagem.h"
#include "texts/Trim.h"
#include "transfer/DiagnosticLists.h"
#include "transfer/ImageFiles.h"
#include "transfer/Programming.h"
#include "transfer/RunListener.h"
#include "transfer/Verification.h"

namespace tolvan {

void Receiver::ComPortTriggerAvail(std::uint16_t count) {
    conn_.TimerLink->stop();
    // A sector must arrive whole within the time-out of its request.
    if (!run_.LendoSetor) run_.TimeOut->stop();

    std::string textoBytes;
    for (std::uint16_t k = 0; k < count; ++k) {
        recebe(port_.readChar(), textoBytes);
    }
    destinos_.diagnostico.registraRecepcao(textoBytes);

    if (!run_.FimComandos) run_.TimerCmd->start();

    // Each test sees what the one before may have changed: the handshake empties Modo, and
    // VerificaArq or GravaArq may start the next image's sequence.
    if (run_.Modo == Modo::Link && conn_.Conectando) destinos_.conexao.avaliaResposta(textoBytes);
    if (run_.Modo == Modo::Leitura && run_.BytesBloco > kLimiteSetorCompleto) {
        if (run_.SetorAtual < run_.QtdSetores) {
            run_.TimerRead->start();
            run_.TimeOut->stop();
        } else if (run_.BytesBloco >= kBytesPorSetor) {
            // The last sector is compared only once its answer is whole.
            run_.TimerRead->stop();
            comparaUltimoSetor();
        } else {
            // Its last chunk is still on the line: the comparison waits for TimerRead, the
            // time any sector gets before the next request.
            run_.TimerRead->start();
            run_.TimeOut->stop();
        }
    }
    if (run_.Modo == Modo::Gravacao && run_.Enviando) destinos_.gravacao.GravaArq();
}

void Receiver::recebe(std::uint8_t byte, std::string& textoBytes) {
    if (run_.LendoSetor) {
        if (run_.CabecalhoRestante > 0) {
            // The head 01 03 09 of the answer to CmdLeSetor, however the events split it.
            --run_.CabecalhoRestante;
        } else {
            ++run_.BytesBloco;
            ++run_.QtdBytesLidos;
            // Entry QtdBytesLidos; anything left beyond it from an earlier read goes.
            run_.BytesLidos.resize(static_cast<std::size_t>(run_.QtdBytesLidos - 1));
            run_.BytesLidos.push_back(byte);
            destinos_.diagnostico.adicionaLido(run_.QtdBytesLidos, byte);
        }
    }
    textoBytes += ByteHex(byte);
    textoBytes += ' ';
}

void Receiver::TimerCmdTimer() {
    run_.TimerCmd->stop();
    const bool leitura = run_.Modo == Modo::Leitura;
    if (!leitura && run_.Modo != Modo::Gravacao) return;
    run_.TimeOut->start();
    passo(++run_.Passo, leitura);
}

// Step k of a transfer's sequence: the same frames for reading and programming but for the
// second address and the count (their own command codes) and the data phase of step 5.
void Receiver::passo(int passo, bool leitura) {
    switch (passo) {
        case 1:
            CmdNome(port_, run_.NomeArq);
            break;
        case 2:
            CmdEndereco1(port_, run_.Endereco1);
            break;
        case 3:
            if (leitura) {
                CmdEndereco2Leitura(port_, run_.Endereco2);
            } else {
                CmdEndereco2Gravacao(port_, run_.Endereco2);
            }
            break;
        case 4:
            if (leitura) {
                CmdSetoresLeitura(port_, run_.QtdSetores);
            } else {
                CmdSetoresGravacao(port_, run_.QtdSetores);
            }
            break;
        case 5:
            if (leitura) {
                CmdLeSetor(port_);
                run_.LendoSetor = true;
                run_.CabecalhoRestante = kTamanhoCabecalhoSetor;
            } else {
                run_.Enviando = true;
                // A file that cannot be opened ends the run there: nothing of it is sent.
                if (destinos_.arquivos.AbreArq(Trim(destinos_.arquivos.caminhoImagem()))) {
                    destinos_.gravacao.GravaArq();
                }
            }
            break;
        case 6:
            run_.FimComandos = true;
            break;
        default:
            break;
    }
}

void Receiver::comparaUltimoSetor() {
    notaSetorCurto();
    run_.Modo = Modo::Nenhum;
    destinos_.verificacao.VerificaArq();
}

void Receiver::notaSetorCurto() {
    // The sector had its pause and is still short: what is missing shifts or ends the bytes
    // read back, and no comparison may pass over it.
    if (run_.BytesBloco < kBytesPorSetor) run_.SetorCurto = true;
}

void Receiver::TimerReadTimer() {
    run_.TimerRead->stop();
    if (run_.Modo != Modo::Leitura) return;
    // The last sector came short of 256 bytes and had its time: compare what came.
    if (run_.SetorAtual >= run_.QtdSetores) {
        comparaUltimoSetor();
        return;
    }
    notaSetorCurto();
    run_.TimeOut->start();
    run_.LendoSetor = true;
    run_.BytesBloco = 0;
    ++run_.SetorAtual;
    CmdLeSetor(port_);
    run_.CabecalhoRestante = kTamanhoCabecalhoSetor;
    ouvinte_.setor(run_.SetorAtual, run_.QtdSetores);
}

void Receiver::TimeOutTimer() {
    run_.encerra();
    shell_.termina(
        {Desfecho::SemComunicacao, {MessageId::SemComunicacao, kMsgSemComunicacao, kInformacao}});
}

void Receiver::conectando() {
    ouvinte_.conectando();
    // No received byte is taken as sector data from here on.
    run_.encerra(Modo::Link);
}

void Receiver::conectado() {
    run_.Modo = Modo::Nenhum;
    ouvinte_.conectado();
}

}  // namespace tolvan
