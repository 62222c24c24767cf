#include "link/Receiver.h"

#include "app/FrmTolvanLink.h"
#include "link/Frames.h"
#include "texts/Mensagem.h"
#include "texts/Trim.h"

namespace tolvan {

void Receiver::ComPortTriggerAvail(std::uint16_t count) {
    FrmTolvanLink& f = f_;
    f.TimerLink->stop();
    // A sector must arrive whole within the time-out of its request.
    if (!f.LendoSetor) f.TimeOut->stop();

    std::string textoBytes;
    for (std::uint16_t k = 0; k < count; ++k) {
        recebe(f.ComPort.readChar(), textoBytes);
    }
    f.diagnostico.registraRecepcao(textoBytes);

    if (!f.FimComandos) f.TimerCmd->start();

    // Each test sees what the one before may have changed: the handshake empties Modo, and
    // VerificaArq or GravaArq may start the next image's sequence.
    if (f.Modo == "Link" && f.Conectando) f.conexao.avaliaResposta(textoBytes);
    if (f.Modo == "Leitura" && f.BytesBloco > kLimiteSetorCompleto) {
        if (f.SetorAtual < f.QtdSetores) {
            f.TimerRead->start();
            f.TimeOut->stop();
        } else if (f.BytesBloco >= kBytesPorSetor) {
            // The last sector is compared only once its answer is whole.
            f.TimerRead->stop();
            comparaUltimoSetor();
        } else {
            // Its last chunk is still on the line: the comparison waits for TimerRead, the
            // time any sector gets before the next request.
            f.TimerRead->start();
            f.TimeOut->stop();
        }
    }
    if (f.Modo == "Gravacao" && f.Enviando) f.gravacao.GravaArq();
}

void Receiver::recebe(std::uint8_t byte, std::string& textoBytes) {
    FrmTolvanLink& f = f_;
    if (f.LendoSetor) {
        if (f.CabecalhoRestante > 0) {
            // The head 01 03 09 of the answer to CmdLeSetor, however the events split it.
            --f.CabecalhoRestante;
        } else {
            ++f.BytesBloco;
            ++f.QtdBytesLidos;
            // Entry QtdBytesLidos; anything left beyond it from an earlier read goes.
            f.BytesLidos.resize(static_cast<std::size_t>(f.QtdBytesLidos - 1));
            f.BytesLidos.push_back(byte);
            f.diagnostico.adicionaLido(f.QtdBytesLidos, byte);
        }
    }
    textoBytes += ByteHex(byte);
    textoBytes += ' ';
}

void Receiver::TimerCmdTimer() {
    FrmTolvanLink& f = f_;
    f.TimerCmd->stop();
    const bool leitura = f.Modo == "Leitura";
    if (!leitura && f.Modo != "Gravacao") return;
    f.TimeOut->start();
    passo(++f.Passo, leitura);
}

// Step k of a transfer's sequence: the same frames for reading and programming but for the
// second address and the count (their own command codes) and the data phase of step 5.
void Receiver::passo(int passo, bool leitura) {
    FrmTolvanLink& f = f_;
    switch (passo) {
        case 1:
            CmdNome(f.ComPort, f.NomeArq);
            break;
        case 2:
            CmdEndereco1(f.ComPort, f.Endereco1);
            break;
        case 3:
            if (leitura) {
                CmdEndereco2Leitura(f.ComPort, f.Endereco2);
            } else {
                CmdEndereco2Gravacao(f.ComPort, f.Endereco2);
            }
            break;
        case 4:
            if (leitura) {
                CmdSetoresLeitura(f.ComPort, f.QtdSetores);
            } else {
                CmdSetoresGravacao(f.ComPort, f.QtdSetores);
            }
            break;
        case 5:
            if (leitura) {
                CmdLeSetor(f.ComPort);
                f.LendoSetor = true;
                f.CabecalhoRestante = kTamanhoCabecalhoSetor;
            } else {
                f.Enviando = true;
                // A file that cannot be opened ends the run there: nothing of it is sent.
                if (f.arquivos.AbreArq(Trim(f.DirPrograma + "\\bin\\" + f.NomeArq))) {
                    f.gravacao.GravaArq();
                }
            }
            break;
        case 6:
            f.FimComandos = true;
            break;
        default:
            break;
    }
}

void Receiver::comparaUltimoSetor() {
    f_.Modo.clear();
    f_.verificacao.VerificaArq();
}

void Receiver::TimerReadTimer() {
    FrmTolvanLink& f = f_;
    f.TimerRead->stop();
    if (f.Modo != "Leitura") return;
    // The last sector came short of 256 bytes and had its time: compare what came.
    if (f.SetorAtual >= f.QtdSetores) {
        comparaUltimoSetor();
        return;
    }
    f.TimeOut->start();
    f.LendoSetor = true;
    f.BytesBloco = 0;
    ++f.SetorAtual;
    CmdLeSetor(f.ComPort);
    f.CabecalhoRestante = kTamanhoCabecalhoSetor;
    f.lblStatus.setCaption("[Conectado] Setor: " + std::to_string(f.SetorAtual) + "/" +
                           std::to_string(f.QtdSetores));
    f.iLedBar1.setPosition(f.SetorAtual);
}

void Receiver::TimeOutTimer() {
    FrmTolvanLink& f = f_;
    f.TimeOut->stop();
    f.FimComandos = true;
    f.Enviando = false;
    // Closing the abandoned image ignores any error of its own.
    if (f.Modo == "Gravacao") f.arquivos.fecha();
    // The operation is over: bytes that still come for it (also while the message below is
    // open) are neither stored nor acted on, and nothing more of it is sent.
    f.Modo.clear();
    f.LendoSetor = false;
    f.CabecalhoRestante = 0;
    f.TimerCmd->stop();
    f.TimerRead->stop();

    f.Mensagem(kMsgSemComunicacao, kInformacao, kBotaoOk);
    f.painel.AtivaFuncoes(true);
    f.telas.MontaTela0();
    if (f.ModoSelecao) f.Close();
}

}  // namespace tolvan
