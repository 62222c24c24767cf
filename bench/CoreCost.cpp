// tolvan-bench-core: what the core costs, in a process of its own so that its peak memory is the
// measured work's and nothing else's.
//   tolvan-bench-core             verifies a 510-sector image against the emulated device on the
//                                 simulated clock, with the diagnostic lists and the receive log
//                                 filling: cpu_ms=... peak_kb=... ...
//   tolvan-bench-core read <MB>   LeArqBin on an L image of that many megabytes (the file-side
//                                 diagnostic lists filling): wall_ms=... cpu_ms=... peak_kb=...
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>

#include "SimOperation.h"
#include "device/ImageStore.h"
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

// LeArqBin on an image of `megabytes` MB, written to disk in pieces so that the bench holds no
// copy of it.
int readImage(long megabytes) {
    using namespace tolvan;
    sim::TestRig rig;
    rig.setSystems({{"Grande", "M.BIN", 1, "GRANDE_L.BIN", 1, "", 0}});
    rig.start();
    const std::size_t bytes = static_cast<std::size_t>(megabytes) << 20;
    {
        const std::string piece = bench::imagePattern(1 << 16, 2);
        bench::writeImage(rig, "GRANDE_L.BIN", "");
        std::ofstream out(rig.root / "Orsolite" / "Tolvan Link" / "bin" / "GRANDE_L.BIN",
                          std::ios::binary | std::ios::app);
        for (std::size_t n = 0; n < bytes; n += piece.size())
            out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
    }
    Componentes& f = rig.componentes();
    f.run.ImagemL = true;
    f.run.NomeArq = "GRANDE_L.BIN";
    const long baselineKb = peakKb();
    const double cpuBefore = cpuMs();
    const auto wallBefore = std::chrono::steady_clock::now();
    bool ok = false;
    rig.form().dispatch([&] { ok = f.arquivos.LeArqBin(f.arquivos.caminhoImagem()); });
    const double wall =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wallBefore)
            .count();
    const double cpu = cpuMs() - cpuBefore;
    ok = ok && static_cast<std::size_t>(f.run.QtdBytesArq) == bytes;
    std::printf("wall_ms=%.1f cpu_ms=%.1f peak_kb=%ld baseline_kb=%ld bytes=%d result=%s\n", wall,
                cpu, peakKb(), baselineKb, f.run.QtdBytesArq, ok ? "ok" : "failed");
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tolvan;
    if (argc == 3 && std::string(argv[1]) == "read") return readImage(std::atol(argv[2]));
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

    Componentes& f = rig.componentes();
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
