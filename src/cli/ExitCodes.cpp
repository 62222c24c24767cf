#include "cli/ExitCodes.h"

namespace tolvan::cli {

int exitCodeOf(Desfecho desfecho) {
    switch (desfecho) {
        case Desfecho::Verificado:
        case Desfecho::Gravado:
        case Desfecho::Lido:
        case Desfecho::Pronto:
            return kExitOk;
        case Desfecho::ComErros:
            return kExitMismatch;
        case Desfecho::SemComunicacao:
            return kExitNoCommunication;
        case Desfecho::FalhaDePorta:
            return kExitPortError;
        case Desfecho::ArquivoInvalido:
        case Desfecho::CatalogoInvalido:
        case Desfecho::SistemaInexistente:
            return kExitBadInput;
        case Desfecho::Interrompido:
            // Without its signal (exitCodeOf(Outcome) has it): not a success.
        case Desfecho::Falha:
            // A failure the core caught at its error boundary that was not the port's: it came
            // from the files or the data the run works on, or from the program itself. Trying
            // the device again does not help; what standard error says does.
            return kExitBadInput;
    }
    return kExitBadInput;
}

int exitCodeOf(const Outcome& outcome) {
    // As a shell reports a process that the signal ended.
    if (outcome.desfecho == Desfecho::Interrompido && outcome.signal > 0)
        return 128 + outcome.signal;
    return exitCodeOf(outcome.desfecho);
}

const char* resultOf(const Outcome& outcome) {
    switch (outcome.desfecho) {
        case Desfecho::Verificado:
            return "verified";
        case Desfecho::Gravado:
            return "programmed";
        case Desfecho::Lido:
            return "read";
        case Desfecho::ComErros:
            return "mismatch";
        case Desfecho::Pronto:
            return "ready";
        case Desfecho::Interrompido:
            return "interrupted";
        default:
            return "error";
    }
}

const char* nameOf(const Outcome& outcome) {
    switch (outcome.desfecho) {
        case Desfecho::Verificado:
            return "Verificado";
        case Desfecho::Gravado:
            return "Gravado";
        case Desfecho::Lido:
            return "Lido";
        case Desfecho::ComErros:
            return "ComErros";
        case Desfecho::SemComunicacao:
            return "SemComunicacao";
        case Desfecho::FalhaDePorta:
            return "FalhaDePorta";
        case Desfecho::ArquivoInvalido:
            return "ArquivoInvalido";
        case Desfecho::CatalogoInvalido:
            return "CatalogoInvalido";
        case Desfecho::SistemaInexistente:
            return "SistemaInexistente";
        case Desfecho::Falha:
            return "Falha";
        case Desfecho::Pronto:
            return "Pronto";
        case Desfecho::Interrompido:
            return "Interrompido";
    }
    return "Falha";
}

}  // namespace tolvan::cli
