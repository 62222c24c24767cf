#include "link/Frames.h"

#include <charconv>
#include <stdexcept>

#include "link/SerialPort.h"
#include "texts/Cp1252.h"
#include "texts/Trim.h"

namespace tolvan {

namespace {

// A decimal number read from text, as the byte its low eight bits make.
std::uint8_t byteOf(std::string_view number) {
    long long value = 0;
    const char* end = number.data() + number.size();
    auto [ptr, ec] = std::from_chars(number.data(), end, value);
    if (ec != std::errc() || ptr != end) {
        throw std::invalid_argument("'" + std::string(number) + "' is not a valid integer value");
    }
    return static_cast<std::uint8_t>(static_cast<unsigned long long>(value) & 0xFFu);
}

void sendByte(SerialPort& port, std::uint8_t byte) {
    const char ch = static_cast<char>(byte);
    port.sendString(std::string_view(&ch, 1));
}

void CmdSetores(SerialPort& port, std::string_view head, int qtdSetores) {
    std::string text(head);
    if (qtdSetores <= 255) {
        text += "00 " + std::to_string(qtdSetores);
    } else {
        // The device takes the second form as 255 plus the count byte.
        text += "01 " + std::to_string(qtdSetores - 255);
    }
    MandaStr2(port, text);
}

}  // namespace

std::string ByteHex(std::uint8_t value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    return {kDigits[value >> 4], kDigits[value & 0x0F]};
}

void MandaStr(SerialPort& port, std::string_view digitPairs) {
    const std::size_t pairs = digitPairs.size() / 2;
    for (std::size_t k = 0; k < pairs; ++k) {
        sendByte(port, byteOf(digitPairs.substr(2 * k, 2)));
    }
}

void MandaStr2(SerialPort& port, std::string_view numberList) {
    while (!numberList.empty()) {
        const std::size_t blank = numberList.find(' ');
        const std::string_view token = numberList.substr(0, blank);
        if (!token.empty()) sendByte(port, byteOf(token));
        if (blank == std::string_view::npos) break;
        numberList.remove_prefix(blank + 1);
    }
}

void CmdLink(SerialPort& port) {
    port.sendString(kCmdLink);
}

void CmdNome(SerialPort& port, const std::string& nomeArq) {
    // One byte per character: the device reads the name in its own 8-bit code page.
    const std::string nome = utf8ToCp1252(Trim(nomeArq));
    MandaStr(port, "001502");
    for (char ch : nome)
        sendByte(port, static_cast<std::uint8_t>(ch));
    for (std::size_t k = nome.size(); k < kTamanhoNome; ++k)
        sendByte(port, 0);
}

void CmdEndereco1(SerialPort& port, const std::string& endereco1) {
    MandaStr2(port, "00 06 03 " + endereco1);
}

void CmdEndereco2Gravacao(SerialPort& port, const std::string& endereco2) {
    MandaStr2(port, "00 06 04 " + endereco2);
}

void CmdSetoresGravacao(SerialPort& port, int qtdSetores) {
    CmdSetores(port, "00 05 05 ", qtdSetores);
}

void CmdEndereco2Leitura(SerialPort& port, const std::string& endereco2) {
    MandaStr2(port, "00 06 07 " + endereco2);
}

void CmdSetoresLeitura(SerialPort& port, int qtdSetores) {
    CmdSetores(port, "00 05 08 ", qtdSetores);
}

void CmdLeSetor(SerialPort& port) {
    port.sendString(kCmdLeSetor);
}

void CmdExecuta(SerialPort& port) {
    port.sendString(kCmdExecuta);
}

}  // namespace tolvan
