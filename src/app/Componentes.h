#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "app/AboutBox.h"
#include "app/Services.h"
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
#include "services/Desktop.h"
#include "services/Dialogs.h"
#include "services/LedBar.h"
#include "services/PathResolver.h"
#include "services/PortRegistry.h"
#include "texts/TextTables.h"
#include "transfer/DiagnosticLists.h"
#include "transfer/Execucao.h"
#include "transfer/ImageFiles.h"
#include "transfer/Programming.h"
#include "transfer/Receiver.h"
#include "transfer/RunListener.h"
#include "transfer/Verification.h"

namespace tolvan {

class Shell;

// Makes a timer whose ticks run `handler` as an event of the window.
using FabricaDeTimers =
    std::function<std::unique_ptr<Timer>(const char* name, int ms, std::function<void()> handler)>;

// What the main window owns, as the window of the original design held it: its controls, the
// state of its subsystems and the subsystems themselves, wired together. The subsystems reach
// the window through `shell`; TimerMontaTela's tick runs `timerMontaTela` (the window builds the
// system list, and in selector mode goes on by itself).
struct Componentes {
    Componentes(Services services, Shell& shell, const FabricaDeTimers& timer,
                std::function<void()> timerMontaTela);
    Componentes(const Componentes&) = delete;
    Componentes& operator=(const Componentes&) = delete;

    Visor visor() { return {lbxVisor, lbxSinalizador, lblMsg, lblStatus}; }

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
};

}  // namespace tolvan
