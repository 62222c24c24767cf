#pragma once

#include <string>
#include <vector>

#include "device/DeviceOptions.h"
#include "device/ImageStore.h"
#include "device/LinePacer.h"

namespace tolvan::emu {

// Everything the emulator's command line sets.
struct EmulatorConfig {
    DeviceOptions device;
    LineOptions line;
    std::string linkFile;      // receives the pty's slave path
    std::string frameLogFile;  // one line per frame
    std::string storeFile;     // images kept between runs
    struct Preload {
        Address image;
        std::string file;
        bool asProgrammed;  // the host's view of the file, not raw memory
    };
    std::vector<Preload> preloads;
    bool verbose = false;  // the frame log also on standard error
    bool help = false;
};

// Parses the arguments after the program name; false with a reason on a bad one.
bool parseCommandLine(const std::vector<std::string>& args, EmulatorConfig& config,
                      std::string& error);
std::string usageText();

}  // namespace tolvan::emu
