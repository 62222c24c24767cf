#pragma once

#include <memory>
#include <string>

#include "services/Clock.h"

namespace tolvan {

// The link handshake's state and its poll timer.
struct EstadoConexao {
    explicit EstadoConexao(std::unique_ptr<Timer> timerLink) : TimerLink(std::move(timerLink)) {}

    int Chamadas = 0;    // polls since the handshake started or the operator chose to go on
    int Tentativas = 0;  // receive events that did not complete the answer
    // What has come of an answer split over events ("00" or "00 03"); it outlives a handshake.
    std::string RespostaParcial;
    // The handshake is under way: receive events are judged as answers (cleared on success,
    // abandon and failure, so late bytes are not taken as answers).
    bool Conectando = false;
    // The question whether to abandon the connection is open.
    bool PerguntaAberta = false;

    std::unique_ptr<Timer> TimerLink;  // 5 ms: one poll
};

}  // namespace tolvan
