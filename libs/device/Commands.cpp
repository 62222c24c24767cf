#include "device/Commands.h"

namespace tolvan::emu {

namespace {

struct Command {
    std::uint8_t code;
    const char* name;
    CommandShape shape;
};

constexpr Command kCommands[] = {
    {kLink, "CmdLink", {0x05, 5}},
    {kNome, "CmdNome", {0x0F, 16}},
    {kEndereco1, "CmdEndereco1", {0x06, 6}},
    {kEndereco2Gravacao, "CmdEndereco2Gravacao", {0x06, 6}},
    {kSetoresGravacao, "CmdSetoresGravacao", {0x05, 5}},
    {kGravaSetor, "CmdGravaSetor", {0x03, 260}},
    {kEndereco2Leitura, "CmdEndereco2Leitura", {0x06, 6}},
    {kSetoresLeitura, "CmdSetoresLeitura", {0x05, 5}},
    {kLeSetor, "CmdLeSetor", {0x03, 3}},
    {kExecuta, "CmdExecuta", {0x03, 3}},
};

const Command* find(std::uint8_t code) {
    for (const Command& c : kCommands)
        if (c.code == code) return &c;
    return nullptr;
}

char lowerChar(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lowerChar(a[i]) != lowerChar(b[i])) return false;
    return true;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = lowerChar(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

std::optional<CommandShape> shapeOf(std::uint8_t code) {
    const Command* c = find(code);
    if (!c) return std::nullopt;
    return c->shape;
}

bool isSecondByte(std::uint8_t value) {
    for (const Command& c : kCommands)
        if (c.shape.second == value) return true;
    return false;
}

std::string commandName(std::uint8_t code) {
    const Command* c = find(code);
    return c ? c->name : "Cmd??";
}

std::optional<std::uint8_t> parseCommand(std::string_view text) {
    for (const Command& c : kCommands) {
        const std::string_view name = c.name;
        if (sameText(text, name) || sameText(text, name.substr(3))) return c.code;
    }
    if (text.size() > 2 && text[0] == '0' && lowerChar(text[1]) == 'x') text.remove_prefix(2);
    if (text.empty() || text.size() > 2) return std::nullopt;
    int value = 0;
    for (char ch : text) {
        const int d = hexDigit(ch);
        if (d < 0) return std::nullopt;
        value = value * 16 + d;
    }
    if (!find(static_cast<std::uint8_t>(value))) return std::nullopt;
    return static_cast<std::uint8_t>(value);
}

std::string hexBytes(std::string_view bytes) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 3);
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (!out.empty()) out += ' ';
        out += kHex[b >> 4];
        out += kHex[b & 15];
    }
    return out;
}

std::optional<std::string> parseHexBytes(std::string_view text) {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ' || text[i] == ',') {
            ++i;
            continue;
        }
        if (i + 1 >= text.size()) return std::nullopt;
        const int high = hexDigit(text[i]);
        const int low = hexDigit(text[i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        out.push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    return out;
}

}  // namespace tolvan::emu
