#include "transfer/Execucao.h"

namespace tolvan {

void Execucao::iniciaSequencia() {
    Passo = 0;
    BytesBloco = 0;
    SetorAtual = 1;
    FimComandos = false;
    TimerCmd->start();
}

void Execucao::encerra(tolvan::Modo depois) {
    TimerCmd->stop();
    TimerRead->stop();
    TimeOut->stop();
    FimComandos = true;
    Enviando = false;
    LendoSetor = false;
    CabecalhoRestante = 0;
    Modo = depois;
    // Closing an abandoned image ignores any error of its own.
    ArqBin.fecha();
}

bool Execucao::emCurso() const {
    return Enviando || LendoSetor || TimerCmd->running() || TimerRead->running() ||
           TimeOut->running();
}

}  // namespace tolvan
