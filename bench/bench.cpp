// tolvan-bench: the measured-speed figures of Tolvan Link, in one run.
//
//   line efficiency  a three-image system programmed and verified against the emulator in real
//                    time; the wall time against the floor the protocol allows (its pauses, the
//                    answers' line time at 19200 baud and the emulator's answer delay)
//   poll cadence     the interval between link polls against a silent device, as the emulator
//                    timestamps them
//   start-up         process start to the main menu drawn, with a 500-row catalogue
//   core cost        CPU time and peak memory of verifying a 510-sector image on the simulated
//                    clock (tolvan-bench-core, a process of its own)
//   image read       LeArqBin on a 16 MB image: in the core (tolvan-bench-core read 16) and in
//                    the installed program, where it runs between the greeting of the image's
//                    verification and its name frame
//   flash bench      tolvan-flash programming and verifying the line-efficiency system on one
//                    device, then on a bench of 16 (one process each), in the same run: the
//                    bench's wall time against the single device's, the processor time of
//                    tolvan-flash's process tree per device, and each process's peak RSS
//   network ports    the same system on one device through ser2net on 127.0.0.1 against the
//                    device on a pty, through a proxy adding 10 ms each way, and 16 network
//                    devices at once against one, in the same run
//
// Options: --only line|poll|startup|core|image|flash|net (repeatable), --runs N (start-up runs,
// 15), --delay MS (the emulator's answer delay, 2), --keep (keep the temporary folders), -v.
// Exit code: 0 every goal met, 1 a goal missed, 2 a figure could not be measured.
#include <sys/resource.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "DamageWatch.h"
#include "DelayProxy.h"
#include "FrameLogLines.h"
#include "Harness.h"
#include "LineFloor.h"
#include "PortServer.h"
#include "platform/X11Windows.h"

namespace tolvan::bench {
namespace {

using namespace std::chrono_literals;
namespace e2e = tolvan::e2e;

constexpr const char* kMainWindow = "frmTolvanLink";
constexpr const char* kInformacao = "Informação";
constexpr const char* kConfirmacao = "Confirmação";

struct Options {
    std::set<std::string> only;
    int runs = 15;
    int delayMs = 2;
    bool verbose = false;
    bool wants(const std::string& name) const { return only.empty() || only.count(name) > 0; }
};

enum class Verdict { Pass, Miss, Error };

struct Figure {
    std::string name;
    std::string measured;
    std::string goal;
    Verdict verdict = Verdict::Error;
};

const char* verdictText(Verdict v) {
    return v == Verdict::Pass ? "PASS" : v == Verdict::Miss ? "MISS" : "ERROR";
}

std::string format(const char* pattern, auto... values) {
    char text[512];
    std::snprintf(text, sizeof text, pattern, values...);
    return text;
}

// A session of the installed program: its installation, the emulator on COM2, the program
// on the display, and an operator.
class Session {
  public:
    Session(const std::string& display, install::InstallOptions options,
            std::vector<std::string> emulatorArgs)
        : op_(display) {
        install_ = std::make_unique<e2e::Installation>(std::move(options));
        emulator_ = std::make_unique<e2e::Emulator>(install_->root(), std::move(emulatorArgs));
        if (!emulator_->ok()) throw std::runtime_error("the emulator gave no pty");
        install::writeSerialComm(install_->root(), {{"COM2", emulator_->pty()}});
    }

    void start(const std::string& display) { program_ = install_->start(display); }

