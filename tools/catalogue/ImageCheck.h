#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "CatalogueDb.h"

namespace tolvan::catalogue {

inline constexpr std::int64_t kSectorBytes = 256;

// The bytes of an image that the program sends: a main image loses its leading FF and 00
// bytes, L and L2 images keep every byte. None when the file cannot be read.
std::optional<std::int64_t> keptBytes(const std::filesystem::path& image, bool mainImage);
std::int64_t sectorsFor(std::int64_t keptBytes);

// The image file the program opens for `name` in the bin folder, found as the program finds
// it: each path component matched without regard to case.
std::filesystem::path imagePath(const std::filesystem::path& binDir, const std::string& name);

// Everything in the catalogue that would make a run fail or the list misbehave: missing image
// files, sector counts that do not match the files, descriptions that are duplicates ignoring
// case or that have outer blanks. One text a problem, naming the system.
std::vector<std::string> checkCatalogue(const std::vector<CatalogueRow>& rows,
                                        const std::filesystem::path& binDir);

}  // namespace tolvan::catalogue
