// tolvan-flash against the emulator on pseudo-terminals, with no display at all: the events it
// prints with --json, how each run ends and its exit status, the catalogue list and a bench;
// and its parts that stand on this system's processes and files: the port doctor, the port
// list and a report's by-id link (the command line and the report lines on every system are
// in tests/unit/FlashCliTest).
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <fstream>
#include <functional>
#include <sstream>

#include "FlashOutput.h"
#include "cli/FlashOptions.h"
#include "cli/PortDoctor.h"
#include "cli/PortList.h"
#include "cli/UnitReport.h"
#include "device/FrameLog.h"
#include "link/Handshake.h"

namespace tolvan::e2e {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSemErros =
    " ARQUIVO VERIFICADO SEM ERROS \r\r O Tolvan Link será executado. ";

class FlashTest : public ::testing::Test {
  protected:
    void SetUp() override { install_ = installationOfOneShortSystem(); }
    void TearDown() override {
        if (holder_ >= 0) ::close(holder_);
    }

    // An emulator on a pty of its own, mapped to COM<n>.
    Emulator& device(int n, std::vector<std::string> args = {}) {
        const fs::path dir = install_->cwd() / ("device" + std::to_string(n));
        fs::create_directories(dir);
        args.insert(args.begin(), "--no-pacing");
        devices_.push_back(std::make_unique<Emulator>(dir, args));
        EXPECT_TRUE(devices_.back()->ok()) << "the emulator gave no pty";
        ports_.push_back({"COM" + std::to_string(n), devices_.back()->pty()});
        install_->mapPorts(ports_);
        return *devices_.back();
    }

    FlashOutput flash(std::vector<std::string> args, std::chrono::seconds timeout = 90s) {
        return runFlash(*install_, std::move(args), timeout);
    }

    // The device was told once to run its system (the emulator logs the frame a moment after
    // tolvan-flash has sent it and ended).
    static bool ranOnce(const Emulator& device) {
        waitFor([&] { return device.framesNamed("Executa") > 0; }, 5s);
        return device.framesNamed("Executa") == 1;
    }

