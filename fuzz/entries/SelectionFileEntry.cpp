#include <string>

#include "FuzzEntries.h"
#include "Scenario.h"

namespace tolvan::fuzz {

namespace {

// A catalogue that scrolls, with descriptions that contain one another and accented letters.
const std::vector<sim::FakeCatalogueStore::System>& sistemas() {
    static const std::vector<sim::FakeCatalogueStore::System> list = {
        {"Alfa", "A.BIN", 1, "AL.BIN", 1, "", 0},
        {"Alfa 2", "A2.BIN", 1, "AL.BIN", 1, "AL.BIN", 1},
        {"Beta Máquina", "B.BIN", 1, "BL.BIN", 1, "", 0},
        {"Gama", "G.BIN", 2, "GL.BIN", 1, "", 0},
        {"Delta", "SEMARQUIVO.BIN", 1, "DL.BIN", 1, "", 0},
        {"Épsilon", "E.BIN", 1, "EL.BIN", 1, "", 0},
        {"Zeta", "Z.BIN", 1, "ZL.BIN", 1, "", 0},
        {"Zeta Ômega", "ZO.BIN", 1, "ZL.BIN", 1, "", 0},
    };
    return list;
}

}  // namespace

// Selector mode from start to end: the program connects, looks for the system the selection
// file's third line names, programs and verifies it, and always closes by itself, removing the
// selection file.
void fuzzSelectionFile(const std::uint8_t* data, std::size_t size) {
    Scenario s;
    s.rig.setSystems(sistemas());
    for (const char* name : {"A.BIN", "A2.BIN", "B.BIN", "E.BIN", "Z.BIN", "ZO.BIN"})
        s.writeImage(name, std::string(1, '\x01') + name);
    s.writeImage("G.BIN", std::string(300, '\x42'));
    for (const char* name : {"AL.BIN", "BL.BIN", "GL.BIN", "DL.BIN", "EL.BIN", "ZL.BIN"})
        s.writeImage(name, name);
    s.rig.writeFile(kSelectionFile, std::string(reinterpret_cast<const char*>(data), size));

    s.rig.start();
    s.settle(600000);
    s.trace();
    expect(s.closed(), "selector mode did not end by itself");
    expect(!s.rig.exists(kSelectionFile), "the selection file was left behind");
    const std::vector<std::string> messages = s.rig.messages();
    if (!messages.empty() && messages.back().find("SEM ERROS") != std::string::npos)
        expect(!s.f().nav.SistemaSelecao.empty() &&
                   s.f().nav.SistemaEscolhido.find(s.f().nav.SistemaSelecao) != std::string::npos,
               "a system was programmed that the selection file does not name");
}

}  // namespace tolvan::fuzz
