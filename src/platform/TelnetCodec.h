#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The byte layer of telnet (RFC 854) as a serial port server speaks it: data bytes with every
// 0xFF doubled, and commands that start with IAC (0xFF) anywhere in the stream.
namespace tolvan::telnet {

inline constexpr std::uint8_t kSe = 240;    // end of subnegotiation
inline constexpr std::uint8_t kSb = 250;    // subnegotiation begins
inline constexpr std::uint8_t kWill = 251;  // the sender will use an option
inline constexpr std::uint8_t kWont = 252;
inline constexpr std::uint8_t kDo = 253;  // the sender asks the other end to use an option
inline constexpr std::uint8_t kDont = 254;
inline constexpr std::uint8_t kIac = 255;

// Options.
inline constexpr std::uint8_t kBinary = 0;  // RFC 856: 8-bit data, no CR NUL stuffing
inline constexpr std::uint8_t kEcho = 1;
inline constexpr std::uint8_t kSuppressGoAhead = 3;
inline constexpr std::uint8_t kComPort = 44;  // RFC 2217

// A command read from the stream: an option verb (kWill ... kDont) with its option, a
// subnegotiation (kSb) with its option and payload (its doubled 0xFF undone), or any other
// two-byte command (NOP, GA, ...) with option 0.
struct Command {
    std::uint8_t verb = 0;
    std::uint8_t option = 0;
    std::string payload;
    bool operator==(const Command&) const = default;
};

// The data as it goes on the wire: every 0xFF doubled.
std::string escape(std::string_view data);
// A command as it goes on the wire.
std::string option(std::uint8_t verb, std::uint8_t option);
std::string subnegotiation(std::uint8_t option, std::string_view payload);

// Splits what arrives into data and commands. A command or a doubled 0xFF may be cut anywhere
// between two reads; the decoder carries what it has seen to the next feed.
class Decoder {
  public:
    // Longer subnegotiations are cut here: no server needs more, and a broken one must not
    // make the decoder grow without end.
    static constexpr std::size_t kPayloadLimit = 256;

    // Appends the data bytes of `bytes` to `data` and its commands to `commands`, in order.
    void feed(std::string_view bytes, std::string& data, std::vector<Command>& commands);

  private:
    enum class State { Data, Iac, Verb, SbOption, Sb, SbIac };
    State state_ = State::Data;
    Command pending_;
};

}  // namespace tolvan::telnet
