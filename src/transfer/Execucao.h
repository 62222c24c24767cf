#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "services/Clock.h"
#include "transfer/ImageOpening.h"

namespace tolvan {

// What the receive handler does with the bytes it receives: judge them as the answer to the
// link poll, store them as a sector read back, or let them send the next sector.
enum class Modo { Nenhum, Link, Leitura, Gravacao };

// The operation menu's lines.
// Leitura reads the images back as verification does and hands them on uncompared, for a
// backup of what the device holds; no menu line starts it.
enum class Operacao {
    Nenhuma = 0,
    GravacaoVerificacao = 1,
    Gravacao = 2,
    Verificacao = 3,
    Leitura = 4
};

// The three images of a catalogue row, in the order a run takes them.
enum class Imagem { Principal, L, L2 };

// One transfer run: the state that the receive handler, the sequencer, programming and
// verification share (under the names they use), the run's three timers and its open image
// file. The main window owns it for the program's life; a run starts in Gravacao/Verificacao and
// ends, however it ends, in encerra().
struct Execucao {
    Execucao(std::unique_ptr<Timer> timerCmd, std::unique_ptr<Timer> timerRead,
             std::unique_ptr<Timer> timeOut)
        : TimerCmd(std::move(timerCmd)),
          TimerRead(std::move(timerRead)),
          TimeOut(std::move(timeOut)) {}

    tolvan::Modo Modo = Modo::Nenhum;
    Operacao operacao = Operacao::Nenhuma;  // chosen on the operation menu
    Imagem imagem = Imagem::Principal;      // the image being transferred

    // The sequencer.
    int Passo = 0;             // set-up steps done in the current sequence
    bool FimComandos = false;  // the sequence is over: receive events no longer start TimerCmd
    // The data phase.
    bool LendoSetor = false;    // received bytes answer CmdLeSetor
    int CabecalhoRestante = 0;  // head bytes (01 03 09) of the sector answer still to come
    int BytesBloco = 0;         // data bytes of the current sector answer
    int SetorAtual = 0;         // from 1
    // A sector answer of this image stayed short of its 256 data bytes: bytes of the file have
    // nothing read back to be compared with, so the image cannot pass.
    bool SetorCurto = false;
    std::int32_t QtdSetores = 0;
    bool Enviando = false;  // sector frames go out, one per receive event

    // The current image.
    bool ImagemL = false;  // an L or L2 image: its leading FF and 00 bytes are kept
    std::string NomeArq;
    std::string Endereco1;
    std::string Endereco2;
    ArquivoBinario ArqBin;  // the image being sent
    std::uint8_t ByteGuardado = 0;

    std::vector<std::uint8_t> BytesLidos;  // data bytes read back
    std::int32_t QtdBytesLidos = 0;
    std::vector<std::uint8_t> BytesArq;  // kept bytes of the image file
    std::int32_t QtdBytesArq = 0;

    std::unique_ptr<Timer> TimerCmd;   // 200 ms: one set-up step
    std::unique_ptr<Timer> TimerRead;  // 100 ms: the next sector request
    std::unique_ptr<Timer> TimeOut;    // 5000 ms: the device fell silent

    // A sequence of set-up steps starts: the first 200 ms from now.
    void iniciaSequencia();
    // The run is over, finished or abandoned: its timers stop, its file closes, and bytes that
    // still come for it are neither stored nor acted on. `depois` is the receive handler's mode
    // afterwards: none, or for programming that ended the operation its own mode, with nothing
    // left to send.
    void encerra(tolvan::Modo depois = Modo::Nenhum);
    // Something of a run is still to happen: a step, a sector, a time-out.
    bool emCurso() const;
};

}  // namespace tolvan
