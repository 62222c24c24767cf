// tolvan-flash on ports on another machine: the emulator on a pty behind a serial port server
// on 127.0.0.1 (Debian's ser2net, and pyserial's RFC 2217 port manager as a second,
// independent server), named in the port map as rfc2217:// or socket://. One table: runs that
// verify, a mismatch, images full of FF, and every way the network can fail, each with its
// exit status and the fault the end event names; then a bench of network and local ports.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <thread>

#include "FlashOutput.h"
#include "PortServer.h"

namespace tolvan::e2e {
namespace {

namespace fs = std::filesystem;
using Kind = PortServer::Kind;
using Accepter = PortServer::Accepter;

// A port of 127.0.0.1 held by the test: a socket that never accepts, so that connections to
// it are made by the kernel and then hear nothing (Mute); or one whose queue is filled first,
// so that the next connection's first packet is dropped and it never completes (Full); or one
// that does not listen at all, so that every connection is refused (Closed), while no other
// program can take the port meanwhile.
class Listener {
  public:
    enum Kind { Mute, Full, Closed };
    explicit Listener(Kind kind) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof a;
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            (kind != Closed && ::listen(fd_, kind == Full ? 0 : 8) != 0) ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &length) != 0)
            return;
        port_ = ntohs(a.sin_port);
        if (kind == Full) filler_ = connectTo(port_);
    }
    ~Listener() {
        if (filler_ >= 0) ::close(filler_);
        if (fd_ >= 0) ::close(fd_);
    }
    std::uint16_t port() const { return port_; }

    // A client connection to 127.0.0.1:port, kept open by its owner.
    static int connectTo(std::uint16_t port) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(port);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            ::close(fd);
            return -1;
        }
        return fd;
    }

  private:
    int fd_ = -1;
    int filler_ = -1;
    std::uint16_t port_ = 0;
};

struct NetCase {
    enum Setup {
        Served,          // the server in front of the emulator
        Unresolvable,    // a host name that cannot be found
        NothingListens,  // a port nobody listens on
        QueueFull,       // a listener whose queue is full: the connection never completes
        Mute,            // a listener that takes the connection and never says a word
        Taken,           // another client holds the server's port
        StopsMidRun,     // the server ends while the device is programmed
    };
    const char* name;
    Setup setup;
    Accepter accepter = Accepter::Rfc2217;
    std::vector<std::string> emulatorArgs = {};
    std::vector<std::string> flashArgs = {};  // besides --json --yes --system Curto
    int status = 0;
    const char* outcome = "Verificado";
    const char* fault = "";      // the end event's network.fault; none: no network object
    const char* stderrHas = "";  // what the port doctor says
    bool eachServer = true;      // the case involves the server: run against both
    bool ffImages = false;       // the system's images are full of FF
};

struct NetParam {
    NetCase c;
    Kind server;
};
void PrintTo(const NetParam& p, std::ostream* os) {
    *os << p.c.name << " on " << PortServer::name(p.server);
}

class NetworkPortTest : public ::testing::TestWithParam<NetParam> {
  protected:
    void SetUp() override { install_ = installationOfOneShortSystem(); }
    void TearDown() override {
        if (holder_ >= 0) ::close(holder_);
    }

    Emulator& emulator(const std::string& name, std::vector<std::string> args = {}) {
        const fs::path dir = install_->cwd() / name;
        fs::create_directories(dir);
        args.insert(args.begin(), "--no-pacing");
        devices_.push_back(std::make_unique<Emulator>(dir, args));
        EXPECT_TRUE(devices_.back()->ok()) << "the emulator gave no pty";
        return *devices_.back();
    }
    PortServer& server(Kind kind, const std::string& name, const Emulator& device,
                       Accepter accepter = Accepter::Rfc2217) {
        servers_.push_back(std::make_unique<PortServer>(kind, install_->cwd() / (name + "-server"),
                                                        device.pty(), accepter));
        EXPECT_TRUE(servers_.back()->ok()) << PortServer::name(kind) << " did not listen";
        return *servers_.back();
    }
    FlashOutput flash(std::vector<std::string> args) { return runFlash(*install_, args, 90s); }

    std::unique_ptr<Installation> install_;
    std::vector<std::unique_ptr<Emulator>> devices_;
    std::vector<std::unique_ptr<PortServer>> servers_;
    int holder_ = -1;
};

