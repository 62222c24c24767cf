#include <string>

#include "FuzzEntries.h"
#include "Scenario.h"
#include "link/PortOpening.h"

namespace tolvan::fuzz {

// The port file is read at start-up and again by the port list screen; whatever it held, the
// program leaves a port file behind that reads as a port number.
void fuzzPortFile(const std::uint8_t* data, std::size_t size) {
    const std::string file(reinterpret_cast<const char*>(data), size);
    Scenario s;
    s.rig.setSystems({{"Sistema", "M.BIN", 1, "L.BIN", 1, "", 0}});
    s.rig.writeFile(kPortFile, file);
    s.rig.start();
    if (s.closed()) return;

    s.rig.writeFile(kPortFile, file);
    s.on([&] { s.f().telas.MontaTela3(); });
    s.on([&] { s.f().painel.btnConfirmaClick(); });  // opens the port on the line shown
    if (s.closed()) return;

    const std::size_t reported = s.rig.desktop.errors.size();
    s.on([&] { s.f().portas.lePortFile(); });
    expect(s.rig.desktop.errors.size() == reported,
           "the port file left behind does not read as a port number");
}

}  // namespace tolvan::fuzz
