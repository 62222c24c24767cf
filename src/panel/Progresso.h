#pragma once

#include <cstdint>
#include <string>

#include "transfer/RunListener.h"

namespace tolvan {

class Label;
class LedBar;

// What the status line says of a connection.
inline constexpr const char* kStatusConectado = "[Conectado]";

// The status line as the run reports: connecting, connected, the image being read, programmed
// or verified, the sector.
class LinhaDeStatus final : public RunListener {
  public:
    explicit LinhaDeStatus(Label& lblStatus) : lblStatus_(lblStatus) {}

    void conectando() override;
    void conectado() override;
    void semConexao() override;
    void gravando(Imagem) override;
    void verificando(Imagem) override;
    void lendoArquivo(std::int64_t lidos) override;
    void primeiroSetor(int total) override;
    void setor(int atual, int total) override;
    void fim(Desfecho desfecho, const std::string& texto) override;

  private:
    Label& lblStatus_;
};

// The LED bar: prepared for each image, at the sector under way, full when everything was
// verified.
class BarraDeSetores final : public RunListener {
  public:
    explicit BarraDeSetores(LedBar& iLedBar1) : iLedBar1_(iLedBar1) {}

    void imagemPreparada(int setores) override;
    void primeiroSetor(int total) override;
    void setor(int atual, int total) override;
    void fim(Desfecho desfecho, const std::string& texto) override;

  private:
    LedBar& iLedBar1_;
};

// Selector mode's caption over the bar, and the bar going round while a file is read.
class LegendaSelecao final : public RunListener {
  public:
    LegendaSelecao(Label& lblMsg2, LedBar& iLedBar1) : lblMsg2_(lblMsg2), iLedBar1_(iLedBar1) {}

    void conectando() override;
    void semConexao() override;
    void gravando(Imagem) override;
    void verificando(Imagem imagem) override;
    void lendoArquivo(std::int64_t lidos) override;

  private:
    Label& lblMsg2_;
    LedBar& iLedBar1_;
    int barra_ = 0;  // where the bar goes round to while the file is read
};

}  // namespace tolvan
