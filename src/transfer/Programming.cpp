#include "transfer/Programming.h"

#include "app/FrmTolvanLink.h"
#include "link/Frames.h"
#include "texts/Mensagem.h"

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
    f_.ImagemL = dadosDa(imagem).imagemL;
    f_.lblStatus.setCaption("[Conectado] Gravando ... ");
    if (f_.ModoSelecao) f_.lblMsg2.setCaption("Gravando ... ");
    // The device is greeted before each image; its answer is not looked at.
    f_.svc.clock.pause(200);
    CmdLink(f_.ComPort);
    f_.svc.clock.pause(200);
    // The main image keeps the values set when the system was chosen or the last run ended.
    if (imagem != Imagem::Principal) f_.arquivos.carregaImagem(imagem);
    f_.Modo = "Gravacao";
    f_.Passo = 0;
    f_.BytesBloco = 0;
    f_.SetorAtual = 1;
    f_.FimComandos = false;
    f_.TimerCmd->start();
}

void Programming::enviaByte(std::uint8_t b) {
    const char c = static_cast<char>(b);
    f_.ComPort.sendString(std::string_view(&c, 1));
}

void Programming::GravaArq() {
    ImageFiles& arquivo = f_.arquivos;
    // Nothing stands open when the image could not be opened or the run was abandoned.
    if (!arquivo.isOpen()) return;

    MandaStr(f_.ComPort, "000306");
    enviaByte(f_.ByteGuardado);
    int contador = 0;
    for (bool feito = false; !feito;) {
        const ImageFiles::Leitura r = arquivo.le();
        if (r.estado == ImageFiles::Leitura::Erro) {
            arquivo.falhaDeLeitura();
            return;
        }
        // The held byte was the file's last: the frame is the fill alone.
        const bool fimDoArquivo = r.estado == ImageFiles::Leitura::Fim || r.ultimo;
        if (fimDoArquivo) {
            if (r.estado == ImageFiles::Leitura::Byte) {
                enviaByte(r.valor);
                ++contador;
            }
            feito = true;
            f_.Enviando = false;
            arquivo.fecha();
            while (contador < kBytesPorSetor) {
                ++contador;
                enviaByte(0x00);
            }
            proximaImagem();
        } else {
            enviaByte(r.valor);
            ++contador;
            if (contador == kBytesPorSetor) {
                // The sector's last byte opens the next frame again.
                f_.ByteGuardado = r.valor;
                contador = 0;
                feito = true;
                ++f_.SetorAtual;
                f_.TimeOut->start();
            }
            f_.lblStatus.setCaption("[Conectado] Setor: " + std::to_string(f_.SetorAtual) + "/" +
                                    std::to_string(f_.QtdSetores));
            f_.iLedBar1.setPosition(f_.SetorAtual);
        }
    }
    f_.svc.clock.pause(400);
}

void Programming::proximaImagem() {
    if (f_.Endereco2 == kEnderecoPrincipal) {
        GravacaoL();  // the L image always follows the main image
    } else if (f_.Endereco2 == kEnderecoL && f_.arquivos.temImagemL2()) {
        GravacaoL2();
    } else {
        fimDaGravacao();
    }
}

void Programming::fimDaGravacao() {
    f_.arquivos.carregaImagem(Imagem::Principal);
    // Line 2 of the operation menu is "Gravação"; line 1 goes on to verification.
    if (f_.lbxVisor.itemIndex() == 2) {
        // The run is over: a set-up step still due (the last image went out in one frame)
        // must not start the time-out and report a silence after success.
        f_.FimComandos = true;
        f_.TimerCmd->stop();
        f_.TimeOut->stop();
        f_.lblStatus.setCaption("[Conectado]");
        f_.Mensagem(" FIM DA GRAVAÇÃO \r\r O Tolvan Link será executado. ", kInformacao, kBotaoOk);
        CmdExecuta(f_.ComPort);
        f_.painel.AtivaFuncoes(true);
        f_.telas.MontaTela0();
    } else {
        f_.verificacao.Verificacao();
    }
}

}  // namespace tolvan