    // The main window is up and its first activation has opened COM2.
    void waitMainMenu() {
        if (!op_.waitWindow(kMainWindow, 20s)) fail("no main window: " + op_.titles());
        if (!e2e::waitFor([&] { return opens() > 0; }, 10s)) fail("COM2 was not opened");
    }
    int opens() const {
        int n = 0;
        for (const LogLine& l : parseFrameLog(emulator_->frameLog()))
            n += l.dir == LogLine::Dir::Event && l.name == "open" ? 1 : 0;
        return n;
    }
    void keys(const std::string& title, const std::vector<std::string>& keys) {
        if (!op_.keys(title, keys)) fail("no window \"" + title + "\"");
    }
    void answer(const std::string& title, const std::vector<std::string>& k,
                std::chrono::milliseconds timeout = 20s) {
        if (!op_.waitWindow(title, timeout)) fail("no \"" + title + "\": " + op_.titles());
        keys(title, k);
        if (!op_.waitGone(title, 10s)) fail("\"" + title + "\" stays open");
    }
    // Escape on the main menu, Yes to leaving; the program ends.
    void leave() {
        keys(kMainWindow, {"Escape"});
        answer(kConfirmacao, {"Return"});
        if (!program_->waitExit(10s)) program_->stop();
    }

    e2e::Installation& installation() { return *install_; }
    e2e::Emulator& emulator() { return *emulator_; }
    e2e::Process& program() { return *program_; }

  private:
    [[noreturn]] static void fail(const std::string& why) { throw std::runtime_error(why); }

