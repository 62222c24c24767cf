#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "app/FrmTolvanLink.h"

namespace tolvan {

// The core's front door for a front end without the panel: the window's model with commands (open,
// look for a system, open the port, connect, choose the system, start an operation, end) and
// what the run reports through the RunListener given. Every command runs as an event of the
// window (see dispatch) when the front end calls it from its event loop.
class Sessao {
  public:
    explicit Sessao(Services services) : form_(std::move(services)) {}

    // Who hears of the connection and the run; none (nullptr) by default.
    void setOuvinte(RunListener* ouvinte) { form_.setRunListener(ouvinte); }
    // Runs `commands` as one event of the window.
    template <typename Handler>
    void dispatch(Handler&& commands) {
        form_.dispatch(std::forward<Handler>(commands));
    }

    // Texts, paths and the catalogue, as the first activation has them but never in selector
    // mode and without the port file. False when there is no system: told, and closed.
    bool abre();
    // Whether the system list has a line that contains `sistema`, looked for as the selector
    // looks for it; the main menu stays.
    bool temSistema(const std::string& sistema);
    // Opens port COM`numero` of the port list; false when it does not open (nothing is said).
    bool abrePorta(int numero);
    int numPorta() const { return form_.portas.NumPorta; }
    // The main menu's "Conexão".
    void conecta();
    // Once connected: the line of the system list that contains `sistema` chosen, which shows
    // the operation menu. False when there is none (told, and closed) or the catalogue cannot
    // give its row (told).
    bool escolheSistema(const std::string& sistema);
    // What the operation checks before its first frame, once the system is chosen: every image
    // the row names has a count the frames carry and, as `operacao` will open it, a file. False
    // when not (told, with the ending the operation would have).
    bool confereOperacao(Operacao operacao);
    // The chosen row's images, in the order a run takes them: the file name (trimmed), where
    // the file lies, and the sector count.
    std::vector<Imagem> imagens();
    std::string nomeDa(Imagem imagem);
    std::filesystem::path arquivoDa(Imagem imagem);
    std::int64_t setoresDa(Imagem imagem);
    // The installation's folder of image files.
    std::filesystem::path pastaBin() const;
    // The operation menu's line for `operacao` confirmed: the run starts.
    void iniciaOperacao(Operacao operacao);
    // Ends the session: `texto` shown as an error first (none when empty), then the window
    // closes.
    void encerra(const std::string& texto = {});
    bool encerrada() const { return form_.closed(); }

    // The catalogue the session opened, and the serial port it talks on.
    CatalogueQuery& catalogo() { return form_.QrTolvanLink; }
    SerialPort& linha() { return form_.ComPort; }

  private:
    FrmTolvanLink form_;
};

}  // namespace tolvan
