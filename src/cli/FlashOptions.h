#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/Sessao.h"

namespace tolvan::cli {

// The command line of tolvan-flash.
struct FlashOptions {
    enum class Action { Flash, List, ListPorts, Help, Version };
    Action action = Action::Flash;
    std::optional<std::string> root;  // --root as given
    // COMn, a device path, rfc2217://HOST:PORT or socket://HOST:PORT; more than one: a bench
    std::vector<std::string> ports;
    std::string system;
    Operacao operacao = Operacao::GravacaoVerificacao;
    bool json = false;
    bool yes = false;
    int connectTimeoutS = 30;
    // The serial trace and log, <trace>.TRC and <trace>.LOG; none: not written.
    std::optional<std::string> trace;
    bool dryRun = false;                // everything a run checks first; nothing sent
    std::optional<std::string> readTo;  // the device's images are read into this folder
    std::optional<std::string> report;  // a JSON line per device is appended to this file

    bool bench() const { return ports.size() > 1; }
};

// Parses argv[1...]. On a wrong command line returns none and says why in `error`.
std::optional<FlashOptions> parseFlashOptions(const std::vector<std::string>& args,
                                              std::string& error);

// The arguments that give a bench's child process the same run on one port.
std::vector<std::string> childArguments(const FlashOptions& options, const std::string& port,
                                        const std::string& root);

// The port number of "COMn" (1 to 65535, any case), or none for a device path.
std::optional<int> comNumber(const std::string& port);

// The --help text.
std::string usageText();

}  // namespace tolvan::cli
