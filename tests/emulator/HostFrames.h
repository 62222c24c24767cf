#pragma once

// Frames as the host composes them, for driving the device in tests.
#include <cstdint>
#include <string>
#include <vector>

namespace tolvan::emu::test {

inline std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values)
        out.push_back(static_cast<char>(v));
    return out;
}

inline std::string linkPoll() {
    return bytes({0x00, 0x05, 0x01, 0x55, 0xAA});
}
inline std::string leSetor() {
    return bytes({0x00, 0x03, 0x09});
}
inline std::string executa() {
    return bytes({0x00, 0x03, 0x0B});
}

// 00 0F 02, the name, then 00 up to 13 name positions (a longer name is sent whole).
inline std::string nome(const std::string& name) {
    std::string frame = bytes({0x00, 0x0F, 0x02}) + name;
    if (name.size() < 13) frame.append(13 - name.size(), '\0');
    return frame;
}

inline std::string address(int code, std::uint32_t image) {
    return bytes({0x00, 0x06, code, static_cast<int>(image >> 16) & 0xFF,
                  static_cast<int>(image >> 8) & 0xFF, static_cast<int>(image) & 0xFF});
}
inline std::string endereco1(std::uint32_t a) {
    return address(0x03, a);
}
inline std::string endereco2Gravacao(std::uint32_t image) {
    return address(0x04, image);
}
inline std::string endereco2Leitura(std::uint32_t image) {
    return address(0x07, image);
}

inline std::string setores(int code, int n) {
    return n <= 255 ? bytes({0x00, 0x05, code, 0x00, n}) : bytes({0x00, 0x05, code, 0x01, n - 255});
}

// The sector-write frames for these image bytes: 00 03 06, the held byte, then 256 bytes; each
// frame's last byte is the next frame's held byte; the last frame is filled with 00.
inline std::vector<std::string> gravaSetores(const std::string& entries) {
    std::vector<std::string> frames;
    std::size_t next = 0;  // entry held for the next frame
    do {
        std::string frame = bytes({0x00, 0x03, 0x06});
        frame += entries.substr(next, 257);
        frame.resize(260, '\0');
        frames.push_back(frame);
        next += 256;
    } while (next + 1 < entries.size());
    return frames;
}

// An image of n bytes that differ from their neighbours and from FF.
inline std::string pattern(std::size_t n, int seed = 1) {
    std::string out;
    for (std::size_t i = 0; i < n; ++i)
        out.push_back(static_cast<char>((i * 7 + static_cast<std::size_t>(seed)) % 251));
    return out;
}

}  // namespace tolvan::emu::test