TEST_P(NetworkPortTest, EndsWithItsStatusAndNamesTheFault) {
    const NetCase& c = GetParam().c;
    if (c.ffImages) {
        // Every byte the device keeps is FF but the first of the main image, which the
        // program's skipping of leading FF and 00 bytes must not take.
        const fs::path bin = install_->programDir() / "bin";
        std::ofstream(bin / "TESTE.BIN", std::ios::binary)
            << std::string(3, '\xFF') << 'A' << std::string(2 * 256 - 4, '\xFF');
        std::ofstream(bin / "TESTE_L.BIN", std::ios::binary) << std::string(256, '\xFF');
    }
    Emulator& device = emulator("device", c.emulatorArgs);
    std::unique_ptr<Listener> listener;
    std::string url;
    switch (c.setup) {
        case NetCase::Served:
        case NetCase::Taken:
        case NetCase::StopsMidRun:
            url = server(GetParam().server, "device", device, c.accepter).url();
            break;
        case NetCase::Unresolvable:
            url = "rfc2217://tolvan-bench.invalid:3001";
            break;
        case NetCase::NothingListens:
        case NetCase::QueueFull:
        case NetCase::Mute:
            listener =
                std::make_unique<Listener>(c.setup == NetCase::NothingListens ? Listener::Closed
                                           : c.setup == NetCase::QueueFull    ? Listener::Full
                                                                              : Listener::Mute);
            url = (c.accepter == Accepter::Raw ? "socket://127.0.0.1:" : "rfc2217://127.0.0.1:") +
                  std::to_string(listener->port());
            break;
    }
    if (c.setup == NetCase::Taken) {
        holder_ = Listener::connectTo(servers_.back()->port());
        ASSERT_GE(holder_, 0);
    }
    install::writeSerialComm(install_->root(), {{"COM5", url}});

    std::thread stopper;
    if (c.setup == NetCase::StopsMidRun) {
        stopper = std::thread([&] {
            waitFor([&] { return device.framesNamed("GravaSetor") >= 1; }, 60s);
            servers_.back()->stop();
        });
    }
    std::vector<std::string> args = {"--port", "COM5", "--json", "--yes", "--system", "Curto"};
    args.insert(args.end(), c.flashArgs.begin(), c.flashArgs.end());
    const auto started = Clock::now();
    const FlashOutput r = flash(args);
    const auto took = Clock::now() - started;
    if (stopper.joinable()) stopper.join();

    ASSERT_EQ(r.status, c.status) << r.describe() << device.frameLog();
    ASSERT_FALSE(r.events.empty()) << r.describe();
    const Event& end = r.events.back();
    EXPECT_EQ(end.get("outcome"), c.outcome) << r.describe();
    EXPECT_NE(r.err.find(c.stderrHas), std::string::npos) << r.describe();
    if (*c.fault) {
        const QJsonObject network = end.json.value("network").toObject();
        EXPECT_EQ(network.value("fault").toString().toStdString(), c.fault) << r.describe();
        EXPECT_EQ(network.value("url").toString().toStdString(), url);
        // The doctor's line names the port's address, so its host and port.
        EXPECT_NE(r.err.find(url + ": "), std::string::npos) << r.err;
    } else {
        EXPECT_FALSE(end.json.contains("network")) << r.describe();
    }
    // Faults end at once, as a pulled adapter does: an opening is bounded, a loss is not
    // waited out by the run's time-out. (A silent raw server can only be waited out.)
    if (c.status == 3) {
        EXPECT_LT(took, 20s) << r.describe();
    }
    // Without --trace, no trace litters the working folder.
    EXPECT_FALSE(fs::exists(install_->cwd() / "APD.TRC"));
    // After success the device is told once to run the system.
    if (c.status == 0) {
        EXPECT_TRUE(waitFor([&] { return device.framesNamed("Executa") == 1; }, 5s));
    }
}