    e2e::Operator op_;
    std::unique_ptr<e2e::Installation> install_;
    std::unique_ptr<e2e::Emulator> emulator_;
    std::unique_ptr<e2e::Process> program_;
};

// The system of the line figures: three images of 40, 8 and 4 sectors. Names of up to 12
// characters: a longer one leaves the name frame without its fill byte, and the device answers it
// only after its 50 ms quiet gap.
install::SystemSpec bancada() {
    return {"Bancada", "BANCADA.BIN", 40, "BANCA_L.BIN", 8, "BANCA_2.BIN", 4};
}

// ---- line efficiency ----

Figure lineEfficiency(const std::string& display, const Options& o) {
    Figure fig{"line efficiency", "", "at most 3 % above the floor"};
    std::cout << "\n== Line efficiency: three images of 40, 8 and 4 sectors programmed and "
                 "verified, answer delay "
              << o.delayMs << " ms\n";
    install::InstallOptions options;
    options.systems = {bancada()};
    Session s(display, options, {"--delay", std::to_string(o.delayMs)});
    s.start(display);
    s.waitMainMenu();
    s.keys(kMainWindow, {"Return"});    // Conexão
    s.answer(kInformacao, {"Return"});  // unplug and replug the cable
    if (!e2e::waitFor([&] { return s.emulator().framesNamed("RespostaLink", "tx") > 0; }, 20s))
        throw std::runtime_error("no link answer");
    // The system list comes half a second after the answer.
    std::this_thread::sleep_for(1500ms);
    s.keys(kMainWindow, {"Return", "Return"});  // the system, then "Gravação & Verificação"
    s.answer(kInformacao, {"Return"}, 180s);    // " ARQUIVO VERIFICADO SEM ERROS ..."
    const std::vector<LogLine> log = parseFrameLog(s.emulator().frameLog());
    s.leave();

    LineModel model;
    model.answerDelayUs = o.delayMs * 1000;
    const LineFloor r = computeLineFloor(log, model);
    if (!r.ok) throw std::runtime_error("frame log: " + r.error);
    LineModel both = model;
    both.hostBytesOnLine = true;
    const LineFloor real = computeLineFloor(log, both);

    std::cout << format("  %d images, %d frames: %zu bytes from the host, %zu answer bytes\n",
                        r.images, r.frames, r.hostBytes, r.answerBytes)
              << format(
                     "  wall %.3f s   floor %.3f s (pauses %.3f s + answers on the line "
                     "%.3f s + answer delays %.3f s)\n",
                     r.wallUs / 1e6, r.floorUs / 1e6, r.pausesUs / 1e6, r.lineUs / 1e6,
                     r.delaysUs / 1e6)
              << format(
                     "  excess %+.2f %%  (against a 19200-baud line in both directions, "
                     "floor %.3f s: %+.2f %%)\n",
                     r.excessPercent(), real.floorUs / 1e6, real.excessPercent())
              << "  time beyond the floor by step:\n";
    for (const StepTotals& st : r.steps) {
        std::vector<double> late;
        for (const Step& e : r.each)
            if (e.kind == st.kind) late.push_back((e.measuredUs - e.idealUs) / 1e3);
        const Spread l = spreadOf(late);
        std::cout << format(
            "    %-13s %3d × %7.2f ms ideal: %+8.1f ms in all, each %+6.2f ms "
            "(%+.2f to %+.2f)\n",
            st.kind.c_str(), st.count, st.idealUs / 1e3 / st.count,
            (st.measuredUs - st.idealUs) / 1e3, l.mean, l.min, l.max);
    }
    // A step shorter than the protocol allows (beyond the emulator's stamping, well under a
    // millisecond) means a pause or timer of the program was cut short.
    int early = 0;
    double earliest = 0;
    for (const Step& e : r.each) {
        const double late = (e.measuredUs - e.idealUs) / 1e3;
        if (late < -1.0) ++early;
        earliest = std::min(earliest, late);
    }
    if (early > 0)
        std::cout << format("  %d steps came sooner than the protocol allows, by up to %.2f ms\n",
                            early, -earliest);
    if (o.verbose) {
        std::cout << "  every step, ideal and beyond:\n";
        for (const Step& e : r.each)
            std::cout << format("    %-13s to %-22s %8.2f ms %+7.2f ms\n", e.kind.c_str(),
                                e.frame.c_str(), e.idealUs / 1e3, (e.measuredUs - e.idealUs) / 1e3);
    }
    fig.measured = format("%+.2f %% (wall %.2f s, floor %.2f s)", r.excessPercent(), r.wallUs / 1e6,
                          r.floorUs / 1e6);
    fig.verdict = r.excessPercent() <= 3.0 ? Verdict::Pass : Verdict::Miss;
    return fig;
}

// ---- poll cadence ----

Figure pollCadence(const std::string& display, const Options&) {
    Figure fig{"poll cadence", "", "mean 5 ms ± 0.5 ms"};
    std::cout << "\n== Poll cadence: link polls against a silent device\n";
    Session s(display, {}, {"--silent"});
    s.start(display);
    s.waitMainMenu();
    s.keys(kMainWindow, {"Return"});  // Conexão
    s.answer(kInformacao, {"Return"});
    // "Não houve comunicação. Deseja abandonar ..." after the 400th tick; Yes gives up.
    s.answer(kConfirmacao, {"Return"}, 30s);
    const std::vector<LogLine> log = parseFrameLog(s.emulator().frameLog());
    s.leave();

    const Spread g = spreadOf(intervals(rxTimes(log, "CmdLink")));
    if (g.count < 100) throw std::runtime_error("too few link polls");
    std::cout << format(
        "  %zu intervals: mean %.3f ms, standard deviation %.3f ms, median %.3f "
        "ms, min %.3f ms, max %.3f ms\n",
        g.count, g.mean / 1e3, g.stddev / 1e3, g.median / 1e3, g.min / 1e3, g.max / 1e3);
    fig.measured =
        format("mean %.3f ms, sd %.3f ms (%zu intervals)", g.mean / 1e3, g.stddev / 1e3, g.count);
    fig.verdict = std::abs(g.mean / 1e3 - 5.0) <= 0.5 ? Verdict::Pass : Verdict::Miss;
    return fig;
}

// ---- start-up ----

std::vector<install::SystemSpec> catalogueOf(int rows) {
    std::vector<install::SystemSpec> systems;
    for (int i = 1; i <= rows; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "Sistema %03d", i);
        // The rows share their image files: start-up does not read them.
        systems.push_back({name, "SIS.BIN", 2, "SIS_L.BIN", 1, i % 3 ? "" : "SIS_2.BIN", 1});
    }
    return systems;
}

Figure startUp(const std::string& display, const Options& o) {
    Figure fig{"start-up", "", "median under 150 ms"};
    std::cout << "\n== Start-up: process start to the main menu drawn, 500-row catalogue, "
              << o.runs << " runs after one to warm up\n";
    install::InstallOptions options;
    options.systems = catalogueOf(500);
    Session s(display, options, {});
    DamageWatch watch(display, kMainWindow);
    if (!watch.ok()) throw std::runtime_error("no DAMAGE extension on the display");

    std::vector<double> drawn;
    for (int run = 0; run <= o.runs; ++run) {
        watch.reset();
        const auto t0 = Clock::now();
        s.start(display);
        // Done when the window is mapped and nothing has been drawn for a second.
        const auto deadline = t0 + 20s;
        bool done = false;
        while (!done && Clock::now() < deadline) {
            watch.pump(Clock::now() + 50ms);
            done = watch.mapped() && watch.lastDamage() && Clock::now() - *watch.lastDamage() >= 1s;
        }
        if (!done)
            throw std::runtime_error(format("the main menu did not settle (window %s, %d drawings)",
                                            watch.mapped() ? "mapped" : "not mapped",
                                            watch.damageEvents()));
        const double ms =
            std::chrono::duration<double, std::milli>(*watch.lastDamage() - t0).count();
        if (o.verbose) {
            std::cout << format("  run %2d: drawn at %.1f ms; drawings:", run, ms);
            for (const DamageWatch::Drawing& d : watch.drawings())
                std::cout << format(" %.1f ms %dx%d+%d+%d;",
                                    std::chrono::duration<double, std::milli>(d.at - t0).count(),
                                    d.width, d.height, d.x, d.y);
            std::cout << "\n";
        }
        if (run > 0) drawn.push_back(ms);
        if (o.verbose && run == o.runs) {
            const auto shot = std::filesystem::temp_directory_path() / "tolvan-bench-startup.png";
            e2e::Operator(display).screenshot(shot);
            std::cout << "  the screen as it was then: " << shot.string() << "\n";
        }
        X11Windows::closeWindowTitled(kMainWindow);
        if (!s.program().waitExit(10s)) s.program().stop();
    }
    const Spread d = spreadOf(drawn);
    std::cout << format(
        "  main menu drawn: median %.1f ms, mean %.1f ms, min %.1f ms, max %.1f "
        "ms\n",
        d.median, d.mean, d.min, d.max);
    fig.measured =
        format("median %.1f ms (%zu runs, %.1f to %.1f ms)", d.median, d.count, d.min, d.max);
    fig.verdict = d.median < 150 ? Verdict::Pass : Verdict::Miss;
    return fig;
}

// ---- core cost ----

// Runs tolvan-bench-core with `args` and returns its key=value figures.
std::map<std::string, std::string> benchCore(std::vector<std::string> args) {
    const std::filesystem::path dir = e2e::makeTempDir("tolvan-bench-core-");
    args.insert(args.begin(), TOLVAN_BENCH_CORE);
    std::string out;
    {
        e2e::Process p({args, {}, dir, dir / "out", {}});
        const std::optional<int> status = p.waitExit(120s);
        out = e2e::readFile(dir / "out");
        std::filesystem::remove_all(dir);
        if (status != 0) throw std::runtime_error("tolvan-bench-core: " + out);
    }
    std::cout << "  " << out;
    std::map<std::string, std::string> values;
    std::istringstream fields(out);
    std::string field;
    while (fields >> field)
        if (const auto eq = field.find('='); eq != std::string::npos)
            values[field.substr(0, eq)] = field.substr(eq + 1);
    return values;
}

// The peak resident set of a process, from its /proc status.
double peakMbOf(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6) / 1024;
    return -1;
}

