// A run that the program is told to end from outside (Ctrl-C, a service or a time limit
// stopping it, the terminal or the desktop session going away) still ends as any ending does:
// the port closed and free again, the trace written, the report line and the end event saying
// "interrupted" and what the device was left holding, the status 128 + the signal, and nothing
// sent to the device after the frame under way. tolvan-flash alone, a bench of three, and the
// window in selector mode, each against the emulator at the line's own pace. Then files on a full
// disk: never half a report line, never a silently missing trace.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <csignal>
#include <fstream>

#include "FlashOutput.h"
#include "ProgramFixture.h"

namespace tolvan::e2e {
namespace {

namespace fs = std::filesystem;

enum class FrontEnd { Flash, Bench, Window };
enum class Moment { Handshake, Programming, Verification };

struct InterruptCase {
    FrontEnd frontEnd;
    int signal;
    Moment moment;
};
void PrintTo(const InterruptCase& c, std::ostream* os) {
    *os << (c.frontEnd == FrontEnd::Flash   ? "Flash"
            : c.frontEnd == FrontEnd::Bench ? "Bench"
                                            : "Window")
        << (c.signal == SIGINT    ? "Sigint"
            : c.signal == SIGTERM ? "Sigterm"
                                  : "Sighup")
        << (c.moment == Moment::Handshake     ? "InTheHandshake"
            : c.moment == Moment::Programming ? "MidProgramming"
                                              : "MidVerification");
}

// The frames the device received, link polls left out (a loaded machine may take a few polls'
// time to hear the signal).
int framesReceived(const Emulator& device) {
    std::istringstream log(device.frameLog());
    int count = 0;
    for (std::string line; std::getline(log, line);)
        count += line.find(" rx ") != std::string::npos &&
                 line.find(" rx CmdLink ") == std::string::npos;
    return count;
}

// Whether the tty is left in exclusive mode (which refuses the next opening but root's).
bool exclusive(const std::string& pty) {
    const int fd = ::open(pty.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return true;
    int taken = 0;
    ::ioctl(fd, TIOCGEXCL, &taken);
    ::close(fd);
    return taken != 0;
}

std::vector<QJsonObject> jsonLines(const std::string& text) {
    std::vector<QJsonObject> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(line));
        lines.push_back(doc.isObject() ? doc.object() : QJsonObject{{"not json", line.c_str()}});
    }
    return lines;
}

class InterruptTest : public ProgramTest, public ::testing::WithParamInterface<InterruptCase> {
  protected:
    void SetUp() override {
        if (GetParam().frontEnd == FrontEnd::Window) openDesktop(Desktop::Xvfb);
    }
};

TEST_P(InterruptTest, EndsWithItsFilesWholeAndThePortFree) {
    const InterruptCase& c = GetParam();
    install::InstallOptions options;
    options.systems = {sistemaCurto()};
    if (c.frontEnd == FrontEnd::Window) {
        options.selection = sistemaCurto().descricao;
        options.background = true;
    }
    install_ = std::make_unique<Installation>(std::move(options));

    // Paced at 19200 baud, so that each moment lasts. A device in the handshake leaves the first
    // polls unanswered, and answers the next run's.
    std::vector<std::string> emulatorArgs;
    if (c.moment == Moment::Handshake) emulatorArgs = {"--drop", "Link:1-600"};
    const int first = c.frontEnd == FrontEnd::Bench ? 1 : 2;
    const int last = c.frontEnd == FrontEnd::Bench ? 3 : 2;
    std::vector<std::unique_ptr<Emulator>> devices;
    std::vector<install::PortEntry> ports;
    std::vector<std::string> portArgs;
    for (int n = first; n <= last; ++n) {
        const fs::path dir = install_->cwd() / ("device" + std::to_string(n));
        fs::create_directories(dir);
        devices.push_back(std::make_unique<Emulator>(dir, emulatorArgs));
        ASSERT_TRUE(devices.back()->ok());
        ports.push_back({"COM" + std::to_string(n), devices.back()->pty()});
        portArgs.insert(portArgs.end(), {"--port", ports.back().name});
    }
    install::writeSerialComm(install_->root(), ports);

    const fs::path report = install_->cwd() / "units.jsonl";
    const fs::path out = install_->cwd() / "flash.out", err = install_->cwd() / "flash.err";
    std::unique_ptr<Process> run;
    if (c.frontEnd == FrontEnd::Window) {
        program_ = install_->start(programEnv_, programUnset_);
        ASSERT_TRUE(op_->waitWindow(kMainWindow, 20s)) << op_->titles();
        answer("Informação", {"Return"});  // unplug and replug the cable
    } else {
        std::vector<std::string> args = {flashExecutable().string(),
                                         "--root",
                                         install_->root(),
                                         "--system",
                                         "Curto",
                                         "--json",
                                         "--yes",
                                         "--trace",
                                         "T",
                                         "--report",
                                         report.string()};
        args.insert(args.end(), portArgs.begin(), portArgs.end());
        Process::Options o{args, {}, install_->cwd(), out, {}, {"DISPLAY", "WAYLAND_DISPLAY"}, err};
        o.ownProcessGroup = true;  // the signal reaches the group, as from a terminal
        run = std::make_unique<Process>(o);
    }
    Process& process = run ? *run : *program_;

    const char* frame = c.moment == Moment::Handshake     ? "Link"
                        : c.moment == Moment::Programming ? "GravaSetor"
                                                          : "LeSetor";
    ASSERT_TRUE(waitFor([&] { return devices.front()->framesNamed(frame) >= 1; }, 30s))
        << devices.front()->frameLog();
    std::vector<int> before;
    for (const auto& d : devices)
        before.push_back(framesReceived(*d));
    process.signal(c.signal);
    const std::optional<int> status = process.waitExit(20s);
    const std::string said = readFile(out) + readFile(err) + readFile(install_->programOutput());
    ASSERT_EQ(status, 128 + c.signal) << said;

    const char* left = c.moment == Moment::Handshake     ? "not programmed"
                       : c.moment == Moment::Programming ? "partly programmed"
                                                         : "programmed, not verified";
    if (c.frontEnd == FrontEnd::Window) {
        // The trace as at any close; nothing was shown for the interruption.
        EXPECT_NE(readFile(install_->cwd() / "APD.LOG").find("Port      Close"), std::string::npos);
        EXPECT_FALSE(readFile(install_->cwd() / "APD.TRC").empty());
    } else {
        // One end event and one report line per device, and for a bench its summary row.
        const std::vector<QJsonObject> events = jsonLines(readFile(out));
        const std::vector<QJsonObject> lines = jsonLines(readFile(report));
        ASSERT_EQ(lines.size(), devices.size()) << readFile(report);
        for (const install::PortEntry& port : ports) {
            std::vector<std::string> ends;
            for (const QJsonObject& e : events)
                if (e["port"].toString().toStdString() == port.name &&
                    (e["event"] == "end" || e["event"] == "summary"))
                    ends.push_back(e["event"].toString().toStdString() + " " +
                                   e["result"].toString().toStdString() + " " +
                                   std::to_string(e["code"].toInt()));
            const std::string end = "end interrupted " + std::to_string(128 + c.signal);
            EXPECT_EQ(ends, c.frontEnd == FrontEnd::Bench
                                ? (std::vector<std::string>{
                                      end, "summary interrupted " + std::to_string(128 + c.signal)})
                                : std::vector<std::string>{end})
                << said;
            const std::string trace =
                c.frontEnd == FrontEnd::Bench ? "T-" + port.name : std::string("T");
            EXPECT_NE(readFile(install_->cwd() / (trace + ".LOG")).find("Port      Close"),
                      std::string::npos)
                << trace;
        }
        for (const QJsonObject& line : lines) {
            EXPECT_EQ(line["outcome"], "Interrompido");
            EXPECT_EQ(line["code"], 128 + c.signal);
            EXPECT_EQ(line["device_left"], left);
        }
    }
    for (std::size_t i = 0; i < devices.size(); ++i) {
        const Emulator& d = *devices[i];
        // At most the frame under way as the signal came, and one that was sent before the
        // program took it (the device may log either late); never the command that runs the
        // system.
        EXPECT_LE(framesReceived(d) - before[i], 2) << d.frameLog();
        EXPECT_EQ(d.framesNamed("Executa"), 0) << d.frameLog();
        EXPECT_FALSE(exclusive(d.pty())) << d.pty();
    }

    // The ports open again at once, and the run verifies.
    const FlashOutput again = runFlash(*install_, [&] {
        std::vector<std::string> args = {"--system", "Curto", "--yes"};
        args.insert(args.end(), portArgs.begin(), portArgs.end());
        return args;
    }());
    EXPECT_EQ(again.status, 0) << again.describe();
}

std::vector<InterruptCase> cases() {
    std::vector<InterruptCase> all;
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        for (Moment moment : {Moment::Handshake, Moment::Programming, Moment::Verification})
            all.push_back({FrontEnd::Flash, signal, moment});
    // A bench and the window: each signal once, each at another moment.
    all.push_back({FrontEnd::Bench, SIGINT, Moment::Programming});
    all.push_back({FrontEnd::Bench, SIGTERM, Moment::Verification});
    all.push_back({FrontEnd::Bench, SIGHUP, Moment::Handshake});
    all.push_back({FrontEnd::Window, SIGINT, Moment::Verification});
    all.push_back({FrontEnd::Window, SIGTERM, Moment::Handshake});
    all.push_back({FrontEnd::Window, SIGHUP, Moment::Programming});
    return all;
}

INSTANTIATE_TEST_SUITE_P(Signals, InterruptTest, ::testing::ValuesIn(cases()),
                         [](const auto& info) { return ::testing::PrintToString(info.param); });

// A file system of 64 KiB of the test's own, filled up (root alone may mount one).
class FullDisk {
  public:
    explicit FullDisk(const fs::path& dir) : dir_(dir) {
        fs::create_directories(dir_);
        mounted_ = ::mount("tmpfs", dir_.c_str(), "tmpfs", 0, "size=64k") == 0;
    }
    ~FullDisk() {
        if (mounted_) ::umount2(dir_.c_str(), MNT_DETACH);
    }
    bool ok() const { return mounted_; }
    // Takes every free block.
    void fill() {
        std::ofstream filler(dir_ / "filler", std::ios::binary);
        const std::string block(4096, 'x');
        while (filler.write(block.data(), block.size()) && filler.flush()) {
        }
    }
    void makeRoom() { fs::remove(dir_ / "filler"); }

