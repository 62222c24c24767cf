#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>

namespace tolvan::test {

// The bytes with these values.
inline std::string bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values)
        s += static_cast<char>(v);
    return s;
}

// `n` bytes that never start with FF or 00, so that a main image keeps all of them.
inline std::string pattern(std::size_t n, int seed = 1) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i)
        s += static_cast<char>(1 + (i * 7 + seed) % 250);
    return s;
}

}  // namespace tolvan::test
