#pragma once

#include <string>

#include "services/Desfecho.h"

namespace tolvan::cli {

// The exit status of tolvan-flash.
enum ExitCode {
    kExitOk = 0,               // verified (programmed, for --program; read, for --read-to)
    kExitMismatch = 1,         // an image read back differs from its file
    kExitNoCommunication = 2,  // no answer, a time-out, the connection given up
    kExitPortError = 3,        // the port cannot be opened or failed
    kExitBadInput = 4,         // catalogue, installation, image files, arguments; any other failure
    kExitBenchFailed = 5,      // a bench: some device did not succeed
    // 128 + n: ended by signal n (SIGINT 130, SIGTERM 143, SIGHUP 129), its files written
};

// How a run ended, as the session's end event says it, for the exit status and the JSON end
// event.
struct Outcome {
    Desfecho desfecho = Desfecho::Falha;
    std::string text;  // the core's message for it, or the command line's own
    int signal = 0;    // for Interrompido: the signal that ended the run
};

int exitCodeOf(Desfecho desfecho);
int exitCodeOf(const Outcome& outcome);
// "verified", "programmed", "read", "mismatch" or "error"; "ready" for a dry run that would
// start, "interrupted" for a run the program was told to end.
const char* resultOf(const Outcome& outcome);
// The Desfecho's own name ("SemComunicacao"), for scripts that tell the errors apart;
// "Pronto" for a dry run that would start.
const char* nameOf(const Outcome& outcome);

}  // namespace tolvan::cli
