#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/DescriptorSerialDriver.h"
#include "platform/NetworkAddress.h"
#include "platform/NetworkFailure.h"
#include "platform/Rfc2217Negotiation.h"
#include "platform/TcpConnect.h"
#include "platform/TelnetCodec.h"

namespace tolvan {

// A serial port on another machine (rfc2217://HOST:PORT or socket://HOST:PORT, see
// NetworkAddress), driven on the Qt event loop of the user-interface thread as the termios
// driver drives a local device (DescriptorSerialDriver): a socket notifier announces received
// bytes, writes wait in an output queue. The program writes its frames a byte at a time; what is
// written in one burst leaves in one piece when the burst ends (HeldOutput), so that a server does
// not pass a frame on in pieces with gaps between them.
//
// Opening connects and, for RFC 2217, sets the line (Rfc2217Negotiation) before it returns,
// within kOpenTimeout all told; like the opening of a local device it holds up the event loop
// meanwhile. Every way it can fail is an opening failure with its reason (lastFailure()): the
// host not found, refused, timed out, the server closing at once (in its own words, such as
// ser2net's "Port already in use"), a server that never answers, one that does not speak
// RFC 2217 or does not set the line. Once open, the connection ending is the line's loss, told
// to the listener once, as a pulled adapter is. Closing soon after a write waits until
// kCloseLinger has passed since it (see close()).
class NetworkSerialDriver : public DescriptorSerialDriver {
  public:
    static constexpr std::chrono::milliseconds kOpenTimeout{5000};
    static constexpr std::chrono::milliseconds kProbeTimeout{2000};
    // Bytes of the wire (0xFF doubled) that may wait to be sent.
    static constexpr std::size_t kOutSize = 8192;
    // How long the server is given to pass the last bytes on before the connection ends.
    static constexpr std::chrono::milliseconds kCloseLinger{200};

    explicit NetworkSerialDriver(std::chrono::milliseconds openTimeout = kOpenTimeout);
    ~NetworkSerialDriver() override;
    NetworkSerialDriver(const NetworkSerialDriver&) = delete;
    NetworkSerialDriver& operator=(const NetworkSerialDriver&) = delete;

    bool open(const std::string& address, std::string& error) override;
    void close() override;
    bool write(std::string_view bytes) override;
    // Free when a connection (and, for RFC 2217, the session) can be made now, InUse when the
    // server closes it at once (another client has the port) or this driver has it open,
    // Missing otherwise. Takes up to kProbeTimeout.
    Availability probe(const std::string& address) override;

    // Why the last opening failed, or why the open line was lost; None after a good opening.
    const NetworkFailure& lastFailure() const { return failure_; }

  private:
    // A connection being made: the socket, and the session over it for RFC 2217.
    struct Link {
        sockets::Handle fd = sockets::kNone;
        telnet::Decoder decoder;
        Rfc2217Negotiation session;
        ~Link();
    };
    // Connects and sets the line within `span`; false with the failure.
    static bool establish(const NetworkAddress& address, std::chrono::milliseconds span, Link& link,
                          NetworkFailure& failure);

    Io readSome(char* data, std::size_t size) override;
    Io writeSome(const char* data, std::size_t size) override;
    // A server that asked to be sent nothing (FLOWCONTROL-SUSPEND) is sent nothing, commands
    // included, until it resumes.
    bool maySend() const override;
    // What the server sent after the opening: data for the listener, commands for the session.
    void take(std::string_view bytes) override;
    std::optional<std::string> afterReading() override;
    std::string readEnded(int error) const override;
    std::string sendFailed(int error) const override;
    void noteLoss(const std::string& reason) override;
    void keepTail(std::string_view data);

    std::chrono::milliseconds openTimeout_;
    std::optional<NetworkAddress> address_;
    std::unique_ptr<Link> link_;
    std::string tail_;  // the last bytes received, to quote a server's parting words
    NetworkFailure failure_;
    std::chrono::steady_clock::time_point lastWrite_;
};

}  // namespace tolvan
