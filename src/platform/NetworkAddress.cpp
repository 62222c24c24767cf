#include "platform/NetworkAddress.h"

#include <algorithm>
#include <charconv>

#include "platform/Sockets.h"

namespace tolvan {

namespace {

constexpr std::string_view kSeparator = "://";

bool isNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_';
}

}  // namespace

std::string NetworkAddress::hostAndPort() const {
    const bool ipv6 = host.find(':') != std::string::npos;
    return (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::string NetworkAddress::url() const {
    return (protocol == Protocol::Rfc2217 ? "rfc2217://" : "socket://") + hostAndPort();
}

bool isNetworkAddress(std::string_view device) {
    return !device.empty() && device.front() != '/' &&
           device.find(kSeparator) != std::string_view::npos;
}

std::optional<NetworkAddress> parseNetworkAddress(std::string_view text, std::string& error) {
    const std::string given(text);
    auto refuse = [&](const std::string& why) -> std::optional<NetworkAddress> {
        error = given + ": " + why;
        return std::nullopt;
    };
    const std::size_t separator = text.find(kSeparator);
    if (separator == std::string_view::npos)
        return refuse("not a network address (rfc2217://HOST:PORT or socket://HOST:PORT)");
    const std::string_view scheme = text.substr(0, separator);
    NetworkAddress a;
    if (scheme == "rfc2217") {
        a.protocol = NetworkAddress::Protocol::Rfc2217;
    } else if (scheme == "socket") {
        a.protocol = NetworkAddress::Protocol::Raw;
    } else {
        return refuse("unknown kind of port \"" + std::string(scheme) +
                      "\": rfc2217://HOST:PORT (a serial port server speaking RFC 2217) or "
                      "socket://HOST:PORT (raw TCP)");
    }
    const std::string lead = std::string(scheme) + "://";
    std::string_view rest = text.substr(separator + kSeparator.size());
    const std::size_t extra = rest.find_first_of("/?#@");
    if (extra != std::string_view::npos) {
        const char c = rest[extra];
        const char* what = c == '/'   ? "a path"
                           : c == '?' ? "options"
                           : c == '#' ? "a fragment"
                                      : "a user (RFC 2217 has no authentication)";
        return refuse("only HOST:PORT may follow " + lead + ", not " + what);
    }
    std::string_view host, port;
    if (!rest.empty() && rest.front() == '[') {
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos) return refuse("the IPv6 address lacks its \"]\"");
        host = rest.substr(1, close - 1);
        rest.remove_prefix(close + 1);
        if (rest.empty() || rest.front() != ':')
            return refuse("the port is missing: " + lead + "HOST:PORT");
        port = rest.substr(1);
        if (!sockets::isIpv6Address(std::string(host)))
            return refuse("\"" + std::string(host) + "\" is not an IPv6 address");
    } else {
        const std::size_t colon = rest.rfind(':');
        if (colon == std::string_view::npos)
            return refuse("the port is missing: " + lead + "HOST:PORT");
        host = rest.substr(0, colon);
        port = rest.substr(colon + 1);
        if (host.find(':') != std::string_view::npos)
            return refuse("an IPv6 address goes in brackets: " + lead + "[ADDRESS]:PORT");
        if (!std::all_of(host.begin(), host.end(), isNameCharacter))
            return refuse("\"" + std::string(host) + "\" is not a host name or address");
    }
    if (host.empty()) return refuse("the host is missing: " + lead + "HOST:PORT");
    unsigned number = 0;
    const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), number);
    if (port.empty() || ec != std::errc() || end != port.data() + port.size() || number < 1 ||
        number > 65535)
        return refuse("the port must be a number from 1 to 65535");
    a.host = std::string(host);
    a.port = static_cast<std::uint16_t>(number);
    return a;
}

}  // namespace tolvan
