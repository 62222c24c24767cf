#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/NetworkFailure.h"
#include "platform/TelnetCodec.h"

namespace tolvan {

// The client's side of a telnet session with a serial port server (RFC 854 option negotiation,
// RFC 856 BINARY, RFC 2217 COM-PORT-OPTION), without the socket: it is given what the server
// sent and says what to send back.
//
// It asks for BINARY both ways and for COM-PORT-OPTION; once the server agrees to the latter it
// sets the line once: 19200 baud, 8 data bits, no parity, 1 stop bit, no flow control, DTR and
// RTS on, and drops whatever the server's buffers hold. The session is ready when BINARY holds
// both ways and the server has acknowledged speed, data size, parity, stop bits and flow
// control with the values asked for. DTR and RTS are asked for but their acknowledgements are
// not waited for: a server in front of a pseudo-terminal cannot set them and never answers.
// Options are answered only when their state changes (RFC 1143), so that two ends never loop.
class Rfc2217Negotiation {
  public:
    static constexpr std::uint32_t kBaud = 19200;

    // The requests that open the session.
    std::string start();
    // A command of the server's; returns what to send back (may be empty).
    std::string handle(const telnet::Command& command);

    bool ready() const;
    // The server refused something the line needs (COM-PORT-OPTION, BINARY, a setting).
    const std::optional<NetworkFailure>& failure() const { return failure_; }
    // Why the session is not ready when time is up.
    NetworkFailure whyNotReady() const;
    // The server asked to hold everything sent to it (FLOWCONTROL-SUSPEND) until it resumes.
    bool suspended() const { return suspended_; }
    // Whether the server has said anything in telnet at all.
    bool heardTelnet() const { return heard_; }
    // BINARY was turned off once the session was ready: the data would no longer pass as it is.
    bool binaryLost() const { return ready_ && !binaryBothWays(); }

  private:
    // One side of an option (RFC 1143): ours ("us", we WILL) or the server's ("him").
    enum class Q : std::uint8_t { No, Yes, WantYes };
    // The settings whose acknowledgement the session waits for.
    enum Setting { kSpeed, kDataSize, kParity, kStopSize, kFlow, kSettings };

    // One side of an option moved by the other end's word (`yes`), answered only when its
    // state changes: with `agree`, or `refuse` when this end does not take part in it.
    static std::string settle(Q& q, std::uint8_t option, bool yes, bool welcome, std::uint8_t agree,
                              std::uint8_t refuse);
    std::string onWill(std::uint8_t option, bool will);
    std::string onDo(std::uint8_t option, bool doIt);
    std::string onComPort(const std::string& payload);
    std::string setLine();
    bool binaryBothWays() const;
    void fail(NetworkFault fault, std::string detail);

    std::array<Q, 256> us_{};
    std::array<Q, 256> him_{};
    std::array<bool, kSettings> acknowledged_{};
    bool lineAsked_ = false;
    bool ready_ = false;
    bool suspended_ = false;
    bool heard_ = false;
    std::optional<NetworkFailure> failure_;
};

}  // namespace tolvan
