#include "SimOperation.h"

#include <fstream>

namespace tolvan::bench {

void writeImage(sim::TestRig& rig, const std::string& name, const std::string& bytes) {
    const std::filesystem::path bin = rig.root / "Orsolite" / "Tolvan Link" / "bin";
    std::filesystem::create_directories(bin);
    std::ofstream(bin / name, std::ios::binary) << bytes;
}

std::string imagePattern(std::size_t n, int seed) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i)
        s += static_cast<char>(1 + (i * 7 + static_cast<std::size_t>(seed)) % 250);
    return s;
}

std::string runOperation(sim::TestRig& rig, const sim::FakeCatalogueStore::System& system,
                         int linha, const std::function<void()>& meanwhile) {
    rig.setSystems({system});
    rig.start();
    Componentes& f = rig.componentes();
    FrmTolvanLink& form = rig.form();
    // Conexão; the system list comes half a second after the device's answer.
    form.dispatch([&] {
        f.painel.cliqueVisor(1);
        f.painel.btnConfirmaClick();
    });
    rig.loop.runFor(1000);
    if (f.nav.Tela != 1) return {};
    form.dispatch([&] { f.painel.btnConfirmaClick(); });
    if (f.nav.Tela != 2) return {};
    rig.dialogs.messages.clear();
    form.dispatch([&] {
        f.painel.cliqueVisor(linha);
        f.painel.btnConfirmaClick();
    });
    for (int s = 0; s < 600 && rig.dialogs.messages.empty(); ++s) {
        rig.loop.runFor(1000);
        if (meanwhile) meanwhile();
    }
    return rig.dialogs.messages.empty() ? std::string() : rig.dialogs.texts().front();
}

}  // namespace tolvan::bench
