#pragma once

#include <string>
#include <vector>

#include "CatalogueDb.h"

namespace tolvan::catalogue {

// Catalogue rows as CSV (RFC 4180, UTF-8): a header line naming the columns, then one line a
// system. Reading accepts the columns in any order and any case; the L2 columns may be left
// out. Fields are taken exactly as written: no blanks are trimmed.
std::vector<CatalogueRow> parseCatalogueCsv(const std::string& text);
std::string formatCatalogueCsv(const std::vector<CatalogueRow>& rows);

}  // namespace tolvan::catalogue
