#pragma once

#include <string>

#include "transfer/Execucao.h"

namespace tolvan {

// How a connection or a transfer run ended.
enum class Desfecho {
    Verificado,          // every image read back equal to its file
    Gravado,             // programming alone ended
    ComErros,            // an image read back differs from its file
    SemComunicacao,      // the device fell silent, or the handshake gave up
    FalhaDePorta,        // the serial port failed
    ArquivoInvalido,     // an image file cannot be opened or read, or has nothing to send
    CatalogoInvalido,    // no usable catalogue, or a row the device cannot be given
    SistemaInexistente,  // the system asked for is not in the catalogue
    Falha,               // any other failure
};

// What a front end without a window hears of a connection and a transfer run, besides the
// messages its dialogs show. The main window has none unless one is given; every method does
// nothing unless overridden.
class RunListener {
  public:
    virtual ~RunListener() = default;
    // The device answered the link poll.
    virtual void conectado() {}
    // An image's transfer begins: programming (Modo::Gravacao) or reading back (Modo::Leitura)
    // of `imagem`, its file name and its sector count.
    virtual void imagemIniciada(Modo, Imagem, const std::string& /*arquivo*/, int /*setores*/) {}
    // The status line's sector moved on: "Setor: n/m".
    virtual void setor(int /*atual*/, int /*total*/) {}
    // The connection or the run ended; `texto` is the message the operator is shown for it.
    virtual void fim(Desfecho, const std::string& /*texto*/) {}
};

}  // namespace tolvan
