#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tolvan::testing {

// A row of a legacy catalogue table; texts are bytes in the table's code page.
struct ParadoxRow {
    std::string descricao, arquivo;
    int setor = 0;
    std::string arquivoL;
    int setorL = 0;
    std::string arquivoL2;
    double setorL2 = 0;
};

// Writes a Paradox data table with pxlib: Descricao A40, Arquivo A20, Setor short, Arquivo_L A20,
// Setor_L long and, when withL2, Arquivo_L2 A20 and Setor_L2 number.
void writeParadoxTable(const std::filesystem::path& file, const std::vector<ParadoxRow>& rows,
                       int codePage, bool withL2 = true);

// A fresh folder under the system's temporary folder, removed with the object.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

std::string readBytes(const std::filesystem::path& file);
void writeBytes(const std::filesystem::path& file, const std::string& bytes);

}  // namespace tolvan::testing
