#pragma once

#include <cstdint>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/AboutBox.h"
#include "app/Splash.h"
#include "link/Handshake.h"
#include "link/PortOpening.h"
#include "link/Receiver.h"
#include "link/SerialPort.h"
#include "panel/CatalogueQuery.h"
#include "panel/Controls.h"
#include "panel/LedBar.h"
#include "panel/Panel.h"
#include "panel/Screens.h"
#include "panel/SystemList.h"
#include "services/Clock.h"
#include "services/Desktop.h"
#include "services/Dialogs.h"
#include "services/PathResolver.h"
#include "services/PortRegistry.h"
#include "texts/TextTables.h"
#include "transfer/DiagnosticLists.h"
#include "transfer/ImageFiles.h"
#include "transfer/Programming.h"
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

// Fixed names of the installation.
inline constexpr const char* kSelectionFile = "\\orsolite\\comuns\\Selecao";
inline constexpr const char* kBackgroundPicture = "\\Orsolite\\TolvanFlex\\Imagens\\FundoComum.jpg";
inline constexpr const char* kCatalogueFile = "\\Orsolite\\Tolvan Link\\Tabelas\\TolvanLink.db";
inline constexpr const char* kMarkerFile = "c:\\orsolite\\tolvanflex\\pilq.dll";
inline constexpr const char* kLauncherTitle = "Tolvan Flex Selecionador";
inline constexpr const char* kDebugFile = "debug.txt";
inline constexpr const char* kApplicationTitle = "Vessaro";

// The main window TfrmTolvanLink as a model: every control, every state field and the routines
// of every subsystem. The window toolkit only draws it and delivers clicks, keys and ticks.
class FrmTolvanLink {
  public:
    explicit FrmTolvanLink(Services services);
    ~FrmTolvanLink();
    FrmTolvanLink(const FrmTolvanLink&) = delete;
    FrmTolvanLink& operator=(const FrmTolvanLink&) = delete;

    void setView(ViewListener* view) { view_.setListener(view); }

    // Life of the window.
    void FormCreate();
    void FormActivate();
    void FormClose();
    // Closes the main window: FormClose runs at once; the program ends when control is back in
    // the event loop. The rest of the calling handler still runs.
    void Close();
    bool closed() const { return closed_; }
    void lblFecharClick();
    // Centres the window on a screen of the given size, as when it is first shown.
    void centra(int screenWidth, int screenHeight);

    // The one message dialog. After the main window has closed it returns 2 at once.
    int Mensagem(const std::string& texto, int tipo, unsigned botoes);
    // The about box, modal.
    void mostraSobre();

    // Runs one event handler from the event loop: nothing runs once the window has closed, and
    // a failure that the handler does not catch goes to the platform's error report.
    template <typename Handler>
    void dispatch(Handler&& handler) {
        if (closed_) return;
        try {
            handler();
        } catch (const std::exception& e) {
            svc.desktop.reportError(e.what());
        }
    }

    Services svc;
    PathResolver files;
    TextTables textos;

    // ---- State fields ----
    bool ModoSelecao = false;
    int Tela = 0;
    int LinhaIni = 1;
    int LinhaFim = 2;
    int LinhaSinal = 1;
    bool Rolagem = false;
    std::string Drive;
    std::string DirPrograma;
    int NumPorta = 2;

    std::string Modo;
    int Passo = 0;
    bool FimComandos = false;
    bool LendoSetor = false;
    int BytesBloco = 0;
    int SetorAtual = 0;
    std::int32_t QtdSetores = 0;
    bool Enviando = false;
    int Chamadas = 0;
    int Tentativas = 0;
    std::string RespostaParcial;
    // The handshake is under way: receive events are judged as answers (cleared on success,
    // abandon and failure, so late bytes are not taken as answers).
    bool Conectando = false;
    // Head bytes of the current sector answer still to come after CmdLeSetor (3, 2, 1, 0).
    int CabecalhoRestante = 0;

    std::vector<std::uint8_t> BytesLidos;  // data bytes read back; their texts are ByteHex
    std::int32_t QtdBytesLidos = 0;
    std::vector<std::uint8_t> BytesArq;  // kept bytes of the image file
    std::int32_t QtdBytesArq = 0;

    std::string NomeArq;
    std::string Endereco1;
    std::string Endereco2;
    bool ImagemL = false;
    std::uint8_t ByteGuardado = 0;

    std::string SistemaEscolhido;
    std::string SistemaSelecao;

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
    void focaVisor();

    SerialPort ComPort;
    CatalogueQuery QrTolvanLink;
    AboutBox frmAbout;
    Splash frmCarregando;

    std::unique_ptr<Timer> TimerLink;
    std::unique_ptr<Timer> TimerCmd;
    std::unique_ptr<Timer> TimerRead;
    std::unique_ptr<Timer> TimeOut;
    std::unique_ptr<Timer> TimerMontaTela;

    // ---- Subsystems ----
    Panel painel;
    Screens telas;
    SystemList listaSistemas;
    PortOpening portas;
    Handshake conexao;
    Receiver receptor;
    ImageFiles arquivos;
    Programming gravacao;
    Verification verificacao;
    DiagnosticLists diagnostico;

  private:
    void configuraModoSelecao();
    void abreCatalogo();
    bool closed_ = false;
};

}  // namespace tolvan
