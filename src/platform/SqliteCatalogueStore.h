#pragma once

#include <cstdint>
#include <string_view>

#include "services/CatalogueStore.h"

namespace tolvan {

// The catalogue in a SQLite file, opened read-only: "Select * From TolvanLink Order by
// Descricao". A file that is not a usable catalogue is classified, never created or changed:
// missing, a legacy Paradox table (the catalogue tool converts it), some other file, or a
// SQLite file without a readable TolvanLink table.
class SqliteCatalogueStore : public CatalogueStore {
  public:
    CatalogueOpenResult open(const std::filesystem::path& file) override;
};

// True when `header` (the first bytes of a file) has the layout of a Paradox data table.
bool looksLikeParadoxTable(std::string_view header, std::uintmax_t fileSize);

}  // namespace tolvan
