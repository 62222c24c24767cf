#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "services/CatalogueStore.h"

namespace tolvan::catalogue {

// A row of a legacy catalogue table; texts are bytes in the table's code page.
using ParadoxRow = CatalogueRow;

// Writes a Paradox data table as older installations kept the catalogue, with pxlib: Descricao
// A40, Arquivo A20, Setor short, Arquivo_L A20, Setor_L long and, when withL2, Arquivo_L2 A20
// and Setor_L2 number. For the tests and the fuzzers' seeds; the tool itself only reads them.
void writeParadoxTable(const std::filesystem::path& file, const std::vector<ParadoxRow>& rows,
                       int codePage, bool withL2 = true);

}  // namespace tolvan::catalogue
