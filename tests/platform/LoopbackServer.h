#pragma once

// A TCP server on 127.0.0.1 for a test to play the other end of a network serial port on, on
// every system: its script runs on a thread of its own.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <thread>

namespace tolvan::test {

#ifdef _WIN32
using Socket = SOCKET;
inline void closeSocket(Socket s) {
    ::closesocket(s);
}
constexpr int kShutSend = SD_SEND;
inline bool socketsStarted() {
    static const bool ok = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return ok;
}
#else
using Socket = int;
inline void closeSocket(Socket s) {
    ::close(s);
}
constexpr int kShutSend = SHUT_WR;
inline bool socketsStarted() {
    return true;
}
#endif

class LoopbackServer {
  public:
    // What the server does with the connection it accepted; the connection is closed after.
    using Script = std::function<void(Socket)>;
    enum class Mode {
        Plays,     // accepts one connection and plays the script on it
        Mute,      // listens, so that connections are made by the system, and never accepts
        Refusing,  // bound but not listening: every connection is refused
    };

    explicit LoopbackServer(Script script, Mode mode = Mode::Plays) {
        socketsStarted();
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof a;
        ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        if (mode != Mode::Refusing) ::listen(listener_, 1);
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &length);
        port = ntohs(a.sin_port);
        if (mode == Mode::Plays) {
            thread_ = std::thread([this, script = std::move(script)] {
                const Socket c = ::accept(listener_, nullptr, nullptr);
                script(c);
                closeSocket(c);
            });
        }
    }
    ~LoopbackServer() {
        if (thread_.joinable()) thread_.join();
        closeSocket(listener_);
    }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    std::string url(const char* scheme = "rfc2217") const {
        return std::string(scheme) + "://127.0.0.1:" + std::to_string(port);
    }

    static void send(Socket c, std::string_view bytes) {
        ::send(c, bytes.data(), static_cast<int>(bytes.size()), 0);
    }
    // Receives until `done` holds for what came, or the client closes.
    static std::string receiveUntil(Socket c, const std::function<bool(const std::string&)>& done) {
        std::string heard;
        char buffer[512];
        while (!done(heard)) {
            const auto n = ::recv(c, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            heard.append(buffer, static_cast<std::size_t>(n));
        }
        return heard;
    }
    // Ends what the server sends: the client reads the end. (Closing instead, with data of the
    // client's unread, would reset the connection.)
    static void hangUp(Socket c) { ::shutdown(c, kShutSend); }
    // Resets the connection rather than closing it.
    static void reset(Socket c) {
        const linger abort{1, 0};
        ::setsockopt(c, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort), sizeof abort);
    }

    std::uint16_t port = 0;

  private:
    Socket listener_;
    std::thread thread_;
};

}  // namespace tolvan::test