    std::unique_ptr<Installation> install_;
    std::vector<std::unique_ptr<Emulator>> devices_;
    std::vector<install::PortEntry> ports_;
    int holder_ = -1;
};

// The whole run as the events tell it: the cable message, the connection, each image
// programmed and then verified in order with the status line's sectors, the verified end; and
// the device told to run the system once.
TEST_F(FlashTest, ProgramVerifyEventsTellTheWholeRun) {
    Emulator& emulator = device(2);
    const FlashOutput r = flash({"--port", "COM2", "--system", "Curto", "--json", "--yes"});
    ASSERT_EQ(r.status, 0) << r.describe();

    std::vector<std::string> kinds;
    for (const Event& e : r.events) {
        if (e.kind() != "sector") kinds.push_back(e.kind());
        EXPECT_EQ(e.get("port"), "COM2");
    }
    EXPECT_EQ(kinds, (std::vector<std::string>{"message", "connected", "image", "image", "image",
                                               "image", "message", "end"}));
    EXPECT_EQ(r.of("message").front().get("text"), kMsgDesconecteCabo);
    EXPECT_EQ(r.of("message").front().get("title"), "Informação");
    EXPECT_EQ(r.of("message").front().get("id"), "DesconecteCabo");
    EXPECT_EQ(r.of("message").back().get("id"), "VerificadoSemErros");

    // Each image's sector events follow it: the status line's "Setor: n/m" from 2 to m.
    const std::vector<std::tuple<std::string, std::string, std::string, int>> images = {
        {"program", "main", "TESTE.BIN", 2},
        {"program", "L", "TESTE_L.BIN", 1},
        {"verify", "main", "TESTE.BIN", 2},
        {"verify", "L", "TESTE_L.BIN", 1}};
    std::size_t image = 0;
    std::vector<int> sectors;
    for (const Event& e : r.events) {
        if (e.kind() == "image") {
            ASSERT_LT(image, images.size());
            const auto& [operation, name, file, count] = images[image];
            EXPECT_EQ(e.get("operation"), operation);
            EXPECT_EQ(e.get("image"), name);
            EXPECT_EQ(e.get("file"), file);
            EXPECT_EQ(e.number("sectors"), count);
            ++image;
            sectors.clear();
        } else if (e.kind() == "sector") {
            EXPECT_EQ(e.number("total"), std::get<3>(images[image - 1]));
            sectors.push_back(e.number("n"));
            if (sectors.back() == e.number("total")) {
                std::vector<int> expected;
                for (int n = 2; n <= e.number("total"); ++n)
                    expected.push_back(n);
                EXPECT_EQ(sectors, expected) << "image " << image;
            }
        }
    }
    EXPECT_EQ(image, images.size());
    EXPECT_EQ(r.of("message").back().get("text"), kSemErros);

    const Event end = r.events.back();
    EXPECT_EQ(end.get("result"), "verified");
    EXPECT_EQ(end.get("outcome"), "Verificado");
    EXPECT_EQ(end.number("code"), 0);
    EXPECT_EQ(end.get("text"), kSemErros);
    EXPECT_TRUE(ranOnce(emulator)) << emulator.frameLog();
    // Under --json, messages stay off standard error.
    EXPECT_EQ(r.err, "");

    // The frames the device received, polls aside, as the emulator notes them: the same on
    // every platform (the read-back matched, so the sectors' bytes were the files').
    std::vector<std::string> received;
    for (const emu::LogEntry& e : emu::parseFrameLog(emulator.frameLog()))
        if (e.dir == emu::LogEntry::Dir::Rx && e.name != "CmdLink")
            received.push_back(e.name + ": " + e.note);
    const auto imageFrames = [](std::string name, std::string file, std::string operation,
                                int sectors) {
        std::vector<std::string> frames = {
            "CmdNome: name " + file, "CmdEndereco1: ",
            "CmdEndereco2" + operation + ": " + name +
                (operation == "Gravacao" ? " write" : " read"),
            "CmdSetores" + operation + ": " + std::to_string(sectors) + " sectors"};
        for (int n = 1; n <= sectors; ++n)
            frames.push_back((operation == "Gravacao" ? "CmdGravaSetor: " : "CmdLeSetor: ") + name +
                             " sector " + std::to_string(n));
        return frames;
    };
    std::vector<std::string> expected;
    for (const auto& part : {imageFrames("main", "TESTE.BIN", "Gravacao", 2),
                             imageFrames("L", "TESTE_L.BIN", "Gravacao", 1),
                             imageFrames("main", "TESTE.BIN", "Leitura", 2),
                             imageFrames("L", "TESTE_L.BIN", "Leitura", 1),
                             std::vector<std::string>{"CmdExecuta: run"}})
        expected.insert(expected.end(), part.begin(), part.end());
    EXPECT_EQ(received, expected) << emulator.frameLog();
}

// ---- How a run ends, and its exit status ----

struct EndingCase {
    // ModemManagerRuns: a stand-in process of that name runs beside the run. TakePort: another
    // program has the tty for itself (TIOCEXCL) but no lock, as screen does.
    enum Setup { None, Preload, HoldPort, TakePort, RemoveImageL, ModemManagerRuns };
    const char* name;
    Setup setup;
    std::vector<std::string> emulatorArgs;
    std::vector<std::string> flashArgs;  // besides --json --yes, --system Curto unless given
    int status;
    const char* result;
    const char* outcome;
    const char* text;  // the end event's text starts with it
    const char* port = "COM2";
    const char* stderrHas = "";  // the port doctor's line, where one is due
};
void PrintTo(const EndingCase& c, std::ostream* os) {
    *os << c.name;
}

class FlashEndingTest : public FlashTest, public ::testing::WithParamInterface<EndingCase> {};

TEST_P(FlashEndingTest, EndsWithItsEventAndStatus) {
    const EndingCase& c = GetParam();
    const fs::path bin = install_->programDir() / "bin";
    std::vector<std::string> emulatorArgs = c.emulatorArgs;
    if (c.setup == EndingCase::Preload) {
        // The device holds the images already, as programming leaves them.
        emulatorArgs.insert(emulatorArgs.end(),
                            {"--program", "main:" + (bin / "TESTE.BIN").string(), "--program",
                             "L:" + (bin / "TESTE_L.BIN").string()});
    }
    Emulator& emulator = device(2, emulatorArgs);
    std::unique_ptr<Process> holder;
    const bool held = c.setup == EndingCase::HoldPort || c.setup == EndingCase::TakePort;
    if (held && underWine()) {
        // Wine keeps no COM port to one opener: another copy of the program holds it.
        holder = holdPortUnderWine("COM2", install_->cwd());
        ASSERT_TRUE(holder) << "the port holder could not take COM2";
    } else if (held) {
        // Another program holds the port, as a terminal program would: an exclusive lock and
        // exclusive use of the tty, or the latter alone (which root gets through).
        holder_ = ::open(emulator.pty().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(holder_, 0);
        if (c.setup == EndingCase::HoldPort) {
            ASSERT_EQ(::flock(holder_, LOCK_EX | LOCK_NB), 0);
        }
        ::ioctl(holder_, TIOCEXCL);
    }
    if (c.setup == EndingCase::RemoveImageL) fs::remove(bin / "TESTE_L.BIN");
    std::unique_ptr<Process> standIn;
    if (c.setup == EndingCase::ModemManagerRuns) {
        fs::copy_file("/bin/sleep", install_->cwd() / "ModemManager");
        standIn = std::make_unique<Process>(
            Process::Options{{(install_->cwd() / "ModemManager").string(), "60"}, {}, {}, {}, {}});
    }

    std::vector<std::string> args = {"--port", c.port, "--json", "--yes"};
    args.insert(args.end(), c.flashArgs.begin(), c.flashArgs.end());
    if (std::find(args.begin(), args.end(), "--system") == args.end())
        args.insert(args.end(), {"--system", "Curto"});
    const FlashOutput r = flash(args);

    ASSERT_EQ(r.status, c.status) << r.describe();
    ASSERT_FALSE(r.events.empty()) << r.describe();
    const Event& end = r.events.back();
    EXPECT_EQ(end.kind(), "end");
    EXPECT_EQ(end.get("result"), c.result);
    EXPECT_EQ(end.get("outcome"), c.outcome);
    EXPECT_EQ(end.number("code"), c.status);
    EXPECT_EQ(end.get("text").rfind(c.text, 0), 0u) << end.get("text");
    // Windows names no holder of a port: only that there is one.
    const std::string advice =
        held && underWine() ? "the device is held by another program" : c.stderrHas;
    EXPECT_NE(r.err.find(advice), std::string::npos) << r.describe();
    // The doctor's findings come with the end event of a port that failed to open or answer.
    EXPECT_EQ(end.json.contains("holders"), *c.stderrHas != '\0') << r.describe();
    // A run refused for its port or its input sends the device nothing but link polls; a dry
    // run sends nothing at all.
    const bool dryRun = std::find(args.begin(), args.end(), "--dry-run") != args.end();
    if ((c.status >= 3 && c.emulatorArgs.empty()) || dryRun) {
        std::istringstream log(emulator.frameLog());
        for (std::string line; std::getline(log, line);) {
            EXPECT_TRUE(line.find(" rx ") == std::string::npos ||
                        (!dryRun && line.find(" rx CmdLink ") != std::string::npos))
                << line;
        }
    }
}

using C = EndingCase;
INSTANTIATE_TEST_SUITE_P(
    Endings, FlashEndingTest,
    ::testing::Values(C{"ProgramOnly",
                        C::None,
                        {},
                        {"--program"},
                        0,
                        "programmed",
                        "Gravado",
                        " FIM DA GRAVAÇÃO \r\r O Tolvan Link será executado. "},
                      C{"VerifyWhatTheDeviceHolds",
                        C::Preload,
                        {},
                        {"--verify"},
                        0,
                        "verified",
                        "Verificado",
                        kSemErros},
                      C{"Mismatch",
                        C::None,
                        {"--corrupt", "L:0"},
                        {},
                        1,
                        "mismatch",
                        "ComErros",
                        " ARQUIVO VERIFICADO COM ERROS "},
                      C{"SilentInTheRun",
                        C::None,
                        {"--silent-from", "GravaSetor:2"},
                        {},
                        2,
                        "error",
                        "SemComunicacao",
                        "Não houve comunicação. \rO processo será abandonado! "},
                      // The emulator keeps its end of the pty open: the doctor says so.
                      C{"NoAnswerGivenUp",
                        C::None,
                        {"--silent"},
                        {"--connect-timeout", "0"},
                        2,
                        "error",
                        "SemComunicacao",
                        "",
                        "COM2",
                        " is open in process "},
                      // The adapter pulled out mid-run: the port's failure, not the time-out.
                      C{"HangUpInTheRun",
                        C::None,
                        {"--hangup-after", "GravaSetor:1"},
                        {},
                        3,
                        "error",
                        "FalhaDePorta",
                        "Falha na Porta de Comunicação."},
                      // The doctor names the holder: this test.
                      C{"PortHeldByAnotherProgram",
                        C::HoldPort,
                        {},
                        {},
                        3,
                        "error",
                        "FalhaDePorta",
                        "Porta de Comunicação Inválida!",
                        "COM2",
                        " is open in process "},
                      C{"PortTakenByAnotherProgram",
                        C::TakePort,
                        {},
                        {},
                        3,
                        "error",
                        "FalhaDePorta",
                        "Porta de Comunicação Inválida!",
                        "COM2",
                        " is open in process "},
                      C{"NoAnswerBesideModemManager",
                        C::ModemManagerRuns,
                        {"--silent"},
                        {"--connect-timeout", "0"},
                        2,
                        "error",
                        "SemComunicacao",
                        "",
                        "COM2",
                        "ModemManager (pid "},
                      C{"DryRunWouldStart", C::None, {}, {"--dry-run"}, 0, "ready", "Pronto", ""},
                      C{"DryRunMissingImage",
                        C::RemoveImageL,
                        {},
                        {"--dry-run"},
                        4,
                        "error",
                        "ArquivoInvalido",
                        "Arquivo não encontrado: "},
                      C{"DryRunPortHeld",
                        C::HoldPort,
                        {},
                        {"--dry-run", "--verify"},
                        3,
                        "error",
                        "FalhaDePorta",
                        "Porta de Comunicação Inválida!",
                        "COM2",
                        " is open in process "},
                      C{"PortNotInTheMap",
                        C::None,
                        {},
                        {},
                        3,
                        "error",
                        "FalhaDePorta",
                        "Porta de Comunicação Inválida!",
                        "COM7"},
                      C{"UnknownSystem",
                        C::None,
                        {},
                        {"--system", "curto"},
                        4,
                        "error",
                        "SistemaInexistente",
                        "Montadora inexistente no Tolvan Link."},
                      C{"MissingImage",
                        C::RemoveImageL,
                        {},
                        {},
                        4,
                        "error",
                        "ArquivoInvalido",
                        "Arquivo não encontrado: "}),
    [](const ::testing::TestParamInfo<EndingCase>& info) { return info.param.name; });

// The port map names the adapter by a stable link, as /dev/serial/by-id does. The adapter is
// pulled out mid-run (the device hangs up): the run ends at once with the port's failure and
// advice on standard error. Put back, the link points at a new node, and the next run opens it.
TEST_F(FlashTest, AdapterPutBackUnderItsStableName) {
    const fs::path link = install_->cwd() / "usb-Tolvan_Link-if00-port0";
    Emulator& first = device(2, {"--hangup-after", "LeSetor:1"});
    fs::create_symlink(first.pty(), link);
    install::writeSerialComm(install_->root(), {{"COM2", link.string()}});
    const auto started = Clock::now();
    FlashOutput r = flash({"--port", "COM2", "--system", "Curto", "--yes", "--json"});
    ASSERT_EQ(r.status, 3) << r.describe() << first.frameLog();
    EXPECT_EQ(r.events.back().get("outcome"), "FalhaDePorta");
    EXPECT_NE(r.err.find("the port failed under the run: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("USB adapter"), std::string::npos) << r.err;
    // The port is named once, as it was given, with the loss's cause.
    EXPECT_NE(r.err.find("tolvan-flash: COM2: the line was lost: hang-up (the adapter unplugged?)"),
              std::string::npos)
        << r.err;
    EXPECT_LT(Clock::now() - started, 20s) << "ended by a time-out, not by the hang-up";

    Emulator& second =
        device(3, {"--program", "main:" + (install_->programDir() / "bin" / "TESTE.BIN").string(),
                   "--program", "L:" + (install_->programDir() / "bin" / "TESTE_L.BIN").string()});
    fs::remove(link);
    fs::create_symlink(second.pty(), link);
    install::writeSerialComm(install_->root(), {{"COM2", link.string()}});
    r = flash({"--port", "COM2", "--system", "Curto", "--verify", "--yes", "--json"});
    ASSERT_EQ(r.status, 0) << r.describe() << second.frameLog();
    EXPECT_TRUE(ranOnce(second));
}

// ---- The catalogue and the command line ----

TEST_F(FlashTest, ListsTheCatalogueAndRefusesABadOne) {
    FlashOutput r = flash({"--list"});
    ASSERT_EQ(r.status, 0) << r.describe();
    EXPECT_EQ(r.out, "Teste Curto\n");

    // A description that an older import stored in Windows-1252 is read as such.
    const fs::path catalogue = install_->programDir() / "Tabelas" / "TolvanLink.db";
    install::writeCatalogue(catalogue,
                            {sistemaCurto(), {"Falc\xE3o", "F.BIN", 1, "F_L.BIN", 1, "", 0}});
    r = flash({"--list"});
    EXPECT_EQ(r.out, "Falcão\nTeste Curto\n") << r.describe();
    // And found by the search: the run goes on to the port, which is not in the map.
    r = flash({"--port", "COM2", "--system", "lcão"});
    EXPECT_EQ(r.status, 3) << r.describe();
    EXPECT_EQ(r.err.find("Montadora inexistente"), std::string::npos) << r.err;

    fs::remove(catalogue);
    r = flash({"--list"});
    EXPECT_EQ(r.status, 4) << r.describe();
    // The core's message, as "<title>: <text>" with its line breaks.
    EXPECT_NE(r.err.find("Informação: Nenhum sistema foi encontrado. \n"), std::string::npos)
        << r.err;

    r = flash({"--port", "COM2", "--system", "x", "--verify", "--program"});
    EXPECT_EQ(r.status, 4) << r.describe();
}

// --list-ports as the program runs it: the installation's port map against the machine; the
// emulator's pty, which the scan does not look for, is listed under its COMn (the emulator
// keeps its end open: it is named), and a mapped device that is not there is listed as such.
TEST_F(FlashTest, ListsThePortsOfTheMap) {
    device(2);
    ports_.push_back({"COM9", "/dev/ttyUSB-none"});
    install::writeSerialComm(install_->root(), ports_);
    const FlashOutput r = flash({"--list-ports", "--json"});
    ASSERT_EQ(r.status, 0) << r.describe();
    ASSERT_GE(r.events.size(), 2u) << r.describe();
    const Event& pty = r.events[r.events.size() - 2];
    EXPECT_EQ(pty.get("device"), devices_[0]->pty()) << r.describe();
    EXPECT_EQ(pty.json["com"].toArray(), QJsonArray{"COM2"});
    EXPECT_FALSE(pty.json["holders"].toArray().isEmpty()) << r.describe();
    EXPECT_EQ(r.events.back().json, (QJsonObject{{"event", "port"},
                                                 {"device", "/dev/ttyUSB-none"},
                                                 {"present", false},
                                                 {"com", QJsonArray{"COM9"}}}));
    EXPECT_EQ(flash({"--list", "--list-ports"}).status, 4);
}

// ---- A bench ----

// --read-to backs up what the device holds, byte for byte (the main image as the device keeps
// it: without the file's leading FF and 00 bytes, its last sector filled), sending no write
// and no CmdExecuta; a short answer leaves no file under its name; bin itself is refused.
TEST_F(FlashTest, ReadToBacksUpWhatTheDeviceHolds) {
    const fs::path bin = install_->programDir() / "bin";
    const std::string mainFile = readFile(bin / "TESTE.BIN"), lFile = readFile(bin / "TESTE_L.BIN");
    Emulator& whole = device(2, {"--program", "main:" + (bin / "TESTE.BIN").string(), "--program",
                                 "L:" + (bin / "TESTE_L.BIN").string()});
    device(3, {"--truncate-read", "L:1:100"});

    FlashOutput r = flash({"--port", "COM2", "--system", "Curto", "--yes", "--read-to", "copia"});
    ASSERT_EQ(r.status, 0) << r.describe();
    std::string kept = mainFile.substr(mainFile.find_first_not_of(std::string("\x00\xFF", 2)));
    kept.resize(2 * 256, '\0');
    EXPECT_EQ(readFile(install_->cwd() / "copia" / "TESTE.BIN"), kept);
    EXPECT_EQ(readFile(install_->cwd() / "copia" / "TESTE_L.BIN"), lFile);
    EXPECT_EQ(whole.framesNamed("GravaSetor"), 0);
    EXPECT_EQ(whole.framesNamed("Executa"), 0);

    r = flash({"--port", "COM3", "--system", "Curto", "--yes", "--json", "--read-to", "curta"});
    EXPECT_EQ(r.status, 2) << r.describe();
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(install_->cwd() / "curta"))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"TESTE.BIN"}) << "no L image, whole or in part";

    r = flash({"--port", "COM2", "--system", "Curto", "--yes", "--read-to", bin.string()});
    EXPECT_EQ(r.status, 4) << r.describe();
    EXPECT_NE(r.err.find("is the installation's bin"), std::string::npos) << r.err;
    EXPECT_EQ(readFile(bin / "TESTE.BIN"), mainFile);
}

// Four devices side by side, each in a process of its own: all verified, a summary row each.
// Without --json the messages name their port on standard error. Each appends its line to one
// report, with the files' hashes.
TEST_F(FlashTest, BenchOfFourAllVerified) {
    for (int n = 1; n <= 4; ++n)
        device(n);
    const fs::path report = install_->cwd() / "units.jsonl";
    const FlashOutput r =
        flash({"--port", "COM1", "--port", "COM2", "--port", "COM3", "--port", "COM4", "--system",
               "Curto", "--yes", "--report", report.string()});
    ASSERT_EQ(r.status, 0) << r.describe();
    const fs::path bin = install_->programDir() / "bin";
    const auto sha256 = [](const std::string& bytes) {
        return QCryptographicHash::hash(QByteArray::fromStdString(bytes),
                                        QCryptographicHash::Sha256)
            .toHex()
            .toStdString();
    };
    std::vector<std::string> units;
    std::istringstream reported(readFile(report));
    for (std::string line; std::getline(reported, line);) {
        const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
        units.push_back(o["port"].toString().toStdString() + " " +
                        o["result"].toString().toStdString());
        const std::string port = o["port"].toString().toStdString();
        EXPECT_EQ(o["device"].toString().toStdString(), devices_[port[3] - '1']->pty());
        const QJsonArray images = o["images"].toArray();
        ASSERT_EQ(images.size(), 2) << line;
        for (const QJsonValue image : images) {
            const std::string file = image["file"].toString().toStdString();
            EXPECT_EQ(image["sha256"].toString().toStdString(), sha256(readFile(bin / file)));
        }
    }
    std::sort(units.begin(), units.end());
    EXPECT_EQ(units, (std::vector<std::string>{"COM1 verified", "COM2 verified", "COM3 verified",
                                               "COM4 verified"}));
    // The summary: a header, then port, result and exit status a row.
    const auto table = r.out.find("Port ");
    ASSERT_NE(table, std::string::npos) << r.out;
    std::istringstream lines(r.out.substr(table));
    std::vector<std::string> rows;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string port, result, code;
        fields >> port >> result >> code;
        rows.push_back(port + " " + result + " " + code);
    }
    EXPECT_EQ(rows,
              (std::vector<std::string>{"Port Result Code", "COM1 verified 0", "COM2 verified 0",
                                        "COM3 verified 0", "COM4 verified 0"}));
    for (int n = 1; n <= 4; ++n) {
        EXPECT_NE(r.err.find("COM" + std::to_string(n) + ": Informação:  ARQUIVO VERIFICADO SEM"),
                  std::string::npos)
            << r.err;
        EXPECT_TRUE(ranOnce(*devices_[n - 1])) << devices_[n - 1]->frameLog();
    }
}

