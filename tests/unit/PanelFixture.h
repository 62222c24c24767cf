#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "sim/TestRig.h"

namespace tolvan::test {

// A rig whose catalogue holds `n` systems named "Sistema 01", "Sistema 02", ...
inline std::vector<sim::FakeCatalogueStore::System> numberedSystems(int n) {
    std::vector<sim::FakeCatalogueStore::System> systems;
    char name[32];
    for (int i = 1; i <= n; ++i) {
        std::snprintf(name, sizeof name, "Sistema %02d", i);
        systems.push_back({name, "S" + std::to_string(i) + ".BIN", 4,
                           "S" + std::to_string(i) + "L.BIN", 2, "", 0});
    }
    return systems;
}

// Counts the pointer column's ">" lines.
inline int pointers(const Componentes& f) {
    int n = 0;
    for (const std::string& line : f.lbxSinalizador.items())
        n += line == ">" ? 1 : 0;
    return n;
}

// The panel's invariant: one ">" on the selected line, inside the selectable window.
inline void expectPointerConsistent(const Componentes& f) {
    EXPECT_EQ(pointers(f), 1);
    EXPECT_EQ(f.lbxSinalizador.item(f.nav.LinhaSinal), ">");
    EXPECT_EQ(f.lbxVisor.itemIndex(), f.nav.LinhaSinal);
    EXPECT_GE(f.nav.LinhaSinal, f.nav.LinhaIni);
    EXPECT_LE(f.nav.LinhaSinal, f.nav.LinhaFim);
}

class PanelTest : public ::testing::Test {
  protected:
    // Starts the program on a catalogue of `systems` rows; the main menu is shown.
    void startWith(int systems) {
        rig.setSystems(numberedSystems(systems));
        rig.start();
    }
    // The main window's components, and the model whose events they run in.
    Componentes& f() { return rig.componentes(); }
    FrmTolvanLink& form() { return rig.form(); }
    template <typename Handler>
    void on(Handler&& handler) {
        form().dispatch(handler);
    }

    sim::TestRig rig;
};

}  // namespace tolvan::test
