#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "app/FrmTolvanLink.h"
#include "app/Vista.h"
#include "services/ViewListener.h"

namespace tolvan {

// The core's one front door, for the window and for tolvan-flash alike: the main window's model
// with the operator's input (clicks and keys, which the core routes by the focus), a read-only
// view of what the window draws, the commands of a run without the panel (open, look for a
// system, open the port, connect, choose the system, start an operation, end) and what the run
// reports through the RunListener given. The window's input runs as events of the window; the
// other commands run as such when the front end calls them inside dispatch.
class Sessao {
  public:
    explicit Sessao(Services services);
    Sessao(const Sessao&) = delete;
    Sessao& operator=(const Sessao&) = delete;

    // Who hears of the connection and the run; none (nullptr) by default.
    void setOuvinte(RunListener* ouvinte) { form_.setRunListener(ouvinte); }
    // The window that draws the model; none (nullptr) by default.
    void setView(ViewListener* view) { form_.setView(view); }
    const Vista& vista() const { return vista_; }
    // Runs `commands` as one event of the window.
    template <typename Handler>
    void dispatch(Handler&& commands) {
        form_.dispatch(std::forward<Handler>(commands));
    }

    // ---- The window ----
    // Its creation, the selection file considered (the program's entry runs it before the
    // window is shown), and its first activation.
    void cria() { form_.FormCreate(); }
    void ativa();
    // A click on one of the four keys or the close mark, or a press on line `linha` of the
    // display (which takes the focus) or of the pointer column.
    void clique(ControlId controle, int linha = -1);
    // A double click on the display.
    void duploClique(ControlId controle);
    // A key pressed anywhere in the window: the window's keys first (also while the panel is
    // disabled), then the display's own handling when it has the focus.
    void tecla(int virtualKey);
    // Any other way of closing the window.
    void fecha();
    // Centres the window on a screen of the given size, as when it is first shown.
    void centra(int screenWidth, int screenHeight) { form_.centra(screenWidth, screenHeight); }

    // Texts, paths and the catalogue, as the first activation has them but never in selector
    // mode and without the port file. False when there is no system: told, and closed.
    bool abre();
    // Whether the system list has a line that contains `sistema`, looked for as the selector
    // looks for it; the main menu stays. When it has none the session ends as the selector's
    // search ends (SistemaInexistente, told).
    bool temSistema(const std::string& sistema);
    // Opens port COM`numero` of the port list. When it does not open the session ends
    // (FalhaDePorta, "Porta de Comunicação Inválida! "): its listener hears so first, before
    // the message.
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
    // A dry run found everything ready: the session ends (Pronto) with nothing sent.
    void pronto();
    // The front end gives the session up: it ends with `desfecho`, nothing shown, and the
    // listener hears `motivo` as its text.
    void desiste(Desfecho desfecho, const std::string& motivo);
    bool encerrada() const { return form_.closed(); }

    // The catalogue the session opened, and the serial port it talks on.
    CatalogueQuery& catalogo() { return form_.QrTolvanLink; }
    SerialPort& linha() { return form_.ComPort; }

  private:
    friend class sim::TestRig;

    FrmTolvanLink form_;
    Vista vista_;
};

// The cable message (unplug, OK, plug in again) as the window shows it for the installation at
// `root`: the title and the button its message table gives, or the built-in ones when that cannot
// be read. For a front end that asks once for a bench of devices.
MessageDialog mensagemDoCabo(const std::filesystem::path& root);

}  // namespace tolvan
