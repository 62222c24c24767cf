// The parts of a network serial port that stand without a socket: the address, the telnet byte
// layer and the RFC 2217 negotiation, the last played against the habits of real servers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/NetworkAddress.h"
#include "platform/Rfc2217Negotiation.h"
#include "platform/TelnetCodec.h"

namespace tolvan {
namespace {

using namespace telnet;

// ---- The address ----

TEST(NetworkAddressTest, TakesHostAndPortAndNothingElse) {
    struct Case {
        const char* text;
        const char* url;    // as parsed; none: refused
        const char* error;  // in the refusal
    };
    const std::vector<Case> cases = {
        {"rfc2217://bench-07:3001", "rfc2217://bench-07:3001", ""},
        {"socket://127.0.0.1:1", "socket://127.0.0.1:1", ""},
        {"rfc2217://[::1]:65535", "rfc2217://[::1]:65535", ""},
        {"rfc2217://bench-07", nullptr, "the port is missing"},
        {"rfc2217://bench-07:0", nullptr, "from 1 to 65535"},
        {"rfc2217://bench-07:65536", nullptr, "from 1 to 65535"},
        {"rfc2217://bench-07:+1", nullptr, "from 1 to 65535"},
        {"rfc2217://bench-07:3001/", nullptr, "not a path"},
        {"rfc2217://bench-07:3001?timeout=3", nullptr, "not options"},
        {"rfc2217://admin@bench-07:3001", nullptr, "no authentication"},
        {"rfc2217://:3001", nullptr, "the host is missing"},
        {"rfc2217://::1:3001", nullptr, "in brackets"},
        {"rfc2217://[::1:3001", nullptr, "lacks its"},
        {"rfc2217://[bench]:3001", nullptr, "not an IPv6 address"},
        {"rfc2217://bench 07:3001", nullptr, "not a host name"},
        {"telnet://bench-07:3001", nullptr, "unknown kind of port \"telnet\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_TRUE(isNetworkAddress(c.text));
        std::string error;
        const auto a = parseNetworkAddress(c.text, error);
        if (c.url) {
            ASSERT_TRUE(a) << error;
            EXPECT_EQ(a->url(), c.url);
            continue;
        }
        EXPECT_FALSE(a);
        EXPECT_EQ(error.rfind(std::string(c.text) + ": ", 0), 0u) << error;
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
    for (const char* local : {"/dev/ttyUSB0", "COM3", "/tmp/a://b", ""})
        EXPECT_FALSE(isNetworkAddress(local)) << local;
}

// ---- The telnet byte layer ----

std::string bytes(std::initializer_list<int> values) {
    std::string s;
    for (const int v : values)
        s.push_back(static_cast<char>(v));
    return s;
}

// Every stream decodes the same whether it comes whole or cut in two at any byte: a doubled
// 0xFF, a command or a subnegotiation cut between two reads is carried over.
TEST(TelnetCodecTest, DecodesTheSameHoweverTheStreamIsCut) {
    struct Case {
        const char* name;
        std::string wire;
        std::string data;
        std::vector<Command> commands;
    };
    const std::vector<Case> cases = {
        {"DataWithDoubledFF",
         bytes({0x00, 0xFF, 0xFF, 0x41, 0xFF, 0xFF, 0xFF, 0xFF}),
         bytes({0x00, 0xFF, 0x41, 0xFF, 0xFF}),
         {}},
        {"OptionsAmidData",
         bytes({0x41, 0xFF, kDo, kBinary, 0x42, 0xFF, kWill, kComPort}),
         "AB",
         {{kDo, kBinary, {}}, {kWill, kComPort, {}}}},
        {"SubnegotiationWithFFInItsPayload",
         bytes({0xFF, kSb, kComPort, 101, 0x00, 0xFF, 0xFF, 0x4B, 0xFF, kSe, 0xFF, 0xFF}),
         bytes({0xFF}),
         {{kSb, kComPort, bytes({101, 0x00, 0xFF, 0x4B})}}},
        {"OtherCommandsAreNoData", bytes({0x31, 0xFF, 241, 0x32}), "12", {{241, 0, {}}}},
    };
    for (const Case& c : cases) {
        for (std::size_t cut = 0; cut <= c.wire.size(); ++cut) {
            SCOPED_TRACE(std::string(c.name) + " cut at " + std::to_string(cut));
            Decoder decoder;
            std::string data;
            std::vector<Command> commands;
            decoder.feed(std::string_view(c.wire).substr(0, cut), data, commands);
            decoder.feed(std::string_view(c.wire).substr(cut), data, commands);
            EXPECT_EQ(data, c.data);
            EXPECT_EQ(commands, c.commands);
        }
    }
    // What is sent: each 0xFF doubled, and the decoder gives it back as it was.
    const std::string frame = bytes({0x00, 0xFF, 0x06, 0xFF, 0xFF});
    EXPECT_EQ(escape(frame), bytes({0x00, 0xFF, 0xFF, 0x06, 0xFF, 0xFF, 0xFF, 0xFF}));
    std::string back;
    std::vector<Command> none;
    Decoder().feed(escape(frame), back, none);
    EXPECT_EQ(back, frame);
    EXPECT_TRUE(none.empty());
}

// ---- The negotiation ----

std::vector<Command> commandsIn(const std::string& wire) {
    std::string data;
    std::vector<Command> commands;
    Decoder().feed(wire, data, commands);
    EXPECT_EQ(data, "");
    return commands;
}

Command verb(std::uint8_t v, int o) {
    return {v, static_cast<std::uint8_t>(o), {}};
}
Command will(int o) {
    return verb(kWill, o);
}
Command wont(int o) {
    return verb(kWont, o);
}
Command doo(int o) {
    return verb(kDo, o);
}
Command dont(int o) {
    return verb(kDont, o);
}
// A server's COM-PORT-OPTION answer: code and value.
Command ack(int code, std::string value) {
    return {kSb, kComPort, std::string(1, static_cast<char>(code)) + value};
}
Command ack(int code, int value) {
    return ack(code, std::string(1, static_cast<char>(value)));
}
const std::string k19200 = bytes({0, 0, 0x4B, 0});
// The line's acknowledgements, without DTR and RTS.
const std::vector<Command> kLineAcks = {ack(101, k19200), ack(102, 8), ack(103, 1), ack(104, 1),
                                        ack(105, 1)};

// The line is set once, with the values asked for, however the server orders its side; the
// options it offers are answered once and no more; what does not hold ends in a failure that
// says which.
TEST(Rfc2217NegotiationTest, SetsTheLineOnceWhateverTheServersHabits) {
    auto join = [](std::vector<std::vector<Command>> parts) {
        std::vector<Command> all;
        for (auto& p : parts)
            all.insert(all.end(), p.begin(), p.end());
        return all;
    };
    struct Case {
        const char* name;
        std::vector<Command> server;
        bool ready;
        NetworkFault fault;            // when not ready: failure() or whyNotReady()
        std::vector<Command> replies;  // what was sent back besides the line's settings
        const char* detail = "";
    };
    const std::vector<Case> cases = {
        // ser2net: offers its side first, echoes nothing, never acknowledges DTR or RTS.
        {"Ser2netOverAPty",
         join({{will(3), doo(3), will(1), dont(1), doo(0), will(0), doo(44), ack(107, 0)},
               kLineAcks}),
         true,
         NetworkFault::None,
         {doo(3), will(3), dont(1)}},
        // pyserial's port manager: offers COM-PORT-OPTION itself, answers ours after, and
        // acknowledges DTR and RTS as well; asks for this end's signature.
        {"PortManager",
         join({{will(1), will(3), doo(0), will(44), doo(44), will(0), ack(100, "")},
               kLineAcks,
               {ack(105, 8), ack(105, 11)}}),
         true,
         NetworkFault::None,
         {dont(1), doo(3), doo(44), {kSb, kComPort, bytes({0}) + "Tolvan Link"}}},
        // Asked again for what holds already: no answer, and the line is not set again.
        {"RepeatsItself",
         join({{doo(0), will(0), doo(44), doo(44), will(0), doo(0)}, kLineAcks}),
         true,
         NetworkFault::None,
         {}},
        {"PlainTelnet",
         {will(3), doo(3), will(1), dont(1), doo(0), will(0), dont(44)},
         false,
         NetworkFault::NotRfc2217,
         {doo(3), will(3), dont(1)},
         "refuses RFC 2217"},
        {"RefusesBinary",
         {wont(0), doo(0), doo(44)},
         false,
         NetworkFault::LineNotSet,
         {},
         "BINARY"},
        {"SetsAnotherSpeed",
         {doo(0), will(0), doo(44), ack(101, bytes({0, 0, 0x25, 0x80}))},
         false,
         NetworkFault::LineNotSet,
         {},
         "9600 baud, not 19200"},
        {"KeepsHardwareFlowControl",
         {doo(0), will(0), doo(44), ack(105, 3)},
         false,
         NetworkFault::LineNotSet,
         {},
         "hardware flow control"},
        {"AcknowledgesNothing",
         {doo(0), will(0), doo(44), ack(101, k19200)},
         false,
         NetworkFault::LineNotSet,
         {},
         "data size, parity, stop bits, flow control"},
        {"TelnetWithoutComPort", {will(3)}, false, NetworkFault::NotRfc2217, {doo(3)}, "never"},
        {"Silent", {}, false, NetworkFault::NoAnswer, {}, "never answered"},
    };
    const std::vector<Command> opening = {will(0), doo(0), will(44)};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rfc2217Negotiation n;
        EXPECT_EQ(commandsIn(n.start()), opening);
        std::vector<Command> replies;
        int lineSettings = 0;
        for (const Command& s : c.server) {
            for (const Command& r : commandsIn(n.handle(s))) {
                const bool setting = r.verb == kSb && r.option == kComPort && !r.payload.empty() &&
                                     r.payload[0] >= 1 && r.payload[0] <= 12;
                if (setting && r.payload[0] == 1) ++lineSettings;
                if (setting && r.payload[0] == 1) {
                    EXPECT_EQ(r.payload.substr(1), k19200);
                }
                if (!setting) replies.push_back(r);
            }
        }
        EXPECT_EQ(replies, c.replies);
        EXPECT_EQ(n.ready(), c.ready);
        if (c.ready) {
            EXPECT_EQ(lineSettings, 1);
            EXPECT_FALSE(n.failure());
            continue;
        }
        const NetworkFailure why = n.whyNotReady();
        EXPECT_EQ(why.fault, c.fault);
        EXPECT_NE(why.detail.find(c.detail), std::string::npos) << why.detail;
    }
}

// The settings asked for, in order, byte for byte: speed, 8 data bits, no parity, one stop
// bit, no flow control, DTR on, RTS on, both buffers purged.
TEST(Rfc2217NegotiationTest, AsksForTheLineOfTheDevice) {
    Rfc2217Negotiation n;
    n.start();
    std::string asked;
    for (const Command& s : {doo(0), will(0), doo(44)})
        asked += n.handle(s);
    std::vector<std::string> settings;
    for (const Command& c : commandsIn(asked))
        settings.push_back(c.payload);
    EXPECT_EQ(settings, (std::vector<std::string>{bytes({1}) + k19200, bytes({2, 8}), bytes({3, 1}),
                                                  bytes({4, 1}), bytes({5, 1}), bytes({5, 8}),
                                                  bytes({5, 11}), bytes({12, 3})}));
}

// A server that asks to be sent nothing is sent nothing until it resumes; BINARY turned off
// once the line is set shows as lost.
TEST(Rfc2217NegotiationTest, SuspendsAndNoticesBinaryTurnedOff) {
    Rfc2217Negotiation n;
    n.start();
    for (const Command& s : {doo(0), will(0), doo(44)})
        n.handle(s);
    for (const Command& s : kLineAcks)
        n.handle(s);
    ASSERT_TRUE(n.ready());
    n.handle(ack(108, ""));
    EXPECT_TRUE(n.suspended());
    n.handle(ack(109, ""));
    EXPECT_FALSE(n.suspended());
    EXPECT_FALSE(n.binaryLost());
    EXPECT_EQ(commandsIn(n.handle(wont(0))), std::vector<Command>{dont(0)});
    EXPECT_TRUE(n.binaryLost());
}

}  // namespace
}  // namespace tolvan
