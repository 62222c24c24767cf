#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "Bytes.h"
#include "RunRecorder.h"
#include "device/Commands.h"
#include "services/ViewListener.h"
#include "sim/ScriptedDevice.h"
#include "sim/TestRig.h"

namespace tolvan::test {

// Records what the model tells the window.
class ViewRecorder : public ViewListener {
  public:
    explicit ViewRecorder(Sessao& s) : s_(s) { s.setView(this); }
    ~ViewRecorder() override { s_.setView(nullptr); }
    void changed(ControlId id) override {
        ++changes[id];
        if (id == ControlId::iLedBar1) barPositions.push_back(s_.vista().iLedBar1.position());
    }
    void repaintNow(ControlId id) override {
        if (id == ControlId::lblStatus) statusRepaints.push_back(s_.vista().lblStatus.caption());
    }
    std::map<ControlId, int> changes;
    std::vector<double> barPositions;
    std::vector<std::string> statusRepaints;

  private:
    Sessao& s_;
};

class TransferTest : public ::testing::Test {
  protected:
    Componentes& f() { return rig.componentes(); }
    FrmTolvanLink& form() { return rig.form(); }
    template <typename Handler>
    void on(Handler&& handler) {
        form().dispatch(handler);
    }
    std::filesystem::path bin() const { return rig.root / "Orsolite" / "Tolvan Link" / "bin"; }
    void writeImage(const std::string& name, const std::string& content) {
        rig.writeImage(name, content);
    }
    // The path as the program builds it.
    std::string built(const std::string& name) { return f().DirPrograma + "\\bin\\" + name; }

    // Starts on one system, connects, confirms the system and then operation menu line `linha`
    // (1 programming and verification, 2 programming, 3 verification).
    void runOperation(const sim::FakeCatalogueStore::System& system, int linha,
                      const std::function<void(CatalogueTable&)>& adjust = {}) {
        rig.setSystems({system});
        if (adjust) adjust(rig.catalogue.table);
        rig.start();
        on([&] {
            f().painel.cliqueVisor(1);
            f().painel.btnConfirmaClick();
        });
        rig.loop.runFor(1000);
        ASSERT_EQ(f().nav.Tela, 1);
        on([&] { f().painel.btnConfirmaClick(); });
        ASSERT_EQ(f().nav.Tela, 2);
        device.frames.clear();
        rig.dialogs.messages.clear();
        on([&] {
            f().painel.cliqueVisor(linha);
            f().painel.btnConfirmaClick();
        });
        rig.loop.runFor(600000);
    }

    // A device that keeps what is written and reads it back, answering 5 ms after each frame.
    TransferTest() {
        device.delayMs = 5;
        device.keepsWrites = true;
    }

    sim::TestRig rig;
    sim::ScriptedDevice device{rig};
};

}  // namespace tolvan::test
