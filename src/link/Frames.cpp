// Scaffold so that the core links while the frames are being written.
#include "link/Frames.h"

namespace tolvan {
std::string ByteHex(std::uint8_t) { return "00"; }
void MandaStr(SerialPort&, std::string_view) {}
void MandaStr2(SerialPort&, std::string_view) {}
void CmdLink(SerialPort&) {}
void CmdNome(SerialPort&, const std::string&) {}
void CmdEndereco1(SerialPort&, const std::string&) {}
void CmdEndereco2Gravacao(SerialPort&, const std::string&) {}
void CmdSetoresGravacao(SerialPort&, int) {}
void CmdEndereco2Leitura(SerialPort&, const std::string&) {}
void CmdSetoresLeitura(SerialPort&, int) {}
void CmdLeSetor(SerialPort&) {}
void CmdExecuta(SerialPort&) {}
}  // namespace tolvan
