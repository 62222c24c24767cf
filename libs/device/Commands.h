#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tolvan::emu {

// The command codes of the frames the host sends. A frame is 00, a fixed second byte, the code
// and the parameters; nothing but time separates one frame from the next.
enum Code : std::uint8_t {
    kLink = 0x01,               // 00 05 01 55 AA
    kNome = 0x02,               // 00 0F 02 + 13 name bytes, 00-filled (longer names sent whole)
    kEndereco1 = 0x03,          // 00 06 03 a1 a2 a3
    kEndereco2Gravacao = 0x04,  // 00 06 04 b1 b2 b3
    kSetoresGravacao = 0x05,    // 00 05 05 00 N  or  00 05 05 01 (N-255)
    kGravaSetor = 0x06,         // 00 03 06 + 257 data bytes
    kEndereco2Leitura = 0x07,   // 00 06 07 b1 b2 b3
    kSetoresLeitura = 0x08,     // 00 05 08 00 N  or  00 05 08 01 (N-255)
    kLeSetor = 0x09,            // 00 03 09
    kExecuta = 0x0B,            // 00 03 0B
};

// The second byte each code is sent with, and the frame's length (for kNome the shortest).
struct CommandShape {
    std::uint8_t second;
    std::size_t length;
};
std::optional<CommandShape> shapeOf(std::uint8_t code);
bool isSecondByte(std::uint8_t value);

// "CmdLink" ... "CmdExecuta"; "Cmd??" for an unknown code.
std::string commandName(std::uint8_t code);
// A command by its name with or without "Cmd" (any case), or by its code in hexadecimal.
std::optional<std::uint8_t> parseCommand(std::string_view text);

// Bytes as upper-case hexadecimal pairs separated by blanks.
std::string hexBytes(std::string_view bytes);
// Hexadecimal pairs, blanks allowed between them; nullopt on anything else.
std::optional<std::string> parseHexBytes(std::string_view text);

}  // namespace tolvan::emu
