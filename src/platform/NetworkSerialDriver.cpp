#include "platform/NetworkSerialDriver.h"

#include <vector>

namespace tolvan {

namespace {

constexpr std::size_t kTailSize = 120;
// A raw port has nothing to negotiate; a server that turns the connection away (ser2net:
// "Port's device already in use") does so at once.
constexpr std::chrono::milliseconds kRawProbeWait{300};

// What a server said in words, for a message: printable characters, line breaks as blanks.
std::string wordsOf(std::string_view data) {
    std::string text;
    for (const char c : data) {
        if (c == '\r' || c == '\n' || c == '\t') {
            if (!text.empty() && text.back() != ' ') text.push_back(' ');
        } else if (c >= ' ' && c <= '~') {
            text.push_back(c);
        } else {
            return {};  // not words: device bytes or noise
        }
    }
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

std::string saying(std::string_view data) {
    const std::string words = wordsOf(data);
    return words.empty() ? std::string() : ", saying \"" + words + "\"";
}

std::string spanText(std::chrono::milliseconds span) {
    const auto ms = span.count();
    return ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms";
}

bool isGone(int error) {
    return sockets::kindOf(error) == sockets::Error::Gone;
}

// Whether a receive that gave nothing should be made again (when the socket is ready).
bool mayRetry(int error) {
    const sockets::Error kind = sockets::kindOf(error);
    return kind == sockets::Error::Interrupted || kind == sockets::Error::WouldBlock;
}

}  // namespace

NetworkSerialDriver::Link::~Link() {
    if (fd != sockets::kNone) sockets::close(fd);
}

NetworkSerialDriver::NetworkSerialDriver(std::chrono::milliseconds openTimeout)
    : DescriptorSerialDriver(kOutSize), openTimeout_(openTimeout) {}

NetworkSerialDriver::~NetworkSerialDriver() {
    close();
}

bool NetworkSerialDriver::establish(const NetworkAddress& a, std::chrono::milliseconds span,
                                    Link& link, NetworkFailure& failure) {
    const Deadline deadline = Deadline::in(span);
    link.fd = connectTcp(a.host, a.port, deadline, failure);
    if (link.fd == sockets::kNone) return false;
    if (a.protocol == NetworkAddress::Protocol::Raw) return true;

    std::string said;  // the server's data before the session is ready: its own words
    auto closed = [&](const std::string& how) {
        failure = {NetworkFault::ClosedByServer,
                   "the server " + how + " as the port opened" + saying(said)};
        return false;
    };
    if (!sendAll(link.fd, link.session.start(), deadline)) return closed("closed the connection");
    char buffer[512];
    while (!link.session.ready()) {
        if (link.session.failure()) {
            failure = *link.session.failure();
            return false;
        }
        if (sockets::waitReadable(link.fd, deadline.msLeft()) <= 0) {
            failure = link.session.whyNotReady();
            failure.detail += " within " + spanText(span);
            return false;
        }
        const std::ptrdiff_t n = sockets::receive(link.fd, buffer, sizeof buffer);
        if (n == 0) return closed("closed the connection");
        if (n < 0) {
            const int error = sockets::lastError();
            if (mayRetry(error)) continue;
            return closed(isGone(error) ? "reset the connection"
                                        : "failed (" + sockets::textOf(error) + ")");
        }
        // A byte at a time: the data that comes before the session is ready is the server's
        // words; the data after it is nobody's yet (the device has been sent nothing) and is
        // dropped, as a local opening drops what waited on the line. The commands after it
        // still count (late acknowledgements), and a command cut at the end of this read
        // stays in the decoder for the next.
        std::string replies;
        for (std::ptrdiff_t i = 0; i < n; ++i) {
            std::string data;
            std::vector<telnet::Command> commands;
            link.decoder.feed(std::string_view(buffer + i, 1), data, commands);
            if (!link.session.ready() && said.size() < kTailSize) said += data;
            for (const telnet::Command& c : commands)
                replies += link.session.handle(c);
        }
        if (!replies.empty() && !sendAll(link.fd, replies, deadline)) {
            // A server that turns the client away says why and closes at once: its words may
            // still be on their way.
            for (std::ptrdiff_t m; (m = sockets::receive(link.fd, buffer, sizeof buffer)) > 0;) {
                std::string data;
                std::vector<telnet::Command> commands;
                link.decoder.feed(std::string_view(buffer, static_cast<std::size_t>(m)), data,
                                  commands);
                if (said.size() < kTailSize) said += data;
            }
            return closed("closed the connection");
        }
    }
    return true;
}

bool NetworkSerialDriver::open(const std::string& address, std::string& error) {
    close();
    failure_ = {};
    std::string why;
    const std::optional<NetworkAddress> a = parseNetworkAddress(address, why);
    if (!a) {
        failure_ = {NetworkFault::BadAddress, why};
        error = why;
        return false;
    }
    auto link = std::make_unique<Link>();
    if (!establish(*a, openTimeout_, *link, failure_)) {
        error = failure_.detail;
        return false;
    }
    link_ = std::move(link);
    address_ = a;
    tail_.clear();
    watch(link_->fd);
    return true;
}

void NetworkSerialDriver::close() {
    if (fd() < 0) return;
    stopWatching();
    if (!lineIsLost()) {
        // A server may drop what reaches it together with the end of the connection: ser2net
        // flushes its serial device as it closes, and in front of a pseudo-terminal that can
        // take the last bytes it wrote. The last frame before a close tells the device to run
        // its system, so what is queued goes out, and the server is given until kCloseLinger
        // after the last write (answers meanwhile are nobody's); a server that closes first
        // ends the wait.
        const Deadline linger{lastWrite_ + kCloseLinger};
        sendAll(fd(), outQueue(), linger);
        char buffer[512];
        while (sockets::waitReadable(fd(), linger.msLeft()) > 0) {
            const std::ptrdiff_t n = sockets::receive(fd(), buffer, sizeof buffer);
            if (n == 0 || (n < 0 && !mayRetry(sockets::lastError()))) break;
        }
    }
    link_.reset();  // closes the socket
    address_.reset();
    forget();
}

bool NetworkSerialDriver::write(std::string_view bytes) {
    if (fd() < 0 || lineIsLost()) return false;
    const std::string wire = address_->protocol == NetworkAddress::Protocol::Rfc2217
                                 ? telnet::escape(bytes)
                                 : std::string(bytes);
    if (!hold(wire)) return false;
    lastWrite_ = std::chrono::steady_clock::now();
    return true;
}

// What a receive or a send came to: a send that takes nothing has lost the connection as a
// reset would (it cannot happen on a stream socket).
DescriptorSerialDriver::Io NetworkSerialDriver::readSome(char* data, std::size_t size) {
    for (;;) {
        const std::ptrdiff_t n = sockets::receive(fd(), data, size);
        if (n > 0) return {Io::State::Moved, static_cast<std::size_t>(n)};
        if (n == 0) return {Io::State::Ended, 0, 0};
        const int error = sockets::lastError();
        const sockets::Error kind = sockets::kindOf(error);
        if (kind == sockets::Error::Interrupted) continue;
        if (kind == sockets::Error::WouldBlock) return {Io::State::Again};
        return {Io::State::Ended, 0, error};
    }
}

DescriptorSerialDriver::Io NetworkSerialDriver::writeSome(const char* data, std::size_t size) {
    for (;;) {
        const std::ptrdiff_t n = sockets::send(fd(), data, size);
        if (n > 0) return {Io::State::Moved, static_cast<std::size_t>(n)};
        const int error = n < 0 ? sockets::lastError() : 0;
        const sockets::Error kind = n < 0 ? sockets::kindOf(error) : sockets::Error::Gone;
        if (kind == sockets::Error::Interrupted) continue;
        if (kind == sockets::Error::WouldBlock) return {Io::State::Again};
        return {Io::State::Ended, 0, error};
    }
}

bool NetworkSerialDriver::maySend() const {
    return !link_->session.suspended();
}

void NetworkSerialDriver::keepTail(std::string_view data) {
    tail_ += data;
    if (tail_.size() > kTailSize) tail_.erase(0, tail_.size() - kTailSize);
}

void NetworkSerialDriver::take(std::string_view bytes) {
    std::string data;
    if (address_->protocol == NetworkAddress::Protocol::Raw) {
        data.assign(bytes);
    } else {
        std::vector<telnet::Command> commands;
        link_->decoder.feed(bytes, data, commands);
        for (const telnet::Command& c : commands)
            queue(link_->session.handle(c));
    }
    keepTail(data);
    keep(data);
}

std::optional<std::string> NetworkSerialDriver::afterReading() {
    if (link_->session.binaryLost())
        return "the server turned telnet BINARY off: the bytes would no longer pass as they are";
    // Answers to the server's commands, or what waited while it was suspended.
    if (!outQueue().empty()) flush();
    return std::nullopt;
}

std::string NetworkSerialDriver::readEnded(int error) const {
    if (error == 0) return "the server closed the connection" + saying(tail_);
    if (isGone(error)) return "the server reset the connection" + saying(tail_);
    return sockets::textOf(error);
}

std::string NetworkSerialDriver::sendFailed(int error) const {
    return error == 0 || isGone(error) ? "the server reset the connection" : sockets::textOf(error);
}

void NetworkSerialDriver::noteLoss(const std::string& reason) {
    failure_ = {NetworkFault::Lost, reason};
}

SerialDriver::Availability NetworkSerialDriver::probe(const std::string& address) {
    std::string why;
    const std::optional<NetworkAddress> a = parseNetworkAddress(address, why);
    if (!a) return Availability::Missing;
    if (fd() >= 0 && address_->url() == a->url()) return Availability::InUse;
    Link link;
    NetworkFailure failure;
    if (a->protocol == NetworkAddress::Protocol::Rfc2217) {
        if (establish(*a, kProbeTimeout, link, failure)) return Availability::Free;
        return failure.fault == NetworkFault::ClosedByServer ? Availability::InUse
                                                             : Availability::Missing;
    }
    link.fd = connectTcp(a->host, a->port, Deadline::in(kProbeTimeout), failure);
    if (link.fd == sockets::kNone) return Availability::Missing;
    const Deadline wait = Deadline::in(kRawProbeWait);
    char buffer[256];
    for (;;) {
        if (sockets::waitReadable(link.fd, wait.msLeft()) <= 0) return Availability::Free;
        const std::ptrdiff_t n = sockets::receive(link.fd, buffer, sizeof buffer);
        if (n == 0 || (n < 0 && !mayRetry(sockets::lastError()))) return Availability::InUse;
    }
}

}  // namespace tolvan
