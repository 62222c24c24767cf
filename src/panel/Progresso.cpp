#include "panel/Progresso.h"

#include "services/Controls.h"
#include "services/LedBar.h"

namespace tolvan {

namespace {

const std::string kConectado = kStatusConectado;

}  // namespace

void LinhaDeStatus::conectando() {
    lblStatus_.setCaption("[Desconectado] Conectando ...");
}

void LinhaDeStatus::conectado() {
    lblStatus_.setCaption(kConectado);
}

void LinhaDeStatus::semConexao() {
    lblStatus_.setCaption("[Desconectado] Erro na Conexão.");
}

void LinhaDeStatus::gravando(Imagem) {
    lblStatus_.setCaption(kConectado + " Gravando ... ");
}

void LinhaDeStatus::verificando(Imagem) {
    lblStatus_.setCaption(kConectado + " Verificando ... ");
}

void LinhaDeStatus::lendoArquivo(std::int64_t lidos) {
    lblStatus_.setCaption(kConectado + " Lendo Arquivo ... " +
                          (lidos > 0 ? std::to_string(lidos) : std::string()));
    lblStatus_.repaint();
}

void LinhaDeStatus::primeiroSetor(int total) {
    setor(1, total);
}

void LinhaDeStatus::setor(int atual, int total) {
    lblStatus_.setCaption(kConectado + " Setor: " + std::to_string(atual) + "/" +
                          std::to_string(total));
}

void LinhaDeStatus::fim(Desfecho desfecho, const std::string&) {
    // An operation that went to its end leaves the connection as it was.
    if (desfecho == Desfecho::Gravado || desfecho == Desfecho::Verificado ||
        desfecho == Desfecho::ComErros)
        lblStatus_.setCaption(kConectado);
}

void BarraDeSetores::imagemPreparada(int setores) {
    iLedBar1_.prepare(setores);
}

void BarraDeSetores::primeiroSetor(int total) {
    setor(1, total);
}

void BarraDeSetores::setor(int atual, int) {
    iLedBar1_.setPosition(atual);
}

void BarraDeSetores::fim(Desfecho desfecho, const std::string&) {
    if (desfecho == Desfecho::Verificado) iLedBar1_.setPosition(iLedBar1_.positionMax());
}

void LegendaSelecao::conectando() {
    lblMsg2_.setCaption("Conectando ... ");
}

void LegendaSelecao::semConexao() {
    lblMsg2_.setCaption("Erro na Conexão.");
}

void LegendaSelecao::gravando(Imagem) {
    lblMsg2_.setCaption("Gravando ... ");
}

void LegendaSelecao::verificando(Imagem imagem) {
    // The L images keep what the main image's verification showed.
    if (imagem != Imagem::Principal) return;
    iLedBar1_.setPosition(0);
    lblMsg2_.setCaption("Verificando ... ");
}

void LegendaSelecao::lendoArquivo(std::int64_t lidos) {
    if (lidos == 0) {
        barra_ = 0;
        return;
    }
    if (++barra_ > 100) barra_ = 0;
    iLedBar1_.setPosition(barra_);
}

}  // namespace tolvan
