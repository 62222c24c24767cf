#pragma once

#include <string>

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
};

// Where the panel goes once the operator has been told how something ended.
enum class Depois {
    MenuPrincipal,  // the main menu, the panel answering again
    MenuOperacao,   // the operation menu stays, for another choice
    Fica,           // the screen stays as it is
    Fecha,          // the program closes
};

// How a routine ended: why, the message the operator is shown (none when empty), its kind and
// where the panel goes. In selector mode the program closes whatever `depois` says.
struct Final {
    Desfecho desfecho;
    std::string texto;
    int tipo;
    Depois depois;
    // The handshake ended without a connection: the main menu comes before the message, and in
    // selector mode there is no message.
    bool daConexao = false;
};

}  // namespace tolvan
