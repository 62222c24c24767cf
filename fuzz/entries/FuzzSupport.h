#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tolvan::fuzz {

// A rule that an input broke: the fuzzer stops on it like on a crash, a regression test fails.
class FuzzFailure : public std::logic_error {
  public:
    using std::logic_error::logic_error;
};

inline void expect(bool holds, const std::string& rule) {
    if (!holds) throw FuzzFailure(rule);
}

// Reads an input front to back; past its end every read gives zeros and empty strings, so every
// input, however short, is a whole scenario.
class FuzzInput {
  public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    explicit FuzzInput(std::string_view bytes)
        : FuzzInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()) {}

    bool empty() const { return pos_ >= size_; }
    std::size_t left() const { return size_ - pos_; }
    std::uint8_t byte();
    // Up to `n` bytes.
    std::string bytes(std::size_t n);
    // Everything still unread.
    std::string rest();

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// A folder of its own under the temporary folder for the life of the process (one per fuzz
// process, so that two fuzzers side by side never share files); removed at exit.
const std::filesystem::path& scratchFolder();

void writeBytes(const std::filesystem::path& file, std::string_view bytes);
std::string readBytes(const std::filesystem::path& file);

// Well-formed UTF-8: no stray continuation bytes, no overlong forms, no surrogates.
bool isUtf8(std::string_view text);

}  // namespace tolvan::fuzz
