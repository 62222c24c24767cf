#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/Services.h"
#include "app/Vista.h"
#include "services/CatalogueStore.h"
#include "services/Desfecho.h"
#include "services/Dialogs.h"
#include "services/ViewListener.h"
#include "transfer/RunListener.h"

namespace tolvan {

class FrmTolvanLink;

namespace sim {
class TestRig;
}

// The core's one front door, for the window and for tolvan-flash alike: the main window's model
// with the operator's input (clicks and keys, which the core routes by the focus), a read-only
// view of what the window draws, the commands of a run (open, look for a system, open the port,
// connect, choose the system, start an operation, a dry run, give up) written against the
// catalogue and the run, and what the run reports through the RunListener given. Selector mode
// takes the same steps by itself. The window's input runs as events of the window; the other
// commands run as such when the front end calls them inside dispatch.
class Sessao {
  public:
    explicit Sessao(Services services);
    ~Sessao();
    Sessao(const Sessao&) = delete;
    Sessao& operator=(const Sessao&) = delete;

    // Who hears of the connection and the run; none (nullptr) by default.
    void setOuvinte(RunListener* ouvinte);
    // The window that draws the model; none (nullptr) by default.
    void setView(ViewListener* view);
    const Vista& vista() const { return *vista_; }
    // Runs `commands` as one event of the window.
    void dispatch(const std::function<void()>& commands);

    // ---- The window ----
    // Its creation, the selection file considered (the program's entry runs it before the
    // window is shown), and its first activation.
    void cria();
    void ativa();
    // A click on one of the four keys or the close mark, or a press on line `linha` of the
    // display (which takes the focus) or of the pointer column.
    void clique(ControlId controle, int linha = -1);
    // A double click on the display.
    void duploClique(ControlId controle);
    // A key pressed anywhere in the window: the window's keys first (also while the panel is
    // disabled), then the display's own handling when it has the focus.
    void tecla(int virtualKey);
    // Any other way of closing the window; nothing when it has closed.
    void fecha();
    // Centres the window on a screen of the given size, as when it is first shown.
    void centra(int screenWidth, int screenHeight);
    bool encerrada() const;

    // ---- A run without the panel ----
    // Texts, paths and the catalogue, as the first activation has them but never in selector
    // mode and without the port file. False when there is no system: told, and closed.
    bool abre();
    // The catalogue's systems in the order of the list.
    std::vector<CatalogueRow> sistemas();
    // Whether the catalogue has a system whose description contains `sistema` (case counts),
    // as the selector looks for it. When it has none the session ends as the selector's search
    // ends (SistemaInexistente, told).
    bool temSistema(const std::string& sistema);
    // The serial layer's trace and log files, written when the port closes.
    void setTraceFiles(const std::string& trace, const std::string& log);
    // Opens port COM`numero` of the port list. When it does not open the session ends
    // (FalhaDePorta, "Porta de Comunicação Inválida! "): its listener hears so first, before
    // the message.
    bool abrePorta(int numero);
    // The device that the port to open (abrePorta's) maps to in the port list; none when the
    // port list does not name it.
    std::optional<std::string> dispositivo();
    // The main menu's "Conexão".
    void conecta();
    // Once connected: the list built and the system `sistema` names chosen, as selector mode
    // chooses it, which shows the operation menu. False when there is none (told, and closed)
    // or the catalogue cannot give its row (told).
    bool escolheSistema(const std::string& sistema);
    // The chosen system's description, trimmed.
    std::string sistema();
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
    // The operation menu's line for `operacao` confirmed: the run starts, as selector mode
    // starts its own.
    void iniciaOperacao(Operacao operacao);
    // A dry run found everything ready: the session ends (Pronto) with nothing sent.
    void pronto();
    // The front end gives the session up: it ends with `desfecho`, nothing shown, and the
    // listener hears `motivo` as its text.
    void desiste(Desfecho desfecho, const std::string& motivo);
    // The program was told to end from outside (a signal, the console closing): whatever is
    // under way stops after the frame being sent and the session ends (Interrompido, nothing
    // shown, `motivo` for the listener), its port closed and its trace written. Nothing once
    // the session has ended.
    void interrompe(const std::string& motivo);

  private:
    friend class sim::TestRig;

    std::unique_ptr<FrmTolvanLink> form_;
    std::unique_ptr<const Vista> vista_;
};

// The cable message (unplug, OK, plug in again) as the window shows it for the installation at
// `root`: the title and the button its message table gives, or the built-in ones when that cannot
// be read. For a front end that asks once for a bench of devices.
MessageDialog mensagemDoCabo(const std::filesystem::path& root);

// Where an image the catalogue names goes in a backup folder: the row's file name with its
// blanks trimmed and backslashes as folder separators; empty when it would leave the folder.
std::filesystem::path caminhoNaCopia(const std::filesystem::path& pasta, const std::string& nome);

}  // namespace tolvan