using C = NetCase;
// clang-format off
const std::vector<NetCase> kCases = {
    {"ProgramVerify", C::Served},
    {"ProgramVerifyRaw", C::Served, Accepter::Raw},
    {"ImagesFullOfFF", C::Served, Accepter::Rfc2217, {}, {}, 0, "Verificado", "", "", true, true},
    {"ImagesFullOfFFRaw", C::Served, Accepter::Raw, {}, {}, 0, "Verificado", "", "", true, true},
    {"Mismatch", C::Served, Accepter::Rfc2217, {"--corrupt", "L:0"}, {}, 1, "ComErros"},
    {"HostNotFound", C::Unresolvable, Accepter::Rfc2217, {}, {}, 3, "FalhaDePorta",
     "host-not-found", "host tolvan-bench.invalid not found", false},
    {"NothingListens", C::NothingListens, Accepter::Rfc2217, {}, {}, 3, "FalhaDePorta", "refused",
     "refused the connection: ser2net is not running on 127.0.0.1", false},
    {"ConnectionTimesOut", C::QueueFull, Accepter::Rfc2217, {}, {}, 3, "FalhaDePorta",
     "timed-out", "did not answer the connection in time", false},
    {"AcceptsAndNeverAnswers", C::Mute, Accepter::Rfc2217, {}, {}, 3, "FalhaDePorta", "no-answer",
     "never answered the telnet negotiation", false},
    // Raw TCP has nothing to answer at opening: the device's silence is all there is.
    {"RawAcceptsAndNeverAnswers", C::Mute, Accepter::Raw, {}, {"--connect-timeout", "0"}, 2,
     "SemComunicacao", "none", "the port opened but the device did not answer", false},
    {"TakenByAnotherClient", C::Taken, Accepter::Rfc2217, {}, {}, 3, "FalhaDePorta",
     "closed-by-server", "another client has the port"},
    {"NotRfc2217", C::Served, Accepter::PlainTelnet, {}, {}, 3, "FalhaDePorta", "not-rfc2217",
     "refuses RFC 2217's COM-PORT-OPTION", false},
    {"ServerStopsMidRun", C::StopsMidRun, Accepter::Rfc2217, {}, {}, 3, "FalhaDePorta", "lost",
     "the port failed under the run: rfc2217://"},
    {"DeviceHangsUpBehindTheServer", C::Served, Accepter::Rfc2217,
     {"--hangup-after", "GravaSetor:1"}, {}, 3, "FalhaDePorta", "lost",
     "the server closed the connection"},
};
// clang-format on

std::vector<NetParam> params() {
    std::vector<NetParam> all;
    for (const Kind kind : {Kind::Ser2net, Kind::PortManager})
        for (const NetCase& c : kCases)
            if (kind == Kind::Ser2net || c.eachServer) all.push_back({c, kind});
    return all;
}

INSTANTIATE_TEST_SUITE_P(Table, NetworkPortTest, ::testing::ValuesIn(params()),
                         [](const ::testing::TestParamInfo<NetParam>& info) {
                             return std::string(info.param.c.name) + "_" +
                                    PortServer::name(info.param.server);
                         });

// A bench of four ports on another machine and one on this one, side by side: all verified,
// the network's devices with their addresses in the report.
class NetworkBenchTest : public NetworkPortTest {};

TEST_P(NetworkBenchTest, FourNetworkPortsAndALocalOneAllVerify) {
    std::vector<install::PortEntry> ports;
    for (int n = 1; n <= 4; ++n) {
        const std::string name = "device" + std::to_string(n);
        const Accepter a = n % 2 ? Accepter::Rfc2217 : Accepter::Raw;
        ports.push_back(
            {"COM" + std::to_string(n), server(GetParam().server, name, emulator(name), a).url()});
    }
    ports.push_back({"COM5", emulator("local").pty()});
    install::writeSerialComm(install_->root(), ports);
    const fs::path report = install_->cwd() / "units.jsonl";
    const FlashOutput r =
        flash({"--port", "COM1", "--port", "COM2", "--port", "COM3", "--port", "COM4", "--port",
               "COM5", "--system", "Curto", "--yes", "--json", "--report", report.string()});
    ASSERT_EQ(r.status, 0) << r.describe();
    std::map<std::string, std::string> results;
    for (const Event& e : r.of("summary"))
        results[e.get("port")] = e.get("result");
    EXPECT_EQ(results, (std::map<std::string, std::string>{{"COM1", "verified"},
                                                           {"COM2", "verified"},
                                                           {"COM3", "verified"},
                                                           {"COM4", "verified"},
                                                           {"COM5", "verified"}}));
    const std::string units = readFile(report);
    for (const install::PortEntry& p : ports)
        EXPECT_NE(units.find("\"device\":\"" + p.device + "\""), std::string::npos) << units;
}

INSTANTIATE_TEST_SUITE_P(Bench, NetworkBenchTest,
                         ::testing::Values(NetParam{kCases[0], Kind::Ser2net},
                                           NetParam{kCases[0], Kind::PortManager}),
                         [](const ::testing::TestParamInfo<NetParam>& info) {
                             return std::string(PortServer::name(info.param.server));
                         });

}  // namespace
}  // namespace tolvan::e2e
