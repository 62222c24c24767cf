#pragma once

#include <string>
#include <vector>

#include "app/Sessao.h"
#include "transfer/RunListener.h"

namespace tolvan::test {

// Records what a front end without a window hears: "connected", "G0 M.BIN 4" (programming or
// reading back, the image, its file and sectors), "3/4" (sectors), then the ending.
class RunRecorder : public RunListener {
  public:
    explicit RunRecorder(Sessao& s) { s.setOuvinte(this); }
    void conectado() override { events.push_back("connected"); }
    void imagemIniciada(Modo modo, Imagem imagem, const std::string& arquivo,
                        int setores) override {
        events.push_back(std::string(modo == Modo::Gravacao ? "G" : "L") +
                         std::to_string(static_cast<int>(imagem)) + " " + arquivo + " " +
                         std::to_string(setores));
    }
    void setor(int atual, int total) override {
        events.push_back(std::to_string(atual) + "/" + std::to_string(total));
    }
    void fim(Desfecho d, const std::string& texto) override {
        desfechos.push_back(d);
        textos.push_back(texto);
    }
    std::vector<std::string> events;
    std::vector<Desfecho> desfechos;
    std::vector<std::string> textos;  // what each ending said
};

}  // namespace tolvan::test
