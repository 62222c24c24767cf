#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "services/Desfecho.h"
#include "transfer/Execucao.h"

namespace tolvan {

// What a connection and a transfer run report: their only output besides the frames they send.
// The panel's status line, its LED bar and selector mode's caption draw it, and a front end
// without a window hears it. Every method does nothing unless overridden.
class RunListener {
  public:
    virtual ~RunListener() = default;
    // The handshake starts polling.
    virtual void conectando() {}
    // The device answered the link poll.
    virtual void conectado() {}
    // The handshake ended without a connection (its ending follows with fim).
    virtual void semConexao() {}
    // The image of the catalogue's current row to be transferred next has `setores` sectors.
    virtual void imagemPreparada(int /*setores*/) {}
    // Programming of `imagem` begins, before the device is greeted.
    virtual void gravando(Imagem) {}
    // Reading back `imagem` begins, before the device is greeted.
    virtual void verificando(Imagem) {}
    // The image's file is being read for the comparison: `lidos` bytes so far (0 as it opens,
    // then every 100).
    virtual void lendoArquivo(std::int64_t /*lidos*/) {}
    // An image's transfer begins: programming (Modo::Gravacao) or reading back (Modo::Leitura)
    // of `imagem`, its file name and its sector count.
    virtual void imagemIniciada(Modo, Imagem, const std::string& /*arquivo*/, int /*setores*/) {}
    // An image read back whole by Operacao::Leitura: the bytes the device sent for its sectors.
    virtual void imagemLida(Imagem, const std::string& /*arquivo*/,
                            const std::vector<std::uint8_t>& /*bytes*/) {}
    // Programming sends the first sector frame of an image: sector 1 of `total` is under way.
    virtual void primeiroSetor(int /*total*/) {}
    // The sector under way moved on: "Setor: n/m".
    virtual void setor(int /*atual*/, int /*total*/) {}
    // The connection or the run ended; `texto` is the message the operator is shown for it.
    virtual void fim(Desfecho, const std::string& /*texto*/) {}
};

// Every listener of the run, in the order they were added, and last the front end's (none by
// default). What the run reports goes to each.
class Ouvintes final : public RunListener {
  public:
    // A listener added again still hears each event once.
    void adiciona(RunListener& ouvinte) {
        if (std::find(ouvintes_.begin(), ouvintes_.end(), &ouvinte) == ouvintes_.end())
            ouvintes_.push_back(&ouvinte);
    }
    void setFrente(RunListener* frente) { frente_ = frente; }

    void conectando() override {
        todos([](RunListener& o) { o.conectando(); });
    }
    void conectado() override {
        todos([](RunListener& o) { o.conectado(); });
    }
    void semConexao() override {
        todos([](RunListener& o) { o.semConexao(); });
    }
    void imagemPreparada(int setores) override {
        todos([&](RunListener& o) { o.imagemPreparada(setores); });
    }
    void gravando(Imagem imagem) override {
        todos([&](RunListener& o) { o.gravando(imagem); });
    }
    void verificando(Imagem imagem) override {
        todos([&](RunListener& o) { o.verificando(imagem); });
    }
    void lendoArquivo(std::int64_t lidos) override {
        todos([&](RunListener& o) { o.lendoArquivo(lidos); });
    }
    void imagemIniciada(Modo modo, Imagem imagem, const std::string& arquivo,
                        int setores) override {
        todos([&](RunListener& o) { o.imagemIniciada(modo, imagem, arquivo, setores); });
    }
    void imagemLida(Imagem imagem, const std::string& arquivo,
                    const std::vector<std::uint8_t>& bytes) override {
        todos([&](RunListener& o) { o.imagemLida(imagem, arquivo, bytes); });
    }
    void primeiroSetor(int total) override {
        todos([&](RunListener& o) { o.primeiroSetor(total); });
    }
    void setor(int atual, int total) override {
        todos([&](RunListener& o) { o.setor(atual, total); });
    }
    void fim(Desfecho desfecho, const std::string& texto) override {
        todos([&](RunListener& o) { o.fim(desfecho, texto); });
    }

  private:
    template <typename Evento>
    void todos(Evento&& evento) {
        for (RunListener* o : ouvintes_)
            evento(*o);
        if (frente_) evento(*frente_);
    }

    std::vector<RunListener*> ouvintes_;
    RunListener* frente_ = nullptr;
};

}  // namespace tolvan