  private:
    fs::path dir_;
    bool mounted_ = false;
};

// On a full disk the report keeps only whole lines (the piece that was written is taken off
// again, exit 4), and a trace that could not be written is said to be so; once there is room the
// next run's line follows the earlier ones.
TEST(FullDiskTest, TheReportKeepsWholeLinesAndAnUnwrittenTraceIsTold) {
    const std::unique_ptr<Installation> install = installationOfOneShortSystem();
    const fs::path dir = install->cwd() / "full";
    FullDisk disk(dir);
    if (!disk.ok()) GTEST_SKIP() << "mounting a tmpfs needs root";
    Emulator device(install->cwd(), {"--no-pacing"});
    ASSERT_TRUE(device.ok());
    install::writeSerialComm(install->root(), {{"COM2", device.pty()}});

    // A whole line that leaves less room in its block than the next line needs.
    const fs::path report = dir / "units.jsonl";
    const std::string earlier = "{\"note\":\"" + std::string(4096 - 100 - 12, 'n') + "\"}\n";
    std::ofstream(report, std::ios::binary) << earlier;
    disk.fill();

    const std::vector<std::string> args = {
        "--port",   "COM2",         "--system", "Curto", "--yes", "--trace", (dir / "T").string(),
        "--report", report.string()};
    const FlashOutput full = runFlash(*install, args);
    EXPECT_EQ(full.status, 4) << full.describe();
    EXPECT_NE(
        full.err.find("bytes of the line were written (disk full?); they were taken off again"),
        std::string::npos)
        << full.err;
    EXPECT_NE(full.err.find("the serial trace was not written: " + (dir / "T.TRC").string() +
                            ": No space left on device"),
              std::string::npos)
        << full.err;
    EXPECT_EQ(readFile(report), earlier);

    disk.makeRoom();
    const FlashOutput roomy = runFlash(*install, args);
    EXPECT_EQ(roomy.status, 0) << roomy.describe();
    const std::vector<QJsonObject> lines = jsonLines(readFile(report));
    ASSERT_EQ(lines.size(), 2u) << readFile(report);
    EXPECT_EQ(lines[1]["result"], "verified");
    EXPECT_FALSE(readFile(dir / "T.TRC").empty());
}

}  // namespace
}  // namespace tolvan::e2e