Figure coreCost(const Options&) {
    Figure fig{"core cost", "", "under 50 ms CPU and 20 MB"};
    std::cout << "\n== Core cost: verifying a 510-sector image on the simulated clock, "
                 "diagnostic lists and receive log filling\n";
    const std::map<std::string, std::string> values = benchCore({});
    const double cpu = std::stod(values.at("cpu_ms"));
    const double peakMb = std::stod(values.at("peak_kb")) / 1024;
    fig.measured = format("%.1f ms CPU, %.1f MB peak", cpu, peakMb);
    fig.verdict = cpu < 50 && peakMb < 20 ? Verdict::Pass : Verdict::Miss;
    return fig;
}

// ---- image read ----

constexpr int kImagemGrandeMb = 16;

Figure imageReadCore(const Options&) {
    Figure fig{"image read", "", "under 1 s and 100 MB"};
    std::cout << "\n== Image read: LeArqBin on a " << kImagemGrandeMb
              << " MB image in the core, file-side diagnostic lists filling\n";
    const std::map<std::string, std::string> values =
        benchCore({"read", std::to_string(kImagemGrandeMb)});
    const double wall = std::stod(values.at("wall_ms"));
    const double peakMb = std::stod(values.at("peak_kb")) / 1024;
    fig.measured = format("%.0f ms, %.1f MB peak", wall, peakMb);
    fig.verdict = wall < 1000 && peakMb < 100 ? Verdict::Pass : Verdict::Miss;
    return fig;
}

