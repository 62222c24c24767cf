#include "platform/Rfc2217Negotiation.h"

#include <algorithm>

namespace tolvan {

namespace {

using namespace telnet;

// COM-PORT-OPTION commands from the client; the server answers with the same code + 100.
constexpr std::uint8_t kSignature = 0;
constexpr std::uint8_t kSetBaudRate = 1;
constexpr std::uint8_t kSetDataSize = 2;
constexpr std::uint8_t kSetParity = 3;
constexpr std::uint8_t kSetStopSize = 4;
constexpr std::uint8_t kSetControl = 5;
constexpr std::uint8_t kFlowControlSuspend = 8;
constexpr std::uint8_t kFlowControlResume = 9;
constexpr std::uint8_t kPurgeData = 12;
constexpr std::uint8_t kServer = 100;

// Values.
constexpr std::uint8_t kEightBits = 8;
constexpr std::uint8_t kParityNone = 1;
constexpr std::uint8_t kOneStopBit = 1;
constexpr std::uint8_t kNoFlowControl = 1;  // outbound and both ways
constexpr std::uint8_t kXonXoff = 2;
constexpr std::uint8_t kHardwareFlow = 3;
constexpr std::uint8_t kDtrOn = 8;
constexpr std::uint8_t kRtsOn = 11;
constexpr std::uint8_t kPurgeBoth = 3;

std::string comPort(std::uint8_t command, std::string value) {
    return subnegotiation(kComPort, std::string(1, static_cast<char>(command)) + value);
}

std::string byte(std::uint8_t value) {
    return std::string(1, static_cast<char>(value));
}

// What the options this end takes part in are for: BINARY both ways is what the data needs,
// COM-PORT-OPTION is what sets the line. Suppress-go-ahead costs nothing. The server's echo
// would send the device's frames back to it, so it is declined.
bool weWill(std::uint8_t option) {
    return option == kBinary || option == kComPort || option == kSuppressGoAhead;
}
bool heMay(std::uint8_t option) {
    return option == kBinary || option == kSuppressGoAhead || option == kComPort;
}

}  // namespace

std::string Rfc2217Negotiation::start() {
    us_[kBinary] = Q::WantYes;
    him_[kBinary] = Q::WantYes;
    us_[kComPort] = Q::WantYes;
    return option(kWill, kBinary) + option(kDo, kBinary) + option(kWill, kComPort);
}

std::string Rfc2217Negotiation::handle(const telnet::Command& c) {
    heard_ = true;
    std::string reply;
    switch (c.verb) {
        case kWill:
        case kWont:
            reply = onWill(c.option, c.verb == kWill);
            break;
        case kDo:
        case kDont:
            reply = onDo(c.option, c.verb == kDo);
            break;
        case kSb:
            if (c.option == kComPort) reply = onComPort(c.payload);
            break;
        default:
            break;  // NOP, GA, ...: nothing to do
    }
    if (us_[kComPort] == Q::Yes && !lineAsked_) reply += setLine();
    if (!ready_ && !failure_ && binaryBothWays() && us_[kComPort] == Q::Yes &&
        std::all_of(acknowledged_.begin(), acknowledged_.end(), [](bool b) { return b; }))
        ready_ = true;
    return reply;
}

std::string Rfc2217Negotiation::settle(Q& q, std::uint8_t opt, bool yes, bool welcome,
                                       std::uint8_t agree, std::uint8_t refuse) {
    if (yes) {
        if (q == Q::Yes) return {};
        if (q == Q::WantYes) {  // the answer to this end's own request
            q = Q::Yes;
            return {};
        }
        if (!welcome) return option(refuse, opt);
        q = Q::Yes;
        return option(agree, opt);
    }
    const Q was = q;
    q = Q::No;
    return was == Q::Yes ? option(refuse, opt) : std::string();
}

std::string Rfc2217Negotiation::onWill(std::uint8_t opt, bool will) {
    const Q was = him_[opt];
    const std::string reply = settle(him_[opt], opt, will, heMay(opt), kDo, kDont);
    if (!will && opt == kBinary && was != Q::No && !ready_)
        fail(NetworkFault::LineNotSet,
             "the server refuses to send in telnet BINARY, so bytes such as CR would not pass "
             "as they are");
    return reply;
}

std::string Rfc2217Negotiation::onDo(std::uint8_t opt, bool doIt) {
    const Q was = us_[opt];
    const std::string reply = settle(us_[opt], opt, doIt, weWill(opt), kWill, kWont);
    if (!doIt && opt == kComPort && !ready_)
        fail(NetworkFault::NotRfc2217,
             "the server speaks telnet but refuses RFC 2217's COM-PORT-OPTION, so it cannot set "
             "the line");
    else if (!doIt && opt == kBinary && was != Q::No && !ready_)
        fail(NetworkFault::LineNotSet,
             "the server refuses telnet BINARY from this end, so bytes such as CR would not "
             "pass as they are");
    return reply;
}

std::string Rfc2217Negotiation::setLine() {
    lineAsked_ = true;
    const std::uint32_t b = kBaud;
    const std::string speed = {static_cast<char>(b >> 24), static_cast<char>((b >> 16) & 0xFF),
                               static_cast<char>((b >> 8) & 0xFF), static_cast<char>(b & 0xFF)};
    return comPort(kSetBaudRate, speed) + comPort(kSetDataSize, byte(kEightBits)) +
           comPort(kSetParity, byte(kParityNone)) + comPort(kSetStopSize, byte(kOneStopBit)) +
           comPort(kSetControl, byte(kNoFlowControl)) + comPort(kSetControl, byte(kDtrOn)) +
           comPort(kSetControl, byte(kRtsOn)) + comPort(kPurgeData, byte(kPurgeBoth));
}

std::string Rfc2217Negotiation::onComPort(const std::string& p) {
    if (p.empty()) return {};
    const auto code = static_cast<std::uint8_t>(p[0]);
    const std::string value = p.substr(1);
    const auto first = value.empty() ? -1 : static_cast<std::uint8_t>(value[0]);
    auto expect = [&](Setting s, int wanted, const char* what) {
        if (first == wanted) {
            acknowledged_[s] = true;
        } else if (!ready_) {
            fail(NetworkFault::LineNotSet, "the server set the " + std::string(what) + " to " +
                                               std::to_string(first) + ", not " +
                                               std::to_string(wanted));
        }
    };
    switch (code) {
        case kServer + kSignature:
            // An empty signature asks for this end's.
            return value.empty() ? comPort(kSignature, "Tolvan Link") : std::string();
        case kServer + kSetBaudRate: {
            if (value.size() != 4) return {};
            std::uint32_t baud = 0;
            for (const char c : value)
                baud = baud << 8 | static_cast<std::uint8_t>(c);
            if (baud == kBaud) {
                acknowledged_[kSpeed] = true;
            } else if (!ready_) {
                fail(NetworkFault::LineNotSet,
                     "the server set the line to " + std::to_string(baud) + " baud, not 19200");
            }
            return {};
        }
        case kServer + kSetDataSize:
            expect(kDataSize, kEightBits, "data size");
            return {};
        case kServer + kSetParity:
            expect(kParity, kParityNone, "parity (1 is none)");
            return {};
        case kServer + kSetStopSize:
            expect(kStopSize, kOneStopBit, "stop bits (1 is one)");
            return {};
        case kServer + kSetControl:
            // One code answers every SET-CONTROL: the flow control's values are 1 to 3; the
            // answers about DTR, RTS and BREAK are noted by nobody.
            if (first == kNoFlowControl) acknowledged_[kFlow] = true;
            if ((first == kXonXoff || first == kHardwareFlow) && !ready_)
                fail(NetworkFault::LineNotSet,
                     std::string("the server keeps ") +
                         (first == kXonXoff ? "XON/XOFF" : "hardware") +
                         " flow control, which would hold or eat bytes of the frames");
            return {};
        case kServer + kFlowControlSuspend:
            suspended_ = true;
            return {};
        case kServer + kFlowControlResume:
            suspended_ = false;
            return {};
        default:
            return {};  // line and modem state notifications, purge acknowledgement
    }
}

bool Rfc2217Negotiation::binaryBothWays() const {
    return us_[kBinary] == Q::Yes && him_[kBinary] == Q::Yes;
}

bool Rfc2217Negotiation::ready() const {
    return ready_;
}

void Rfc2217Negotiation::fail(NetworkFault fault, std::string detail) {
    if (!failure_) failure_ = NetworkFailure{fault, std::move(detail)};
}

NetworkFailure Rfc2217Negotiation::whyNotReady() const {
    if (failure_) return *failure_;
    if (!heard_)
        return {NetworkFault::NoAnswer,
                "the server accepted the connection but never answered the telnet negotiation"};
    if (us_[kComPort] != Q::Yes)
        return {NetworkFault::NotRfc2217,
                "the server speaks telnet but never agreed to RFC 2217's COM-PORT-OPTION"};
    if (!binaryBothWays())
        return {NetworkFault::LineNotSet, "the server never agreed to telnet BINARY both ways"};
    static constexpr const char* kNames[kSettings] = {"speed", "data size", "parity", "stop bits",
                                                      "flow control"};
    std::string missing;
    for (int s = 0; s < kSettings; ++s)
        if (!acknowledged_[s]) missing += (missing.empty() ? "" : ", ") + std::string(kNames[s]);
    return {NetworkFault::LineNotSet, "the server never acknowledged the line's " + missing};
}

}  // namespace tolvan
