#include "texts/Cp1252.h"

#include <cstdint>

namespace tolvan {

namespace {

// Code points of the bytes 0x80 to 0x9F; 0 where the code page has no character.
constexpr char32_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Decodes one UTF-8 character at text[i]; advances i. Malformed bytes decode as themselves.
char32_t nextCodePoint(std::string_view text, std::size_t& i) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    auto cont = [&](std::size_t k) {
        return i + k < text.size() && (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
    };
    auto bits = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]) & 0x3Fu; };
    if (b0 >= 0xC2 && b0 < 0xE0 && cont(1)) {
        char32_t cp = ((b0 & 0x1Fu) << 6) | bits(1);
        i += 2;
        return cp;
    }
    if (b0 >= 0xE0 && b0 < 0xF0 && cont(1) && cont(2)) {
        char32_t cp = ((b0 & 0x0Fu) << 12) | (bits(1) << 6) | bits(2);
        i += 3;
        return cp;
    }
    if (b0 >= 0xF0 && b0 < 0xF5 && cont(1) && cont(2) && cont(3)) {
        char32_t cp = ((b0 & 0x07u) << 18) | (bits(1) << 12) | (bits(2) << 6) | bits(3);
        i += 4;
        return cp;
    }
    i += 1;
    return b0;
}

std::optional<unsigned char> encode(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<unsigned char>(cp);
    for (int k = 0; k < 32; ++k) {
        if (kHigh[k] != 0 && kHigh[k] == cp) return static_cast<unsigned char>(0x80 + k);
    }
    return std::nullopt;
}

}  // namespace

std::string cp1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        char32_t cp = b;
        if (b >= 0x80 && b < 0xA0) cp = kHigh[b - 0x80] ? kHigh[b - 0x80] : b;
        appendUtf8(out, cp);
    }
    return out;
}

std::optional<std::string> cp1252ToUtf8Exact(std::string_view bytes) {
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b >= 0x80 && b < 0xA0 && kHigh[b - 0x80] == 0) return std::nullopt;
    }
    return cp1252ToUtf8(bytes);
}

bool isUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const auto b0 = static_cast<unsigned char>(bytes[i]);
        if (b0 < 0x80) {
            ++i;
            continue;
        }
        // The length and the range of the second byte, which excludes overlong forms,
        // surrogates and code points past U+10FFFF.
        std::size_t length = 0;
        unsigned char low = 0x80, high = 0xBF;
        if (b0 >= 0xC2 && b0 <= 0xDF) {
            length = 2;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            length = 3;
            if (b0 == 0xE0) low = 0xA0;
            if (b0 == 0xED) high = 0x9F;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            length = 4;
            if (b0 == 0xF0) low = 0x90;
            if (b0 == 0xF4) high = 0x8F;
        } else {
            return false;
        }
        if (i + length > bytes.size()) return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto b = static_cast<unsigned char>(bytes[i + k]);
            if (b < (k == 1 ? low : 0x80) || b > (k == 1 ? high : 0xBF)) return false;
        }
        i += length;
    }
    return true;
}

std::string utf8OrCp1252ToUtf8(std::string_view bytes) {
    return isUtf8(bytes) ? std::string(bytes) : cp1252ToUtf8(bytes);
}

std::string utf8ToCp1252(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        auto code = encode(nextCodePoint(text, i));
        out += code ? static_cast<char>(*code) : '?';
    }
    return out;
}

std::optional<std::string> utf8ToCp1252Exact(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        auto code = encode(nextCodePoint(text, i));
        if (!code) return std::nullopt;
        out += static_cast<char>(*code);
    }
    return out;
}

}  // namespace tolvan