// The installed program verifies a system whose main image is 16 MB (its catalogue count 1, so
// one sector is read back): the file is read between the image's greeting, 200 ms after which
// the read starts, and its name frame, which TimerCmd sends 200 ms after the read.
Figure imageReadInTheWindow(const std::string& display, const Options&) {
    Figure fig{"image read (window)", "", "under 1 s"};
    std::cout << "\n== Image read in the window: verifying a system whose main image is "
              << kImagemGrandeMb << " MB, in the installed program\n";
    install::SystemSpec big{"Grande", "GRANDE.BIN", kImagemGrandeMb * 4096, "GRANDE_L.BIN", 1, "",
                            0};
    install::InstallOptions options;
    options.systems = {big};
    e2e::Installation probe(options);  // only for its image files
    const std::filesystem::path bin = probe.programDir() / "bin";
    Session s(display, options,
              {"--no-pacing", "--program", "main:" + (bin / big.arquivo).string(), "--program",
               "L:" + (bin / big.arquivoL).string()});
    big.setor = 1;
    install::writeCatalogue(s.installation().programDir() / "Tabelas" / "TolvanLink.db", {big});
    s.start(display);
    s.waitMainMenu();
    const double beforeMb = peakMbOf(s.program().pid());
    s.keys(kMainWindow, {"Return"});
    s.answer(kInformacao, {"Return"});
    if (!e2e::waitFor([&] { return s.emulator().framesNamed("RespostaLink", "tx") > 0; }, 20s))
        throw std::runtime_error("no link answer");
    std::this_thread::sleep_for(1500ms);
    s.keys(kMainWindow, {"Return", "Down", "Down", "Return"});  // the system, "Verificação"
    s.answer(kInformacao, {"Return"}, 120s);                    // " ARQUIVO VERIFICADO SEM ERROS"
    const double peakMb = peakMbOf(s.program().pid());
    const std::vector<LogLine> log = parseFrameLog(s.emulator().frameLog());
    s.leave();

    // The main image's greeting (the last link poll before its name frame) and name frame.
    const std::vector<std::int64_t> links = rxTimes(log, "CmdLink");
    const std::vector<std::int64_t> nomes = rxTimes(log, "CmdNome");
    if (nomes.empty()) throw std::runtime_error("no image was verified");
    std::int64_t greeting = -1;
    for (std::int64_t t : links)
        if (t < nomes.front()) greeting = t;
    const double readMs = (nomes.front() - greeting) / 1e3 - 400;
    std::cout << format(
        "  greeting to name frame %.1f ms: the read took %.1f ms; the program's peak resident "
        "set %.1f MB (%.1f MB at the main menu)\n",
        readMs + 400, readMs, peakMb, beforeMb);
    fig.measured = format("%.0f ms, %.1f MB peak (%+.1f MB)", readMs, peakMb, peakMb - beforeMb);
    fig.verdict = readMs < 1000 ? Verdict::Pass : Verdict::Miss;
    return fig;
}

// ---- flash bench ----