// One device of the bench fails: the others still verify, and the bench's status says so.
TEST_F(FlashTest, BenchWithAMismatchFails) {
    device(1);
    device(2, {"--corrupt", "main:5"});
    const FlashOutput r =
        flash({"--port", "COM1", "--port", "COM2", "--system", "Curto", "--json"});
    ASSERT_EQ(r.status, 5) << r.describe();
    std::map<std::string, std::string> results;
    for (const Event& e : r.of("summary"))
        results[e.get("port")] = e.get("result") + " " + std::to_string(e.number("code"));
    EXPECT_EQ(results,
              (std::map<std::string, std::string>{{"COM1", "verified 0"}, {"COM2", "mismatch 1"}}));
    // Each device's events are re-emitted with its port.
    for (const char* port : {"COM1", "COM2"}) {
        int connected = 0;
        for (const Event& e : r.of("connected"))
            connected += e.get("port") == port;
        EXPECT_EQ(connected, 1) << port;
    }
}

// ---- A bench's children ----

// Each child of a bench is started with arguments it accepts, and carries the options that
// concern its own device: the report it appends to, the dry run, a backup folder of its own.
// ---- The port doctor ----

// A pseudo-terminal of the test's own: only its master side is open here.
struct Pty {
    Pty() {
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0)
            slave = ::ptsname(master);
    }
    ~Pty() {
        if (master >= 0) ::close(master);
    }
    int master = -1;
    std::string slave;
};

