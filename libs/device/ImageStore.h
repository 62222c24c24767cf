#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvan::emu {

inline constexpr std::size_t kSectorSize = 256;

// An image is named by the three bytes of its address frame, b1 b2 b3 read as one number.
using Address = std::uint32_t;
inline constexpr Address kMainImage = 0x002000;  // 00 20 00
inline constexpr Address kLImage = 0x010000;     // 01 00 00
inline constexpr Address kL2Image = 0x020000;    // 02 00 00

Address addressOf(std::uint8_t b1, std::uint8_t b2, std::uint8_t b3);
// "main", "L", "L2", or the six hexadecimal digits of any other address.
std::string imageName(Address address);
// Accepts main, L, L2 (any case) or six hexadecimal digits.
std::optional<Address> parseImageName(std::string_view text);

// The device's memory: the written bytes of each image, sector 1 first. A sector that was never
// written reads as FF, as erased flash does.
class ImageStore {
  public:
    // The 256 bytes of sector `sector` (from 1).
    std::string sector(Address image, std::size_t sector) const;
    void writeSector(Address image, std::size_t sector, std::string_view bytes);
    // One byte of a sector (index from 0), the image growing only as far as that byte.
    void writeByte(Address image, std::size_t sector, std::size_t index, char byte);
    // Forgets everything the image held (a new write sequence starts on erased memory).
    void erase(Address image);
    // The image holds exactly these bytes from sector 1 on.
    void setImage(Address image, std::string_view bytes);
    // The bytes written so far, up to the end of the last sector written; empty when none.
    std::string image(Address image) const;
    bool has(Address image) const { return images_.count(image) != 0; }
    std::vector<Address> addresses() const;

    // The store file: a text file with one block per image,
    //   image <6 hex digits> <byte count>
    //   <the bytes in hexadecimal, 32 a line>
    // after a first line "tolvan-device-store 1". Lines starting with # are comments.
    bool load(const std::string& path, std::string& error);
    // Writes through a temporary file renamed over `path`, so a crash leaves the old store.
    bool save(const std::string& path, std::string& error) const;

  private:
    std::map<Address, std::string> images_;
};

// What the device holds after the host has programmed this image file: the main image loses its
// leading FF and 00 bytes (the host skips them), and the last sector is filled with 00.
std::string asProgrammed(std::string_view fileBytes, bool mainImage);

}  // namespace tolvan::emu
