#include "transfer/Programming.h"

#include "link/Frames.h"
#include "link/SerialPort.h"
#include "services/Clock.h"
#include "services/Desfecho.h"
#include "services/Shell.h"
#include "texts/Mensagem.h"
#include "transfer/ImageFiles.h"
#include "transfer/RunListener.h"
#include "transfer/Verification.h"

namespace tolvan {

void Programming::Gravacao() {
    iniciaImagem(Imagem::Principal);
}
void Programming::GravacaoL() {
    iniciaImagem(Imagem::L);
}
void Programming::GravacaoL2() {
    iniciaImagem(Imagem::L2);
}

void Programming::iniciaImagem(Imagem imagem) {
    run_.ImagemL = dadosDa(imagem).imagemL;
    ouvinte_.gravando(imagem);
    // The device is greeted before each image; its answer is not looked at.
    clock_.pause(200);
    CmdLink(port_);
    clock_.pause(200);
    // The main image keeps the values set when the system was chosen or the last run ended.
    if (imagem != Imagem::Principal) arquivos_.carregaImagem(imagem);
    run_.Modo = Modo::Gravacao;
    run_.iniciaSequencia();
    ouvinte_.imagemIniciada(Modo::Gravacao, imagem, run_.NomeArq, run_.QtdSetores);
}

void Programming::enviaByte(std::uint8_t b) {
    const char c = static_cast<char>(b);
    port_.sendString(std::string_view(&c, 1));
}

void Programming::GravaArq() {
    ArquivoBinario& arquivo = run_.ArqBin;
    // Nothing stands open when the image could not be opened or the run was abandoned.
    if (!arquivo.isOpen()) return;

    MandaStr(port_, "000306");
    enviaByte(run_.ByteGuardado);
    int contador = 0;
    for (bool feito = false; !feito;) {
        const ArquivoBinario::Leitura r = arquivo.le();
        if (r.estado == ArquivoBinario::Leitura::Erro) {
            arquivos_.falhaDeLeitura();
            return;
        }
        // The held byte was the file's last: the frame is the fill alone.
        const bool fimDoArquivo = r.estado == ArquivoBinario::Leitura::Fim || r.ultimo;
        if (fimDoArquivo) {
            if (r.estado == ArquivoBinario::Leitura::Byte) {
                enviaByte(r.valor);
                ++contador;
            }
            feito = true;
            run_.Enviando = false;
            arquivo.fecha();
            while (contador < kBytesPorSetor) {
                ++contador;
                enviaByte(0x00);
            }
            proximaImagem();
        } else {
            enviaByte(r.valor);
            ++contador;
            if (contador == 1 && run_.SetorAtual == 1) ouvinte_.primeiroSetor(run_.QtdSetores);
            if (contador == kBytesPorSetor) {
                // The sector's last byte opens the next frame again.
                run_.ByteGuardado = r.valor;
                contador = 0;
                feito = true;
                ++run_.SetorAtual;
                run_.TimeOut->start();
                ouvinte_.setor(run_.SetorAtual, run_.QtdSetores);
            }
        }
    }
    clock_.pause(400);
}

void Programming::proximaImagem() {
    if (run_.imagem == Imagem::Principal) {
        GravacaoL();  // the L image always follows the main image
    } else if (run_.imagem == Imagem::L && arquivos_.temImagemL2()) {
        GravacaoL2();
    } else {
        fimDaGravacao();
    }
}

void Programming::fimDaGravacao() {
    arquivos_.carregaImagem(Imagem::Principal);
    if (run_.operacao == Operacao::Gravacao) {
        // The run is over (a set-up step still due, when the last image went out in one frame,
        // must not start the time-out and report a silence after success); its mode stays.
        run_.encerra(Modo::Gravacao);
        // The device is told to run the system once the operator has read the message.
        shell_.termina({Desfecho::Gravado,
                        {MessageId::FimDaGravacao,
                         " FIM DA GRAVAÇÃO \r\r O Tolvan Link será executado. ", kInformacao}});
    } else {
        verificacao_.Verificacao();
    }
}

}  // namespace tolvan