struct SeenScan {
    std::size_t holders = 0;
    int unreadable = 0;
    std::string lines;
};

// What a user without privileges is told: the scan run in a child process as nobody.
SeenScan scanAsNobody(const std::string& device) {
    int fds[2];
    if (::pipe(fds) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        std::string out;
        if (::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0) {
            const cli::PortAdvice a{device, cli::holdersOf(device), {}};
            out = std::to_string(a.holders.holders.size()) + " " +
                  std::to_string(a.holders.unreadable) + "\n";
            for (const std::string& line : cli::adviceLines(a))
                out += line + "\n";
        }
        if (::write(fds[1], out.data(), out.size()) < 0) _exit(1);
        _exit(0);
    }
    ::close(fds[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    ::close(fds[0]);
    ::waitpid(pid, nullptr, 0);
    SeenScan seen;
    std::istringstream in(text);
    in >> seen.holders >> seen.unreadable >> std::ws;
    seen.lines.assign(std::istreambuf_iterator<char>(in), {});
    return seen;
}

// A second opener holds the pty: it is named with its pid and command whether the device is
// given as the pty or as a by-id link to it; a user who cannot see the others' processes is
// told so instead of "no holder"; and once it has gone, nobody holds the device.
TEST(PortDoctorTest, NamesTheProcessThatHoldsThePort) {
    Pty pty;
    ASSERT_FALSE(pty.slave.empty());
    const fs::path dir = makeTempDir("tolvan-doctor-");
    const fs::path link = dir / "usb-Tolvan_Cable_0001-if00-port0";
    fs::create_symlink(pty.slave, link);
    auto holder = std::make_unique<Process>(
        Process::Options{{"/bin/sh", "-c", "exec /bin/sleep 60 <" + pty.slave}, {}, {}, {}, {}});
    // The shell opens the pty before it execs sleep, and the command line reads empty while
    // the exec is under way: wait until the holder is sleep itself.
    ASSERT_TRUE(waitFor(
        [&] {
            const auto h = cli::holdersOf(pty.slave).holders;
            return h.size() == 1 && h[0].argv0 == "/bin/sleep";
        },
        5s));
    const std::string named =
        " is open in process " + std::to_string(holder->pid()) + " (sleep, /bin/sleep)";

    struct Case {
        const char* name;
        std::string device;
        bool asNobody;
    };
    for (const Case& c : {Case{"ThePty", pty.slave, false}, Case{"ALinkToIt", link.string(), false},
                          Case{"AsAnotherUser", pty.slave, true}}) {
        SCOPED_TRACE(c.name);
        if (c.asNobody) {
            if (::geteuid() != 0) continue;  // the holder is then this user's own
            const SeenScan seen = scanAsNobody(c.device);
            EXPECT_EQ(seen.holders, 0u);
            EXPECT_GT(seen.unreadable, 0);
            EXPECT_NE(seen.lines.find("could not be looked into (run as root"), std::string::npos)
                << seen.lines;
            EXPECT_EQ(seen.lines.find("no other process"), std::string::npos) << seen.lines;
            continue;
        }
        const cli::HolderScan scan = cli::holdersOf(c.device);
        ASSERT_EQ(scan.holders.size(), 1u);
        EXPECT_EQ(scan.holders[0].pid, holder->pid());
        EXPECT_EQ(scan.holders[0].command, "sleep");
        EXPECT_EQ(scan.holders[0].argv0, "/bin/sleep");
        const auto lines = cli::adviceLines({c.device, scan, {}});
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines[0], c.device + named);
    }

    holder.reset();
    const cli::HolderScan scan = cli::holdersOf(link);
    EXPECT_TRUE(scan.holders.empty());
    if (scan.unreadable == 0) {
        EXPECT_EQ(cli::adviceLines({"X", scan, {}}),
                  std::vector<std::string>{"no other process has X open"});
    }
    EXPECT_NE(cli::holdersOf((dir / "none").string()).error, "");
    fs::remove_all(dir);
}

// A running ModemManager or brltty is found by its process name and comes with its remedy.
TEST(PortDoctorTest, FindsTheDaemonsThatTakeSerialAdapters) {
    const fs::path dir = makeTempDir("tolvan-doctor-");
    struct Case {
        const char* process;
        const char* remedy;  // in the remedy
    };
    for (const Case& c :
         {Case{"ModemManager", "ENV{ID_MM_DEVICE_IGNORE}=\"1\""}, Case{"brltty", "brltty"}}) {
        SCOPED_TRACE(c.process);
        // A stand-in: a process of that name.
        fs::copy_file("/bin/sleep", dir / c.process);
        Process standIn({{(dir / c.process).string(), "60"}, {}, {}, {}, {}});
        std::vector<cli::Interferer> found;
        const auto mine = [&] {
            return std::find_if(found.begin(), found.end(),
                                [&](const auto& i) { return i.pid == standIn.pid(); });
        };
        ASSERT_TRUE(waitFor(
            [&] {
                found = cli::interferers("/dev/ttyUSB0");
                return mine() != found.end();
            },
            5s));
        EXPECT_EQ(mine()->process, c.process);
        EXPECT_NE(mine()->remedy.find(c.remedy), std::string::npos) << mine()->remedy;
        const std::string lines = cli::adviceLines({"/dev/ttyUSB0", {}, found}).back();
        EXPECT_NE(lines.find(std::string(c.process) + " (pid "), std::string::npos) << lines;
    }
    fs::remove_all(dir);
}

// A machine's serial devices as sysfs and /dev/serial/by-id show them, in a folder: an FT232
// adapter (ttyUSB7: its ids, serial number and strings, the driver ftdi_sio, a by-id link) and
// a UART (ttyS3, behind the serial core's own port and controller devices of newer kernels).
struct FakeMachine {
    fs::path dir = makeTempDir("tolvan-sys-");
    fs::path sys = dir / "sys", dev = dir / "dev", byId = dir / "by-id";
    std::string usbTty = (dev / "ttyUSB7").string(), uart = (dev / "ttyS3").string();
    std::string link = (byId / "usb-FTDI_FT232R_USB_UART_A10K1234-if00-port0").string();

    FakeMachine() {
        const fs::path usb = sys / "devices/pci0000:00/0000:00:14.0/usb1/1-2";
        const fs::path port = sys / "devices/platform/serial8250/serial8250:0/serial8250:0.3";
        driven(usb / "1-2:1.0/ttyUSB7", "usb-serial", "ftdi_sio");
        driven(port, "serial-base", "port");
        driven(port.parent_path(), "serial-base", "ctrl");
        driven(port.parent_path().parent_path(), "platform", "serial8250");
        for (const auto& [file, text] :
             std::vector<std::pair<const char*, const char*>>{{"idVendor", "0403"},
                                                              {"idProduct", "6001"},
                                                              {"serial", "A10K1234"},
                                                              {"manufacturer", "FTDI"},
                                                              {"product", "FT232R USB UART"}})
            std::ofstream(usb / file) << text << "\n";
        tty("ttyUSB7", usb / "1-2:1.0/ttyUSB7");
        tty("ttyS3", port);
        fs::create_directories(byId);
        fs::create_symlink(usbTty, link);
    }
    ~FakeMachine() { fs::remove_all(dir); }
    void driven(const fs::path& device, const char* bus, const char* driver) {
        const fs::path folder = sys / "bus" / bus / "drivers" / driver;
        fs::create_directories(device);
        fs::create_directories(folder);
        fs::create_directory_symlink(folder, device / "driver");
    }
    void tty(const char* name, const fs::path& device) {
        fs::create_directories(sys / "class/tty" / name);
        fs::create_directory_symlink(device, sys / "class/tty" / name / "device");
        fs::create_directories(dev);
        std::ofstream(dev / name).put('\0');
    }
};

// The adapter above a tty, found through its by-id link, with its ids, serial number and
// strings; the driver that serves a tty, past the serial core's own devices; a tty's by-id
// name. A UART has no adapter and no by-id name.
TEST(PortDoctorTest, WhatSysfsTellsOfATty) {
    const FakeMachine m;
    const cli::UsbAdapter usb = cli::usbAdapterOf(m.link, m.sys);
    EXPECT_EQ((std::vector{usb.vendorId, usb.productId, usb.serial, usb.manufacturer, usb.product}),
              (std::vector<std::string>{"0403", "6001", "A10K1234", "FTDI", "FT232R USB UART"}));
    EXPECT_EQ(cli::kernelDriverOf(m.usbTty, m.sys), "ftdi_sio");
    EXPECT_EQ(cli::stableNameOf(m.usbTty, m.byId), m.link);
    EXPECT_EQ(cli::usbAdapterOf(m.uart, m.sys).vendorId, "");
    EXPECT_EQ(cli::kernelDriverOf(m.uart, m.sys), "serial8250");
    EXPECT_EQ(cli::stableNameOf(m.uart, m.byId), "");
    // A file that opens and then fails to read (a process that ended meanwhile; here a folder)
    // reads as empty.
    EXPECT_EQ(cli::readKernelFile(m.sys.string()), "");
}

// --list-ports: the scanned devices in their order, each with the map's names for it (a by-id
// link and the node itself name the same adapter), then a pty that only the map names, with a
// by-id link of its own (a character device, as the real ones are) and held by another process,
// then the map's port on another machine (not connected to), then the entries that lead nowhere
// (a refused address among them); as text and as JSON.
TEST(PortListTest, EachDeviceWithItsNamesThenTheEntriesThatLeadNowhere) {
    const FakeMachine m;
    Pty pty;
    ASSERT_FALSE(pty.slave.empty());
    const std::string ptyLink = (m.byId / "usb-Tolvan_Pty_0001-if00-port0").string();
    fs::create_symlink(pty.slave, ptyLink);
    Process holder({{"/bin/sh", "-c", "exec /bin/sleep 60 <" + pty.slave}, {}, {}, {}, {}});
    ASSERT_TRUE(waitFor(
        [&] {
            const auto h = cli::holdersOf(pty.slave).holders;
            return h.size() == 1 && h[0].argv0 == "/bin/sleep";
        },
        5s));
    const std::string nowhere = (m.dev / "ttyUSB9").string();
    const auto ports = cli::listPorts({m.uart, m.usbTty},
                                      {{"COM2", pty.slave},
                                       {"COM3", m.link},
                                       {"COM4", m.usbTty},
                                       {"COM5", nowhere},
                                       {"COM6", "rfc2217://bench-07:3001"},
                                       {"COM7", "socket://bench-07:3001/x"}},
                                      {m.sys, m.byId});

    const std::string pid = std::to_string(holder.pid());
    EXPECT_EQ(cli::portListText(ports),
              m.uart +
                  "  not in the port map\n"
                  "    driver   serial8250\n" +
                  m.usbTty + "  COM3, COM4\n    by-id    " + m.link +
                  "\n"
                  "    USB      0403:6001, serial A10K1234 (FTDI, FT232R USB UART)\n"
                  "    driver   ftdi_sio\n" +
                  pty.slave + "  COM2\n    by-id    " + ptyLink + "\n    open in  process " + pid +
                  " (sleep, /bin/sleep)\n" +
                  "COM6 -> rfc2217://bench-07:3001: on another machine, RFC 2217 at bench-07:3001 "
                  "(not tried)\n"
                  "COM5 -> " +
                  nowhere +
                  ": not there\nCOM7 -> socket://bench-07:3001/x: not a device of this machine\n");
    ASSERT_EQ(ports.size(), 6u);
    const QJsonObject usb = cli::portEvent(ports[1]);
    EXPECT_EQ(usb["by_id"].toString().toStdString(), m.link);
    EXPECT_EQ(usb["serial"].toString(), "A10K1234");
    EXPECT_EQ(usb["com"].toArray(), (QJsonArray{"COM3", "COM4"}));
    EXPECT_TRUE(usb["holders"].toArray().isEmpty());
    EXPECT_TRUE(cli::portEvent(ports[0])["by_id"].isNull());
    EXPECT_EQ(cli::portEvent(ports[2])["holders"].toArray()[0].toObject()["pid"].toInteger(),
              holder.pid());
    EXPECT_EQ(cli::portEvent(ports[3])["network"].toObject()["port"].toInt(), 3001);
    EXPECT_TRUE(cli::portEvent(ports[3])["present"].isNull());
    EXPECT_EQ(cli::portEvent(ports[4]), (QJsonObject{{"event", "port"},
                                                     {"device", QString::fromStdString(nowhere)},
                                                     {"present", false},
                                                     {"com", QJsonArray{"COM5"}}}));
}

// ---- The report ----

// A by-id link is told in the report with what it links to.
TEST(UnitReportTest, ByIdLinkToldWithItsTarget) {
    const fs::path dir = makeTempDir("tolvan-report-");
    fs::create_symlink("/dev/null", dir / "by-id");
    EXPECT_EQ(
        cli::beginRecord("COM2", (dir / "by-id").string(), "", Operacao::Gravacao).deviceTarget,
        "/dev/null");
    EXPECT_EQ(cli::beginRecord("COM2", "/dev/null", "", Operacao::Gravacao).deviceTarget, "");
    fs::remove_all(dir);
}

}  // namespace
}  // namespace tolvan::e2e
