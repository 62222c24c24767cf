// tolvan-emulator: the Tolvan Link device on a pseudo-terminal, for tests, demos and benchmarks.
#include <cstdio>
#include <string>
#include <vector>

#include "Emulator.h"
#include "emulator/CommandLine.h"

int main(int argc, char** argv) {
    tolvan::emu::EmulatorConfig config;
    std::string error;
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (!tolvan::emu::parseCommandLine(args, config, error)) {
        std::fprintf(stderr, "tolvan-emulator: %s (see --help)\n", error.c_str());
        return 2;
    }
    if (config.help) {
        std::fputs(tolvan::emu::usageText().c_str(), stdout);
        return 0;
    }
    tolvan::emu::Emulator emulator(std::move(config));
    return emulator.run();
}
