// tolvan-bench-core: verifies a 510-sector image against the emulated device on the simulated
// clock, with the diagnostic lists and the receive log filling, and prints what it cost:
//   cpu_ms=<CPU time of the verification> peak_kb=<peak resident set of the process> ...
// A process of its own, so that its peak memory is the verification's and nothing else's.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>

#include "SimOperation.h"
#include "emulator/ImageStore.h"
#include "sim/SimDevice.h"

namespace {

constexpr int kSetores = 510;

double cpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// The peak resident set of this address space. Not getrusage's ru_maxrss: Linux carries that
// over an exec from the parent (posix_spawn shares the parent's memory until the exec).
long peakKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

int sectorsRead(const tolvan::sim::SimDevice& device) {
    int n = 0;
    for (std::uint8_t code : device.framesHeard())
        n += code == 0x09 ? 1 : 0;
    return n;
}

}  // namespace

int main() {
    using namespace tolvan;
    sim::TestRig rig;
    sim::SimDevice device(rig.loop, rig.serial);
    // The receive log shows when debug.txt lies in the current folder (the rig's root).
    std::ofstream(rig.root / "debug.txt") << "";

    const std::string main = bench::imagePattern(kSetores * 256, 1);
    const std::string l = bench::imagePattern(256, 2);
    bench::writeImage(rig, "GRANDE.BIN", main);
    bench::writeImage(rig, "GRANDE_L.BIN", l);
    // The device already holds what programming leaves, so only verification runs.
    device.store().setImage(emu::kMainImage, emu::asProgrammed(main, true));
    device.store().setImage(emu::kLImage, emu::asProgrammed(l, false));

    FrmTolvanLink& f = rig.form();
    std::size_t mostLines = 0;
    auto countLines = [&] {
        std::size_t n = 0;
        for (int b = 0; b < 4; ++b)
            n += f.diagnostico.ladoArquivo(b).count() + f.diagnostico.ladoLido(b).count();
        mostLines = std::max(mostLines, n);
    };

    const long baselineKb = peakKb();
    const double before = cpuMs();
    const std::string message =
        bench::runOperation(rig, {"Grande", "GRANDE.BIN", kSetores, "GRANDE_L.BIN", 1, "", 0},
                            bench::kVerificacao, countLines);
    const double cpu = cpuMs() - before;

    const bool ok = message.rfind(" ARQUIVO VERIFICADO SEM ERROS", 0) == 0;
    std::printf(
        "cpu_ms=%.2f peak_kb=%ld baseline_kb=%ld diagnostic_lines=%zu receive_log=%zu "
        "sectors_read=%d result=%s\n",
        cpu, peakKb(), baselineKb, mostLines, f.Memo1.lines().size(), sectorsRead(device),
        ok ? "ok" : "failed");
    return ok ? 0 : 1;
}
