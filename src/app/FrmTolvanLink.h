#pragma once

#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/AboutBox.h"
#include "app/Splash.h"
#include "link/EstadoConexao.h"
#include "link/Handshake.h"
#include "link/PortOpening.h"
#include "link/SerialPort.h"
#include "panel/Navegacao.h"
#include "panel/Panel.h"
#include "panel/Progresso.h"
#include "panel/Screens.h"
#include "panel/SystemList.h"
#include "services/CatalogueQuery.h"
#include "services/Clock.h"
#include "services/Controls.h"
#include "services/Desfecho.h"
#include "services/Desktop.h"
#include "services/Dialogs.h"
#include "services/LedBar.h"
#include "services/PathResolver.h"
#include "services/Paths.h"
#include "services/PortRegistry.h"
#include "services/Shell.h"
#include "texts/TextTables.h"
#include "transfer/DiagnosticLists.h"
#include "transfer/Execucao.h"
#include "transfer/ImageFiles.h"
#include "transfer/Programming.h"
#include "transfer/Receiver.h"
#include "transfer/RunListener.h"
#include "transfer/Verification.h"

namespace tolvan {

class CatalogueStore;
class SerialDriver;

// Everything the main window reaches outside itself.
struct Services {
    Clock& clock;
    TimerFactory& timers;
    SerialDriver& serial;
    PortRegistry& ports;
    Dialogs& dialogs;
    Desktop& desktop;
    CatalogueStore& catalogues;
    std::filesystem::path root;        // the installation root that stands for the drive
    std::filesystem::path executable;  // the running executable's real path
};

// The main window TfrmTolvanLink as a model: its controls, the state of its subsystems and the
// subsystems themselves, which it wires together. The window toolkit only draws it and delivers
// clicks, keys and ticks; the subsystems reach the window through the Shell it implements.
class FrmTolvanLink : public Shell {
  public:
    explicit FrmTolvanLink(Services services);
    ~FrmTolvanLink() override;
    FrmTolvanLink(const FrmTolvanLink&) = delete;
    FrmTolvanLink& operator=(const FrmTolvanLink&) = delete;

    void setView(ViewListener* view) { view_.setListener(view); }

    // Life of the window. `consideraSelecao` false: never selector mode, whatever the selection
    // file says (a front end without the window).
    void FormCreate(bool consideraSelecao = true);
    void FormActivate();
    // Selector mode from here on: the caption over the bar listens to the run.
    void entraEmModoSelecao();
    // Parts of the first activation, also for a front end that opens the port itself: the
    // program directory and the drive; the catalogue opened, the about box's list filled and the
    // main menu shown, or the no-system path (message, close), which returns false.
    void preparaCaminhos();
    bool mostraCatalogo();
    // Who hears of connections and runs besides the panel; none (nullptr) by default.
    void setRunListener(RunListener* ouvinte) { ouvintes.setFrente(ouvinte); }
    void FormClose();
    void lblFecharClick();
    // Centres the window on a screen of the given size, as when it is first shown.
    void centra(int screenWidth, int screenHeight);

    // ---- Shell ----
    int Mensagem(const std::string& texto, int tipo, unsigned botoes) override;
    void fechaMensagem() override { svc.dialogs.dismissMessage(); }
    void Close() override;
    bool closed() const override { return closed_; }
    bool modoSelecao() const override { return ModoSelecao; }
    void AtivaFuncoes(bool ativa) override { painel.AtivaFuncoes(ativa); }
    void MontaTela0() override { telas.MontaTela0(); }
    void focaVisor() override;
    void termina(const Final& final) override;
    void mostraSobre() override;

    // Runs one event handler from the event loop: nothing runs once the window has closed, and
    // a failure that the handler does not catch ends at falhaNoEvento.
    template <typename Handler>
    void dispatch(Handler&& handler) {
        if (closed_) return;
        try {
            handler();
        } catch (const std::exception& e) {
            falhaNoEvento(e);
        }
    }
    // A failure that no handler caught goes to the platform's error report; a handshake or a
    // transfer run under way ends with a message, once, instead of being left half done.
    void falhaNoEvento(const std::exception& e);
    // The port's device went away: the handshake or the run under way ends with one message;
    // the port is closed, to be opened again by the next operation.
    void linhaPerdida();

    Services svc;
    PathResolver files;
    TextTables textos;

    // ---- The window's own state ----
    bool ModoSelecao = false;
    std::string Drive;
    std::string DirPrograma;

    // ---- Controls ----
    ViewNotifier view_;
    WindowFrame janela;
    Picture ImgTolvanLink;
    Label lblMsg;
    Label lblFechar;
    ListBox lbxVisor;
    ListBox lbxSinalizador;
    Label lblStatus;
    ImageButton btnUp;
    ImageButton btnDown;
    ImageButton btnRetorna;
    ImageButton btnConfirma;
    Label lblMsg2;
    LedBar iLedBar1;
    Memo Memo1;
    // The control that has the keyboard focus (lbxVisor when the display has it).
    ControlId foco = ControlId::lbxVisor;

    // ---- What draws the run: the status line, the bar, in selector mode the caption ----
    LinhaDeStatus linhaDeStatus{lblStatus};
    BarraDeSetores barraDeSetores{iLedBar1};
    LegendaSelecao legendaSelecao{lblMsg2, iLedBar1};
    Ouvintes ouvintes;  // every listener of the run, the front end's last

    SerialPort ComPort;
    CatalogueQuery QrTolvanLink;
    AboutBox frmAbout;
    Splash frmCarregando;

    // ---- State of the subsystems, with their timers ----
    EstadoConexao conn;  // the link handshake
    Navegacao nav;       // the front panel
    Execucao run;        // the transfer run

    // ---- Subsystems ----
    DiagnosticLists diagnostico;
    ImageFiles arquivos;
    Verification verificacao;
    Programming gravacao;
    Handshake conexao;
    Receiver receptor;
    PortOpening portas;
    Panel painel;
    Screens telas;
    SystemList listaSistemas;

  private:
    // A timer whose ticks run `handler` as an event of this window.
    std::unique_ptr<Timer> timer(const char* name, int ms, std::function<void()> handler);
    Visor visor() { return {lbxVisor, lbxSinalizador, lblMsg, lblStatus}; }
    void configuraModoSelecao();
    void abreCatalogo();
    std::unique_ptr<Timer> linhaPerdida_;  // takes a lost line to the event loop
    bool closed_ = false;
};

}  // namespace tolvan
