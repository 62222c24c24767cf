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

std::string ByteHex(std::uint8_t value);

void MandaStr(SerialPort& port, std::string_view digitPairs);
void MandaStr2(SerialPort& port, std::string_view numberList);

// The fixed frames, each handed to the port as one string.
inline const std::string kCmdLink{"\x00\x05\x01\x55\xAA", 5};
inline const std::string kCmdLeSetor{"\x00\x03\x09", 3};
inline const std::string kCmdExecuta{"\x00\x03\x0B", 3};

// The device's answers that the host recognises.
inline constexpr std::string_view kRespostaLink = "00 03 01";

void CmdLink(SerialPort& port);
void CmdNome(SerialPort& port, const std::string& nomeArq);
void CmdEndereco1(SerialPort& port, const std::string& endereco1);
void CmdEndereco2Gravacao(SerialPort& port, const std::string& endereco2);
void CmdSetoresGravacao(SerialPort& port, int qtdSetores);
void CmdEndereco2Leitura(SerialPort& port, const std::string& endereco2);
void CmdSetoresLeitura(SerialPort& port, int qtdSetores);
void CmdLeSetor(SerialPort& port);
void CmdExecuta(SerialPort& port);

}  // namespace tolvan
