#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "Harness.h"

namespace tolvan::e2e {

// A serial port server on 127.0.0.1, on a free port, in front of a device (an emulator's pty):
// Debian's ser2net, or pyserial's RFC 2217 port manager (port_manager_server.py), a second,
// independent implementation, so that the client is tuned to neither. Each serves one device.
class PortServer {
  public:
    enum class Kind { Ser2net, PortManager };
    // RFC 2217 (rfc2217://), raw TCP (socket://), or telnet without COM-PORT-OPTION (ser2net's
    // plain telnet accepter; rfc2217:// against it).
    enum class Accepter { Rfc2217, Raw, PlainTelnet };

    PortServer(Kind kind, const std::filesystem::path& dir, const std::string& device,
               Accepter accepter = Accepter::Rfc2217);
    ~PortServer();
    PortServer(const PortServer&) = delete;
    PortServer& operator=(const PortServer&) = delete;

    bool ok() const { return port_ != 0; }
    std::uint16_t port() const { return port_; }
    // rfc2217://127.0.0.1:N, or socket://127.0.0.1:N for a raw accepter.
    std::string url() const;
    // The server ends (SIGTERM): its connections close.
    void stop();
    static const char* name(Kind kind) { return kind == Kind::Ser2net ? "ser2net" : "PortManager"; }

  private:
    std::unique_ptr<Process> process_;
    Accepter accepter_;
    std::uint16_t port_ = 0;
};

// The TCP port a process listens on at 127.0.0.1, from /proc; 0 while it listens on none.
std::uint16_t listeningPort(pid_t pid);

}  // namespace tolvan::e2e
