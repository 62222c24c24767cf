#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tolvan {

class AboutBox;
class PortDialog;

// Kinds of message.
inline constexpr int kAviso = 0;
inline constexpr int kErro = 1;
inline constexpr int kInformacao = 2;
inline constexpr int kConfirmacao = 3;

// Button sets, bit per button in this order: Yes, No, OK, Cancel, Abort, Retry, Ignore, All,
// No to all, Yes to all, Help.
inline constexpr unsigned kBotoesSimNao = 3;
inline constexpr unsigned kBotaoOk = 4;

// Result codes.
inline constexpr int kResultOk = 1;
inline constexpr int kResultCancel = 2;
inline constexpr int kResultSim = 6;
inline constexpr int kResultNao = 7;

// Which message a dialog shows, so that whoever answers it, or acts on how something ended,
// never reads its text.
enum class MessageId {
    Outra,  // none of those below
    // Start-up and close.
    TextoIlegivel,     // "Não foi possível ler o arquivo: " a text table
    FundoAusente,      // "Não foi possível encontrar o arquivo: " selector mode's picture
    CatalogoIlegivel,  // "O catálogo de sistemas não pôde ser lido: "
    NenhumSistema,     // "Nenhum sistema foi encontrado. ..."
    Sair,              // "Deseja realmento sair do Tolvan Link? "
    // The port.
    PortaInvalida,        // "Porta de Comunicação Inválida! "
    OutraPorta,           // "Deseja selecionar outra porta? "
    SelecioneOutraPorta,  // "Porta de Comunicação Inválida! \r\rSelecione outra porta."
    FalhaNaPorta,         // "Falha na Porta de Comunicação. ..."
    // The handshake.
    DesconecteCabo,    // "Desconecte o cabo de comunicação do ..."
    AbandonarConexao,  // "Não houve comunicação. Deseja abandonar a conexão? "
    ErroConexao,       // "Houve um erro na Conexão. ..."
    // The system and its images.
    MontadoraInexistente,   // "Montadora inexistente no Tolvan Link."
    RegistroNaoLocalizado,  // "Erro ao localizar o registro."
    ContagemInvalida,       // "O sistema ... tem ... setores em ..."
    ArquivoNaoEncontrado,   // "Arquivo não encontrado: "
    ArquivoNaoAbre,         // "Arquivo não pôde ser aberto: "
    ArquivoVazio,           // "Arquivo vazio: "
    ErroDeLeitura,          // "Erro ao ler o arquivo: "
    // The run.
    SemComunicacao,      // "Não houve comunicação. \rO processo será abandonado! "
    FalhaInesperada,     // "Falha inesperada. ..."
    FimDaGravacao,       // " FIM DA GRAVAÇÃO ..."
    VerificadoComErros,  // " ARQUIVO VERIFICADO COM ERROS "
    VerificadoSemErros,  // " ARQUIVO VERIFICADO SEM ERROS ..."
};

// A message of the core: which it is, its text ("\r" is a line break) and its kind.
struct Aviso {
    MessageId id = MessageId::Outra;
    std::string texto;
    int tipo = kInformacao;
};

// The standard message dialog as the program fills it in: icon by kind, title and button
// captions from the message table, default (Enter) and cancel (Esc) buttons.
struct MessageDialog {
    MessageId id = MessageId::Outra;  // which message it is
    struct Button {
        int code = 0;  // result code returned when this button closes the dialog
        std::string caption;
    };
    int kind = kInformacao;            // kAviso, kErro, kInformacao, kConfirmacao; other: custom
    std::optional<std::string> title;  // none: the application's title
    std::string text;                  // "\r" is a line break
    std::vector<Button> buttons;       // in the order of the button mask
    int defaultCode = 0;               // 0: no default button
    int cancelCode = 0;                // 0: Esc does nothing
};

// Result code of a message dialog closed by its title bar's close box.
inline constexpr int kClosedByTitleBar = kResultCancel;

// The serial layer's own "Select Port" dialog, asked when the port number is 0.
struct SelectPortRequest {
    std::string caption;               // "Select Port"
    std::string line1;                 // "The configured serial port is not valid."
    std::string line2;                 // "Please choose another port."
    std::vector<std::string> choices;  // "COM1" ...
};

// Modal dialogs. Each call runs a nested event loop: timer ticks and received bytes go on
// being handled while the dialog is open.
class Dialogs {
  public:
    virtual ~Dialogs() = default;
    virtual int showMessage(const MessageDialog& dialog) = 0;
    // Closes the message opened last that is still open, as if nobody had answered it: its
    // showMessage returns kClosedByTitleBar. Nothing happens when no message is open.
    virtual void dismissMessage() = 0;
    // The plain message box with an OK button and the application's title.
    virtual void showPlainMessage(const std::string& text) = 0;
    virtual void showAbout(AboutBox& about) = 0;
    // The port dialog works on its model: clicks and OK change the model's Porta.
    virtual void showPortDialog(PortDialog& dialog) = 0;
    // The chosen name ("COM3"), or none for Cancel.
    virtual std::optional<std::string> showSelectPort(const SelectPortRequest& request) = 0;
};

}  // namespace tolvan