// The processor time of every child process reaped so far, seconds.
double childrenCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct FlashTimes {
    double wallS = 0;
    double cpuS = 0;              // tolvan-flash and its children
    std::vector<double> deviceS;  // each device's time, from the summary (a bench)
    // Peak resident memory (VmHWM), MB: of each device's process (a bench's children, or the
    // one process), and of a bench's parent.
    std::vector<double> devicePeakMb;
    double parentPeakMb = 0;
};

// The children of `parent`, from /proc.
std::vector<pid_t> childrenOf(pid_t parent) {
    std::vector<pid_t> found;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream stat(entry.path() / "stat");
        std::string text;
        std::getline(stat, text);
        const auto close = text.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream fields(text.substr(close + 2));
        std::string state;
        pid_t ppid = 0;
        fields >> state >> ppid;
        if (ppid == parent) found.push_back(std::stoi(name));
    }
    return found;
}

// What the port map names for device n: its emulator's pty, or a port on another machine in
// front of it.
using PortFor = std::function<std::string(int n, const e2e::Emulator& device)>;

// tolvan-flash on `ports` (COM1 ...), with each device an emulator paced at 19200 baud.
FlashTimes runFlash(const e2e::Installation& install, int devices, const Options& o,
                    const PortFor& portFor = {}) {
    std::vector<std::unique_ptr<e2e::Emulator>> emulators;
    std::vector<install::PortEntry> ports;
    std::vector<std::string> argv = {e2e::flashExecutable().string(),
                                     "--root",
                                     install.root().string(),
                                     "--system",
                                     "Bancada",
                                     "--yes",
                                     "--json"};
    for (int n = 1; n <= devices; ++n) {
        const std::filesystem::path dir =
            install.cwd() / ("device" + std::to_string(devices) + "-" + std::to_string(n));
        // A folder of an earlier run holds the link to its emulator's pty, gone by now.
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        emulators.push_back(std::make_unique<e2e::Emulator>(
            dir, std::vector<std::string>{"--delay", std::to_string(o.delayMs)}));
        if (!emulators.back()->ok()) throw std::runtime_error("the emulator gave no pty");
        ports.push_back({"COM" + std::to_string(n),
                         portFor ? portFor(n, *emulators.back()) : emulators.back()->pty()});
        argv.insert(argv.end(), {"--port", ports.back().name});
    }
    install::writeSerialComm(install.root(), ports);

    const std::filesystem::path out = install.cwd() / "flash.out";
    FlashTimes r;
    const double cpuBefore = childrenCpuSeconds();
    const auto t0 = Clock::now();
    std::optional<int> status;
    {
        e2e::Process p({argv, {}, install.cwd(), out, {}});
        // VmHWM only grows: the last sample of a process before it ends is its peak, give or
        // take what it takes in its last 50 ms.
        std::map<pid_t, double> peaks;
        for (int i = 0; i < 12000 && p.running(); ++i) {
            r.parentPeakMb = std::max(r.parentPeakMb, peakMbOf(p.pid()));
            for (const pid_t child : childrenOf(p.pid()))
                peaks[child] = std::max(peaks[child], peakMbOf(child));
            std::this_thread::sleep_for(50ms);
        }
        status = p.waitExit(1s);
        for (const auto& [pid, mb] : peaks)
            if (mb > 0) r.devicePeakMb.push_back(mb);
        if (devices == 1) r.devicePeakMb = {r.parentPeakMb};
    }
    r.wallS = std::chrono::duration<double>(Clock::now() - t0).count();
    r.cpuS = childrenCpuSeconds() - cpuBefore;
    if (status != 0)
        throw std::runtime_error(format("tolvan-flash ended with %d: %s", status.value_or(-1),
                                        e2e::readFile(out).c_str()));
    std::istringstream lines(e2e::readFile(out));
    for (std::string line; std::getline(lines, line);) {
        const QJsonObject e = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
        if (e.value("event").toString() == "summary")
            r.deviceS.push_back(e.value("seconds").toDouble());
    }
    return r;
}

