#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "app/FrmTolvanLink.h"
#include "sim/SimDevice.h"
#include "sim/TestRig.h"

namespace tolvan::fuzz {

// A whole installation on the simulated clock (a fresh TestRig) with the device emulator on its
// line, and an operator at the dialogs. Unless told otherwise the operator closes each message
// with its default button; a patient operator still gives up after many messages, closing them
// by the title bar, so that no scenario waits on the operator for ever.
class Scenario {
  public:
    explicit Scenario(emu::DeviceOptions device = {});
    Scenario(const Scenario&) = delete;
    Scenario& operator=(const Scenario&) = delete;

    sim::TestRig rig;
    sim::SimDevice device;

    Componentes& f() { return rig.componentes(); }
    template <typename Handler>
    void on(Handler&& handler) {
        rig.form().dispatch(std::forward<Handler>(handler));
    }

    // How the operator answers a message; none: the default button.
    std::function<int(const MessageDialog&)> answer;
    static constexpr int kPatience = 200;

    // The program's bin folder.
    std::filesystem::path bin() const;
    void writeImage(const std::string& name, std::string_view bytes) const;

    // Start-up, then Confirm on "Conexão" of the main menu. Returns at once.
    void startAndConnect();
    // Waits (simulated time) for the system list; false when it does not come.
    bool awaitList(std::int64_t maxMs = 5000);
    // On the system list: `downs` presses of Down, then Confirm.
    void chooseSystem(int downs);
    // On the operation menu: line `linha` (1 programming and verification, 2 programming,
    // 3 verification), then Confirm.
    void startOperation(int linha);
    // Lets simulated time pass until the program has closed or `ms` have passed.
    void settle(std::int64_t ms);
    bool closed() { return rig.form().closed(); }

    // With TOLVAN_FUZZ_TRACE set in the environment: what the scenario came to, on stderr (the
    // messages shown, the frames the device heard, the screen), for looking into an input.
    void trace();

  private:
    int messages_ = 0;
};

}  // namespace tolvan::fuzz
