#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tolvan::catalogue {

// A row of a legacy catalogue table; texts are bytes in the table's code page.
struct ParadoxRow {
    std::string descricao, arquivo;
    int setor = 0;
    std::string arquivoL;
    int setorL = 0;
    std::string arquivoL2;
    double setorL2 = 0;
};

// Writes a Paradox data table as older installations kept the catalogue, with pxlib: Descricao
// A40, Arquivo A20, Setor short, Arquivo_L A20, Setor_L long and, when withL2, Arquivo_L2 A20
// and Setor_L2 number. For the tests and the fuzzers' seeds; the tool itself only reads them.
void writeParadoxTable(const std::filesystem::path& file, const std::vector<ParadoxRow>& rows,
                       int codePage, bool withL2 = true);

}  // namespace tolvan::catalogue
