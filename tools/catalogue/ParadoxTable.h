#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "CatalogueDb.h"

namespace tolvan::catalogue {

// The rows of a legacy Paradox catalogue table, texts converted from the table's code page to
// UTF-8. Columns are found by name ignoring case; the L2 columns may be missing (older tables),
// which reads as a system without an L2 image.
struct ParadoxCatalogue {
    std::vector<CatalogueRow> rows;
    int codePage = 0;                // as the table's header gives it; 0: none given
    std::vector<std::string> notes;  // what the operator should know about the conversion
};

// Throws ToolError when the file is not a Paradox table or lacks a needed column.
ParadoxCatalogue readParadoxCatalogue(const std::filesystem::path& file);

}  // namespace tolvan::catalogue
