#pragma once

#include <string>

#include "services/Dialogs.h"

namespace tolvan {

// How a connection or a transfer run ended.
enum class Desfecho {
    Verificado,          // every image read back equal to its file
    Gravado,             // programming alone ended
    Lido,                // every image read back whole and handed on (nothing compared)
    ComErros,            // an image read back differs from its file
    SemComunicacao,      // the device fell silent, or the handshake gave up
    FalhaDePorta,        // the serial port failed
    ArquivoInvalido,     // an image file cannot be opened or read, or has nothing to send
    CatalogoInvalido,    // no usable catalogue, or a row the device cannot be given
    SistemaInexistente,  // the system asked for is not in the catalogue
    Falha,               // any other failure
    Pronto,              // a dry run found everything ready; nothing was sent
    Interrompido,        // the program was told to end (a signal, the console closing)
};

// How a connection, a run or the choice of a system ended, as the routine that ended it says it:
// why, and what the operator is told. What follows (the panel, the screen, the program closing)
// is the main window's to decide from it.
struct Final {
    Desfecho desfecho;
    Aviso aviso;  // nothing is shown when its text is empty
    // The handshake ended without a connection.
    bool daConexao = false;
    // Told first when its text is not empty: what went wrong before (a catalogue file that
    // cannot be read, before there is said to be no system).
    Aviso antes{};
    // For the listeners when nothing is shown: why it ended, in the words of the front end that
    // gave the session up.
    std::string motivo{};
};

}  // namespace tolvan
