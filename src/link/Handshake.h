#pragma once

#include <string>

namespace tolvan {

class SerialPort;
class Shell;
struct EstadoConexao;
enum class Desfecho;
enum class MessageId;

// Texts of the handshake.
inline constexpr const char* kMsgDesconecteCabo =
    "Desconecte o cabo de comunicação do\rTolvan Link e clique em \"OK\", após \rclicar em "
    "\"OK\" conecte novamente o \rcabo no Tolvan Link e aguarde.";
inline constexpr const char* kMsgAbandonarConexao =
    "Não houve comunicação. Deseja abandonar a conexão? ";
inline constexpr const char* kMsgErroConexao = "Houve um erro na Conexão.\rTente Novamente! ";

// Who hears that the handshake starts polling and that the device answered: the run, which
// takes received bytes as answers meanwhile, and through it whatever draws or listens (the main
// window disables the panel while it polls, and gives it back with the system list to follow).
class OuvinteConexao {
  public:
    virtual ~OuvinteConexao() = default;
    // Polling starts: nothing received from here on is sector data.
    virtual void conectando() = 0;
    virtual void conectado() = 0;
};

// The link handshake: polls the device with CmdLink every 5 ms until it answers 00 03 01, which
// may come whole or split over two or three receive events.
class Handshake {
  public:
    Handshake(EstadoConexao& conn, SerialPort& port, OuvinteConexao& ouvinte, Shell& shell)
        : conn_(conn), port_(port), ouvinte_(ouvinte), shell_(shell) {}

    // The main menu's "Conexão": a new handshake, with no mismatched answer counted yet.
    void conecta();
    // Asks the operator to replug the cable and starts polling.
    void Link();
    // One poll; the 400th tick asks whether to give up instead.
    void TimerLinkTimer();
    // Judges one receive event's byte text while the handshake is under way.
    void avaliaResposta(const std::string& textoBytes);

    // Polls between two questions.
    static constexpr int kChamadasPorPergunta = 400;
    // Non-matching receive events tolerated before the handshake fails.
    static constexpr int kTentativasMaximas = 10;

    // Ends the handshake without a connection, through Shell::termina, with `mensagem` (none
    // when empty) as information. Shared by abandon (Yes to the question), failure (too many
    // wrong answers) and a failure of the port itself.
    void encerraSemConexao(Desfecho desfecho, MessageId id, const std::string& mensagem);
    // Stops the handshake under way, its question closed, and tells no one: the caller ends
    // the session.
    void para();

  private:
    void conectado();
    // The handshake ended while its question was open: the question closes unanswered.
    void fechaPergunta();

    EstadoConexao& conn_;
    SerialPort& port_;
    OuvinteConexao& ouvinte_;
    Shell& shell_;
};

}  // namespace tolvan
