#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tolvan {

// A serial port on another machine, as the port map or --port names it:
//   rfc2217://HOST:PORT  a serial port server speaking RFC 2217 (ser2net's telnet(rfc2217)),
//                        which sets the line as this program asks
//   socket://HOST:PORT   raw TCP: the bytes as they are, the line set on the server
// HOST is a name, an IPv4 address or an IPv6 address in brackets. Nothing else is taken: no
// user, no path, no options (RFC 2217 has no authentication, and an option the program did not
// honour would be a surprise).
struct NetworkAddress {
    enum class Protocol { Rfc2217, Raw };
    Protocol protocol = Protocol::Rfc2217;
    std::string host;  // as given, an IPv6 address without its brackets
    std::uint16_t port = 0;

    // "rfc2217://bench-07:3001", "socket://[::1]:3001".
    std::string url() const;
    // "bench-07:3001", "[::1]:3001".
    std::string hostAndPort() const;
};

// Whether a device string names a port on another machine (a scheme and "://") rather than a
// device path; such a string is parsed with parseNetworkAddress, which may still refuse it.
bool isNetworkAddress(std::string_view device);

// The address, or none with the reason in `error` ("rfc2217://h:3001/x: only HOST:PORT may
// follow rfc2217://, not a path").
std::optional<NetworkAddress> parseNetworkAddress(std::string_view text, std::string& error);

}  // namespace tolvan
