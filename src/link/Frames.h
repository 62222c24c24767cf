#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tolvan {

class SerialPort;

// The frames the host sends. Every frame starts with 00; its second byte is fixed per frame; the
// third is the command code. Variable frames are composed as decimal text: digit pairs for
// MandaStr ("000306" is 00 03 06), blank-separated numbers for MandaStr2 ("00 06 03 00 32 00"
// is 00 06 03 00 20 00). Each composed byte goes to the port as its own one-byte write.

// Two upper-case hexadecimal digits: 10 gives "0A".
std::string ByteHex(std::uint8_t value);

// Digit pairs, each one byte (low eight bits); the last digit of an odd-length text is dropped.
// Throws std::invalid_argument for a pair that is not a number.
void MandaStr(SerialPort& port, std::string_view digitPairs);
// Blank-separated decimal numbers, each one byte (low eight bits). Empty tokens (two blanks in a
// row, a leading or trailing blank) send nothing. Throws std::invalid_argument for a token that
// is not a number.
void MandaStr2(SerialPort& port, std::string_view numberList);

// The fixed frames, each handed to the port as one string.
inline const std::string kCmdLink{"\x00\x05\x01\x55\xAA", 5};
inline const std::string kCmdLeSetor{"\x00\x03\x09", 3};
inline const std::string kCmdExecuta{"\x00\x03\x0B", 3};

// The device's answers that the host recognises.
inline constexpr std::string_view kRespostaLink = "00 03 01";
// Bytes of an image in one sector.
inline constexpr int kBytesPorSetor = 256;
// Sector counts that the count frames carry faithfully: 00 N for 0 to 255, 01 (N - 255) for
// 256 to 510. Any other count would announce to the device another number than the host uses.
inline constexpr std::int64_t kSetoresMaximos = 510;
constexpr bool contagemRepresentavel(std::int64_t setores) {
    return setores >= 0 && setores <= kSetoresMaximos;
}
// Length of the head 01 03 09 that starts every answer to CmdLeSetor.
inline constexpr int kTamanhoCabecalhoSetor = 3;

// Positions for the image's name in CmdNome.
inline constexpr std::size_t kTamanhoNome = 13;

void CmdLink(SerialPort& port);
// 00 0F 02, then the trimmed name one byte per character (its Windows-1252 code, '?' for a
// character the code page lacks), then 00 up to the 13th name byte. A longer name goes whole.
void CmdNome(SerialPort& port, const std::string& nomeArq);
void CmdEndereco1(SerialPort& port, const std::string& endereco1);
void CmdEndereco2Gravacao(SerialPort& port, const std::string& endereco2);
// 00 05 05 00 N for N up to 255, else 00 05 05 01 (N - 255).
void CmdSetoresGravacao(SerialPort& port, int qtdSetores);
void CmdEndereco2Leitura(SerialPort& port, const std::string& endereco2);
// 00 05 08 00 N for N up to 255, else 00 05 08 01 (N - 255).
void CmdSetoresLeitura(SerialPort& port, int qtdSetores);
void CmdLeSetor(SerialPort& port);
void CmdExecuta(SerialPort& port);

}  // namespace tolvan