Figure flashBench(const Options& o) {
    constexpr int kBench = 16;
    Figure fig{"flash bench", "", "bench of 16 ≤ 1.05 × one; CPU < 2 % a device"};
    std::cout << "\n== Flash bench: tolvan-flash programming and verifying 40 + 8 + 4 sectors, "
                 "paced at 19200 baud, answer delay "
              << o.delayMs << " ms: one device, then " << kBench << " at once\n";
    install::InstallOptions options;
    options.systems = {bancada()};
    e2e::Installation install(options);
    const FlashTimes one = runFlash(install, 1, o);
    std::cout << format(
        "  one device:   wall %.2f s, CPU %.3f s (%.2f %% of a core), peak RSS "
        "%.1f MB\n",
        one.wallS, one.cpuS, 100 * one.cpuS / one.wallS, one.parentPeakMb);
    const FlashTimes bench = runFlash(install, kBench, o);
    const auto [least, most] =
        std::minmax_element(bench.devicePeakMb.begin(), bench.devicePeakMb.end());
    const bool sampled = !bench.devicePeakMb.empty();
    std::cout << format(
        "  %d devices: wall %.2f s, CPU %.3f s (%.2f %% of a core a device); peak RSS a "
        "device %.1f to %.1f MB (%zu sampled), the bench's parent %.1f MB; each device",
        kBench, bench.wallS, bench.cpuS, 100 * bench.cpuS / bench.wallS / kBench,
        sampled ? *least : 0.0, sampled ? *most : 0.0, bench.devicePeakMb.size(),
        bench.parentPeakMb);
    for (double s : bench.deviceS)
        std::cout << format(" %.2f s", s);
    std::cout << "\n";
    const double ratio = bench.wallS / one.wallS;
    const double cpuPercent =
        100 * std::max(one.cpuS / one.wallS, bench.cpuS / bench.wallS / kBench);
    fig.measured = format(
        "%.3f × (%.2f s / %.2f s), CPU %.2f %% a device, peak RSS %.1f MB a "
        "device",
        ratio, bench.wallS, one.wallS, cpuPercent, sampled ? *most : 0.0);
    fig.verdict = ratio <= 1.05 && cpuPercent < 2 ? Verdict::Pass : Verdict::Miss;
    return fig;
}

// ---- ports on another machine ----

Figure networkPorts(const Options& o) {
    constexpr int kBench = 16;
    constexpr auto kDelay = 10ms;
    Figure fig{"network ports", "",
               "ser2net ≤ 1.02 × pty; 16 ≤ 1.05 × one; +10 ms each way without time-out"};
    double load[1] = {0};
    ::getloadavg(load, 1);
    std::cout << "\n== Network ports: tolvan-flash programming and verifying 40 + 8 + 4 sectors, "
                 "paced at 19200 baud, answer delay "
              << o.delayMs << " ms, through ser2net on 127.0.0.1 (rfc2217://); load average "
              << format("%.1f", load[0]) << " at the start\n";
    install::InstallOptions options;
    options.systems = {bancada()};
    e2e::Installation install(options);
    std::vector<std::unique_ptr<e2e::PortServer>> servers;
    std::vector<std::unique_ptr<DelayProxy>> proxies;
    auto serve = [&](const e2e::Emulator& device) -> e2e::PortServer& {
        const std::string name = "server" + std::to_string(servers.size() + 1);
        servers.push_back(std::make_unique<e2e::PortServer>(e2e::PortServer::Kind::Ser2net,
                                                            install.cwd() / name, device.pty()));
        if (!servers.back()->ok()) throw std::runtime_error("ser2net did not listen");
        return *servers.back();
    };
    const PortFor throughSer2net = [&](int, const e2e::Emulator& d) { return serve(d).url(); };
    const PortFor throughProxy = [&](int, const e2e::Emulator& d) {
        proxies.push_back(std::make_unique<DelayProxy>(serve(d).port(), kDelay));
        return "rfc2217://127.0.0.1:" + std::to_string(proxies.back()->port());
    };
    auto measured = [&](const char* what, int devices, const PortFor& portFor) {
        const FlashTimes t = runFlash(install, devices, o, portFor);
        proxies.clear();
        servers.clear();
        std::cout << format("  %-44s wall %.2f s", what, t.wallS);
        for (double s : t.deviceS)
            std::cout << format(" %.2f", s);
        std::cout << "\n";
        return t;
    };
    const FlashTimes pty = measured("one device on a pty:", 1, {});
    const FlashTimes net = measured("the same through ser2net:", 1, throughSer2net);
    const FlashTimes far = measured("the same 10 ms further each way (a proxy):", 1, throughProxy);
    const FlashTimes bench =
        measured("16 devices, each through its ser2net:", kBench, throughSer2net);
    const double viaServer = net.wallS / pty.wallS;
    const double viaProxy = far.wallS / pty.wallS;
    const double benchRatio = bench.wallS / net.wallS;
    std::cout << format(
        "  ser2net against the pty %.3f ×; 10 ms each way %.3f × (%+.2f s, the run verified: no "
        "time-out); 16 against one %.3f ×\n",
        viaServer, viaProxy, far.wallS - pty.wallS, benchRatio);
    fig.measured = format("%.3f ×, %.3f × at +10 ms, 16: %.3f ×", viaServer, viaProxy, benchRatio);
    fig.verdict = viaServer <= 1.02 && benchRatio <= 1.05 ? Verdict::Pass : Verdict::Miss;
    return fig;
}

