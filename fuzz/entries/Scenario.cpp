#include "Scenario.h"

#include <cstdio>
#include <cstdlib>

#include "texts/Mensagem.h"

namespace tolvan::fuzz {

Scenario::Scenario(emu::DeviceOptions options) : device(rig.loop, rig.serial, std::move(options)) {
    rig.dialogs.onMessage = [this](const MessageDialog& d) {
        if (++messages_ > kPatience) return kClosedByTitleBar;
        if (answer) return answer(d);
        return d.defaultCode != 0 ? d.defaultCode : kClosedByTitleBar;
    };
}

std::filesystem::path Scenario::bin() const {
    return rig.root / "Orsolite" / "Tolvan Link" / "bin";
}

void Scenario::writeImage(const std::string& name, std::string_view bytes) const {
    writeBytes(bin() / name, bytes);
}

void Scenario::startAndConnect() {
    rig.start();
    on([&] {
        f().painel.cliqueVisor(1);
        f().painel.btnConfirmaClick();
    });
}

bool Scenario::awaitList(std::int64_t maxMs) {
    return rig.loop.runUntil([&] { return closed() || f().nav.Tela == 1; }, maxMs) && !closed();
}

void Scenario::chooseSystem(int downs) {
    for (int k = 0; k < downs; ++k)
        on([&] { f().painel.btnDownClick(); });
    on([&] { f().painel.btnConfirmaClick(); });
}

void Scenario::startOperation(int linha) {
    on([&] {
        f().painel.cliqueVisor(linha);
        f().painel.btnConfirmaClick();
    });
}

void Scenario::settle(std::int64_t ms) {
    rig.loop.runUntil([&] { return closed(); }, ms);
}

}  // namespace tolvan::fuzz

namespace tolvan::fuzz {

void Scenario::trace() {
    if (!std::getenv("TOLVAN_FUZZ_TRACE")) return;
    std::fprintf(stderr, "-- at %lld ms: %s, screen %d, status \"%s\"\n",
                 static_cast<long long>(rig.loop.nowMs()), closed() ? "closed" : "open",
                 f().nav.Tela, f().lblStatus.caption().c_str());
    for (const std::string& m : rig.messages())
        std::fprintf(stderr, "   message: %s\n", m.c_str());
    for (const std::string& e : rig.desktop.errors)
        std::fprintf(stderr, "   error: %s\n", e.c_str());
    std::string frames;
    for (std::uint8_t code : device.framesHeard())
        frames += " " + std::to_string(code);
    std::fprintf(stderr, "   frames heard:%s\n", frames.c_str());
}

}  // namespace tolvan::fuzz
