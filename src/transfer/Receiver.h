#pragma once

#include <cstdint>
#include <string>

#include "link/Handshake.h"
#include "transfer/Execucao.h"

namespace tolvan {

class DiagnosticLists;
class ImageFiles;
class Programming;
class RunListener;
class SerialPort;
class Shell;
class Verification;
struct EstadoConexao;

inline constexpr const char* kMsgSemComunicacao =
    "Não houve comunicação. \rO processo será abandonado! ";

// A sector counts as complete once more data bytes than this have arrived for it.
inline constexpr int kLimiteSetorCompleto = 250;

// Every received byte enters here; the same handler paces what the host sends during a
// transfer. TimerCmd walks a transfer's set-up frames, TimerRead asks for the next sector and
// TimeOut abandons an operation after 5 s of silence. While the handshake polls, the bytes are
// its answers.
class Receiver final : public OuvinteConexao {
  public:
    // The routines the receive handler and the sequencer hand on to.
    struct Destinos {
        Handshake& conexao;  // the answer to the link poll
        ImageFiles& arquivos;
        Programming& gravacao;
        Verification& verificacao;
        DiagnosticLists& diagnostico;
    };

    Receiver(Execucao& run, EstadoConexao& conn, SerialPort& port, Destinos destinos,
             RunListener& ouvinte, Shell& shell)
        : run_(run),
          conn_(conn),
          port_(port),
          destinos_(destinos),
          ouvinte_(ouvinte),
          shell_(shell) {}

    // The data-available event: takes `count` bytes from the port.
    void ComPortTriggerAvail(std::uint16_t count);
    // One set-up step of a transfer, 200 ms after the device answered the previous one.
    void TimerCmdTimer();
    // Asks for the next sector.
    void TimerReadTimer();
    // Abandons the operation after 5 s without a received byte.
    void TimeOutTimer();

    // ---- OuvinteConexao: the run ends when polling starts, and Modo::Link takes the answers.
    void conectando() override;
    void conectado() override;

  private:
    void recebe(std::uint8_t byte, std::string& textoBytes);
    void passo(int passo, bool leitura);
    void comparaUltimoSetor();
    // Marks the image when the sector just finished came short of 256 data bytes.
    void notaSetorCurto();

    Execucao& run_;
    EstadoConexao& conn_;
    SerialPort& port_;
    Destinos destinos_;
    RunListener& ouvinte_;
    Shell& shell_;
};

}  // namespace tolvan
