#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tolvan::cli {

// Writes `bytes` as `file`, whole or not at all: into a temporary name beside it, flushed to
// the disk, then renamed over it. A reader never sees half an image under its name, and a
// failure leaves no partial file. False, and why in `error`, when it was not written.
bool writeWhole(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes,
                std::string& error);

}  // namespace tolvan::cli
