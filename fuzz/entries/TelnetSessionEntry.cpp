#include <string>
#include <vector>

#include "FuzzEntries.h"
#include "FuzzSupport.h"
#include "platform/Rfc2217Negotiation.h"
#include "platform/TelnetCodec.h"

namespace tolvan::fuzz {

namespace {

// The most the client says back to one command of the server's: setting the whole line at
// once, well under this.
constexpr std::size_t kReplyLimit = 256;

std::string decoded(std::string_view bytes, std::vector<telnet::Command>& commands) {
    telnet::Decoder decoder;
    std::string data;
    decoder.feed(bytes, data, commands);
    return data;
}

}  // namespace

// What a serial port server sends on a network serial port, as the driver takes it: cut into
// reads at points that input byte 0 picks, through the telnet decoder and the client's side of
// the RFC 2217 negotiation. The cuts change nothing, the buffers stay bounded, the client's
// answers are well-formed commands that never reach the device as data, and data survives
// escaping.
void fuzzTelnetSession(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    std::uint32_t cuts = in.byte();
    const std::string stream = in.rest();

    std::vector<telnet::Command> wholeCommands;
    const std::string whole = decoded(stream, wholeCommands);

    telnet::Decoder decoder;
    Rfc2217Negotiation session;
    std::string received;
    std::vector<telnet::Command> commands;
    std::string sent = session.start();
    for (std::size_t at = 0; at < stream.size();) {
        cuts = cuts * 1103515245u + 12345u;
        const std::size_t n = 1 + (cuts >> 16) % 64;
        std::vector<telnet::Command> read;
        decoder.feed(std::string_view(stream).substr(at, n), received, read);
        at += n;
        for (const telnet::Command& c : read) {
            expect(c.payload.size() <= telnet::Decoder::kPayloadLimit,
                   "a subnegotiation grew past its limit");
            const std::optional<NetworkFailure> before = session.failure();
            const std::string reply = session.handle(c);
            expect(reply.size() <= kReplyLimit, "one command drew an answer without bound");
            expect(!before || (session.failure() && session.failure()->detail == before->detail),
                   "the session forgot or changed why it failed");
            sent += reply;
            commands.push_back(c);
        }
    }
    expect(received == whole, "the data depends on where the reads were cut");
    expect(commands == wholeCommands, "the commands depend on where the reads were cut");

    // The client's requests and answers are commands alone: a byte after them is data.
    std::vector<telnet::Command> ours;
    expect(decoded(sent + 'x', ours) == "x", "the client's answers would reach the device");

    std::vector<telnet::Command> none;
    expect(decoded(telnet::escape(received), none) == received && none.empty(),
           "escaped data does not come back as it was");
}

}  // namespace tolvan::fuzz
