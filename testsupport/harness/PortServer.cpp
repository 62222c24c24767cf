#include "PortServer.h"

#include <fstream>
#include <set>
#include <sstream>

namespace tolvan::e2e {

namespace fs = std::filesystem;

std::uint16_t listeningPort(pid_t pid) {
    // The process's sockets by inode, then the listening one among 127.0.0.1's TCP sockets.
    std::set<std::string> inodes;
    std::error_code ec;
    for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
        const std::string target = fs::read_symlink(fd.path(), ec).string();
        if (!ec && target.starts_with("socket:["))
            inodes.insert(target.substr(8, target.size() - 9));
    }
    std::istringstream table(readFile("/proc/net/tcp"));
    std::string line;
    std::getline(table, line);  // the heading
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, inode;
        fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >>
            timeout >> inode;
        // 0100007F is 127.0.0.1; 0A is LISTEN.
        if (state == "0A" && local.starts_with("0100007F:") && inodes.count(inode))
            return static_cast<std::uint16_t>(std::stoul(local.substr(9), nullptr, 16));
    }
    return 0;
}

PortServer::PortServer(Kind kind, const fs::path& dir, const std::string& device, Accepter accepter)
    : accepter_(accepter) {
    fs::create_directories(dir);
    if (kind == Kind::Ser2net) {
        const char* accepterText = accepter == Accepter::Rfc2217 ? "telnet(rfc2217),tcp"
                                   : accepter == Accepter::Raw   ? "tcp"
                                                                 : "telnet,tcp";
        const fs::path config = dir / "ser2net.yaml";
        // Port 0: the system gives a free one, read back from /proc. ser2net reads the device
        // 256 bytes at a time, which cuts every sector answer the emulator writes whole; a
        // loaded test machine that stalls ser2net for 100 ms between the pieces makes the
        // program take the answer as short (the protocol gives an answer 100 ms to finish once
        // 250 of its bytes have come). Whole answers keep the tests about the client.
        std::ofstream(config) << "%YAML 1.1\n---\nconnection: &device\n  accepter: " << accepterText
                              << ",127.0.0.1,0\n  connector: serialdev," << device
                              << ",19200n81,local\n  options:\n    dev-to-net-bufsize: 1024\n";
        process_ = std::make_unique<Process>(
            Process::Options{{"/usr/sbin/ser2net", "-n", "-d", "-c", config.string(), "-P",
                              (dir / "ser2net.pid").string()},
                             {},
                             dir,
                             dir / "ser2net.out",
                             {}});
        waitFor([&] { return (port_ = listeningPort(process_->pid())) != 0; }, 10s);
        return;
    }
    const fs::path portFile = dir / "port";
    std::vector<std::string> argv = {"/usr/bin/python3", TOLVAN_PORT_MANAGER_SERVER,
                                     "--device",         device,
                                     "--port-file",      portFile.string()};
    if (accepter == Accepter::Raw) argv.push_back("--raw");
    process_ = std::make_unique<Process>(Process::Options{argv, {}, dir, dir / "server.out", {}});
    waitFor([&] { return readFile(portFile).ends_with("\n"); }, 10s);
    const std::string text = readFile(portFile);
    if (!text.empty()) port_ = static_cast<std::uint16_t>(std::stoul(text));
}

PortServer::~PortServer() = default;

std::string PortServer::url() const {
    return (accepter_ == Accepter::Raw ? "socket://127.0.0.1:" : "rfc2217://127.0.0.1:") +
           std::to_string(port_);
}

void PortServer::stop() {
    process_->stop();
}

}  // namespace tolvan::e2e