int run(const Options& o) {
    std::vector<Figure> figures;
    auto measure = [&](const std::string& key, const std::string& name, auto&& body) {
        if (!o.wants(key)) return;
        try {
            figures.push_back(body());
        } catch (const std::exception& e) {
            std::cout << "  could not measure: " << e.what() << "\n";
            figures.push_back({name, e.what(), "", Verdict::Error});
        }
    };

    std::unique_ptr<e2e::XServer> x;
    if (o.wants("line") || o.wants("poll") || o.wants("startup") || o.wants("image")) {
        x = std::make_unique<e2e::XServer>();
        if (x->ok()) setenv("DISPLAY", x->display().c_str(), 1);
    }
    auto display = [&]() -> const std::string& {
        if (!x || !x->ok()) throw std::runtime_error("no Xvfb");
        return x->display();
    };
    measure("line", "line efficiency", [&] { return lineEfficiency(display(), o); });
    measure("poll", "poll cadence", [&] { return pollCadence(display(), o); });
    measure("startup", "start-up", [&] { return startUp(display(), o); });
    measure("core", "core cost", [&] { return coreCost(o); });
    measure("image", "image read", [&] { return imageReadCore(o); });
    measure("image", "image read (window)", [&] { return imageReadInTheWindow(display(), o); });
    measure("flash", "flash bench", [&] { return flashBench(o); });
    measure("net", "network ports", [&] { return networkPorts(o); });

    std::cout << "\n";
    int status = 0;
    for (const Figure& f : figures) {
        std::cout << format("%-20s %-52s goal: %-28s %s\n", f.name.c_str(), f.measured.c_str(),
                            f.goal.c_str(), verdictText(f.verdict));
        if (f.verdict == Verdict::Miss) status = std::max(status, 1);
        if (f.verdict == Verdict::Error) status = 2;
    }
    return status;
}

}  // namespace
}  // namespace tolvan::bench

int main(int argc, char** argv) {
    tolvan::bench::Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::cerr << a << " needs a value\n";
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--only") {
            o.only.insert(next());
        } else if (a == "--runs") {
            o.runs = std::max(1, std::atoi(next().c_str()));
        } else if (a == "--delay") {
            o.delayMs = std::max(0, std::atoi(next().c_str()));
        } else if (a == "--keep") {
            setenv("TOLVAN_E2E_KEEP", "1", 1);
        } else if (a == "-v") {
            o.verbose = true;
        } else {
            std::cerr
                << "usage: tolvan-bench [--only line|poll|startup|core|image|flash|net] [--runs N] "
                   "[--delay MS] [--keep] [-v]\n";
            return 2;
        }
    }
    return tolvan::bench::run(o);
}
