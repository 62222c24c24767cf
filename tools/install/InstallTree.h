#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "services/CatalogueStore.h"

namespace tolvan::install {

// One system of the catalogue with its three images.
using SystemSpec = CatalogueRow;

struct PortEntry {
    std::string name;    // "COM2"
    std::string device;  // "/dev/pts/3"
};

// What a generated installation holds. The defaults give a complete normal-mode installation
// of the demo systems, without the executable.
struct InstallOptions {
    std::filesystem::path root;
    // Copied in as <root>/Orsolite/Tolvan Link/TolvanLink (with its extension) when set.
    std::filesystem::path program;
    // SerialComm.txt; none: a file holding only a comment (no port at all).
    std::vector<PortEntry> ports;
    // Comm.txt; none: no port file (the program creates it with "2").
    std::optional<int> portNumber = 2;
    std::vector<SystemSpec> systems;
    // No catalogue file at all (the program then has no system).
    bool catalogue = true;
    // Selector mode: the selection file with this third line.
    std::optional<std::string> selection;
    // Selector mode's background picture.
    bool background = false;
    // The launcher's marker file, present when the launcher's window is not to be closed.
    bool marker = false;
};

class InstallError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Ten systems of various sizes, small enough for a quick run over a pseudo-terminal.
std::vector<SystemSpec> demoSystems();

// The folder that holds the program: <root>/Orsolite/Tolvan Link.
std::filesystem::path programDir(const std::filesystem::path& root);
// <root>/Orsolite/Comuns.
std::filesystem::path commonDir(const std::filesystem::path& root);

// The bytes of an image file. A main image starts with a few FF and 00 bytes that the program
// skips; what it keeps is the whole sector count or a little less. L and L2 images are whole
// sectors. The content is fixed by the file name.
std::string imageBytes(const std::string& fileName, int sectors, bool mainImage);

// Lays out the whole installation; existing files are replaced. Throws InstallError.
void writeInstallation(const InstallOptions& options);
// Rewrites SerialComm.txt alone (the demo points COM2 at the emulator's pty once it is up).
void writeSerialComm(const std::filesystem::path& root, const std::vector<PortEntry>& ports);
// The catalogue database with these rows.
void writeCatalogue(const std::filesystem::path& file, const std::vector<SystemSpec>& systems);

}  // namespace tolvan::install
