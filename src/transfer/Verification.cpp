#include "transfer/Verification.h"

#include <algorithm>

#include "app/FrmTolvanLink.h"
#include "link/Frames.h"
#include "texts/Mensagem.h"

namespace tolvan {

namespace {

constexpr const char* kVerificando = "[Conectado] Verificando ... ";

}  // namespace

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
    const DadosImagem& dados = dadosDa(imagem);
    f_.ImagemL = dados.imagemL;
    if (imagem == Imagem::Principal) {
        // The L images keep the status that the comparison of the previous image set.
        f_.lblStatus.setCaption(kVerificando);
        if (f_.ModoSelecao) {
            f_.iLedBar1.setPosition(0);
            f_.lblMsg2.setCaption("Verificando ... ");
        }
    }
    f_.svc.clock.pause(200);
    CmdLink(f_.ComPort);
    f_.svc.clock.pause(200);
    f_.Modo = "Leitura";
    if (imagem != Imagem::Principal) f_.NomeArq = f_.QrTolvanLink.asString(dados.colunaArquivo);
    if (!f_.arquivos.LeArqBin(f_.arquivos.caminhoImagem())) return;
    // The main image keeps the values set when the system was chosen or the last run ended.
    if (imagem != Imagem::Principal) f_.arquivos.carregaImagem(imagem);
    f_.Passo = 0;
    f_.BytesBloco = 0;
    f_.SetorAtual = 1;
    f_.QtdBytesLidos = 0;
    f_.BytesLidos.clear();
    f_.FimComandos = false;
    f_.TimerCmd->start();
}

void Verification::VerificaArq() {
    // Later bytes of the last answer are not stored.
    f_.LendoSetor = false;

    const std::size_t n = std::min({static_cast<std::size_t>(std::max(f_.QtdBytesArq, 0)),
                                    static_cast<std::size_t>(std::max(f_.QtdBytesLidos, 0)),
                                    f_.BytesArq.size(), f_.BytesLidos.size()});
    // Bytes beyond the shorter list (the fill of the last sector, a short read) are not compared.
    const bool erros =
        !std::equal(f_.BytesArq.begin(), f_.BytesArq.begin() + n, f_.BytesLidos.begin());

    if (!erros && f_.Endereco2 == kEnderecoPrincipal) {
        f_.lblStatus.setCaption(kVerificando);
        f_.diagnostico.Button2Click();
        VerificacaoL();  // the L image always follows the main image
        return;
    }
    if (!erros && f_.Endereco2 == kEnderecoL && f_.arquivos.temImagemL2()) {
        f_.lblStatus.setCaption(kVerificando);
        f_.diagnostico.Button2Click();
        VerificacaoL2();
        return;
    }
    fimDaVerificacao(erros);
}

void Verification::fimDaVerificacao(bool erros) {
    f_.arquivos.carregaImagem(Imagem::Principal);
    f_.painel.AtivaFuncoes(true);
    f_.lblStatus.setCaption("[Conectado]");
    if (erros) {
        f_.TimeOut->stop();
        f_.Mensagem(" ARQUIVO VERIFICADO COM ERROS ", kInformacao, kBotaoOk);
        // The operation menu stays, for another operation on the same system.
        f_.focaVisor();
    } else {
        f_.iLedBar1.setPosition(f_.iLedBar1.positionMax());
        f_.TimeOut->stop();
        f_.Mensagem(" ARQUIVO VERIFICADO SEM ERROS \r\r O Tolvan Link será executado. ",
                    kInformacao, kBotaoOk);
        CmdExecuta(f_.ComPort);
        f_.telas.MontaTela0();
    }
    if (f_.ModoSelecao) f_.Close();
}

}  // namespace tolvan
