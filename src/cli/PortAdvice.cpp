#include "cli/PortDoctor.h"

namespace tolvan::cli {

std::vector<std::string> adviceLines(const PortAdvice& a) {
    std::vector<std::string> lines;
    const HolderScan& h = a.holders;
    if (!h.error.empty()) {
        lines.push_back("cannot look at " + a.device + ": " + h.error);
    } else {
        for (const PortHolder& p : h.holders) {
            std::string command = p.command;
            if (!p.argv0.empty() && p.argv0 != p.command) command += ", " + p.argv0;
            lines.push_back(a.device + " is open in process " + std::to_string(p.pid) + " (" +
                            command + ")");
        }
        const std::string others = std::to_string(h.unreadable) +
                                   " processes of other users could not be looked into (run as "
                                   "root to see them)";
        if (h.holders.empty() && h.unreadable == 0)
            lines.push_back("no other process has " + a.device + " open");
        else if (h.holders.empty())
            lines.push_back("no process of this user has " + a.device + " open; " + others);
        else if (h.unreadable > 0)
            lines.push_back(others);
    }
    for (const Interferer& i : a.interferers) {
        const std::string what = i.process == "ModemManager"
                                     ? " probes new serial devices and holds them meanwhile"
                                     : " takes some USB serial adapters for braille displays";
        lines.push_back(i.process + " (pid " + std::to_string(i.pid) + ")" + what + ": " +
                        i.remedy);
    }
    return lines;
}

std::string networkAdviceLine(const NetworkAdvice& a, bool withAddress) {
    const std::string lead = withAddress ? a.address.url() + ": " : "";
    const std::string& host = a.address.host;
    const std::string port = std::to_string(a.address.port);
    const std::string& said = a.failure.detail;
    std::string check;
    switch (a.failure.fault) {
        case NetworkFault::None:
            return lead +
                   "the port opened but the device did not answer: check the handheld's cable "
                   "at the bench and that the server's connector names its adapter" +
                   (a.address.protocol == NetworkAddress::Protocol::Raw
                        ? " (socket:// does not set the line: the server must run it at 19200 "
                          "baud, 8N1, without flow control)"
                        : "");
        case NetworkFault::BadAddress:
            return said;
        case NetworkFault::HostNotFound:
            check = "check the name, or give the bench computer's IP address";
            break;
        case NetworkFault::Refused:
            check = "ser2net is not running on " + host + ", or not on port " + port +
                    " (see the accepter lines of its YAML, and systemctl status ser2net there), "
                    "or a firewall there rejects the connection";
            break;
        case NetworkFault::TimedOut:
            check = host +
                    " is off or cannot be reached from here, or a firewall drops the "
                    "connection (try ping " +
                    host + ")";
            break;
        case NetworkFault::ClosedByServer:
            check =
                "another client has the port (ser2net lets one connect at a time: another "
                "tolvan-flash, a terminal), or the server cannot open its serial device "
                "(the adapter unplugged at the bench?)";
            break;
        case NetworkFault::NoAnswer:
            check =
                "is it a serial port server speaking RFC 2217 (ser2net: accepter "
                "telnet(rfc2217),tcp,...)? For raw TCP give socket://" +
                a.address.hostAndPort();
            break;
        case NetworkFault::NotRfc2217:
            check =
                "give ser2net's accepter as telnet(rfc2217),tcp,... rather than telnet alone, "
                "or use socket://" +
                a.address.hostAndPort() +
                " if the server itself runs the line at 19200 baud, 8N1, without flow control";
            break;
        case NetworkFault::LineNotSet:
            check =
                "the server cannot run its serial device at 19200 baud, 8N1, without flow "
                "control: check its connector";
            break;
        case NetworkFault::Lost:
            check = "ser2net on " + host +
                    " was stopped or restarted, its serial device went away (the adapter at the "
                    "bench unplugged), or the network failed; check it, then run again";
            break;
    }
    return lead + said + ": " + check;
}

}  // namespace tolvan::cli
