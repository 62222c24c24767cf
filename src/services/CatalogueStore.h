#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tolvan {

// The catalogue: the table TolvanLink, a system a row, in ascending order of Descricao.
namespace catalogo {
inline constexpr const char* kTabela = "TolvanLink";
inline constexpr const char* kDescricao = "Descricao";
inline constexpr const char* kArquivo = "Arquivo";  // the main image's file name
inline constexpr const char* kSetor = "Setor";      // its size in sectors of 256 bytes
inline constexpr const char* kArquivoL = "Arquivo_L";
inline constexpr const char* kSetorL = "Setor_L";
inline constexpr const char* kArquivoL2 = "Arquivo_L2";  // empty or blank: no L2 image
inline constexpr const char* kSetorL2 = "Setor_L2";
// The columns in table order.
inline constexpr const char* kColunas[7] = {kDescricao, kArquivo,   kSetor,  kArquivoL,
                                            kSetorL,    kArquivoL2, kSetorL2};
}  // namespace catalogo

// A system of the catalogue as the tools, the tests and the demo installation write one.
struct CatalogueRow {
    std::string descricao;
    std::string arquivo;
    std::int64_t setor = 0;
    std::string arquivoL;
    std::int64_t setorL = 0;
    std::string arquivoL2;  // empty: no L2 image
    std::int64_t setorL2 = 0;
};

// One value of a catalogue row as the database gives it.
struct CatalogueValue {
    enum class Type { Null, Integer, Real, Text };
    Type type = Type::Null;
    std::int64_t integer = 0;
    double real = 0.0;
    std::string text;  // UTF-8
};

// The result of "Select * From TolvanLink Order by Descricao".
struct CatalogueTable {
    std::vector<std::string> columns;
    std::vector<std::vector<CatalogueValue>> rows;
};

enum class CatalogueProblem {
    None,
    Missing,     // no file at the path
    Paradox,     // a legacy Paradox table: convert it with the catalogue tool
    NotSqlite,   // some other file
    Unreadable,  // a SQLite file that cannot be read or has no usable TolvanLink table
};

struct CatalogueOpenResult {
    std::optional<CatalogueTable> table;
    CatalogueProblem problem = CatalogueProblem::None;
    std::string detail;  // for the operator and standard error
};

// The database engine that holds the catalogue.
class CatalogueStore {
  public:
    virtual ~CatalogueStore() = default;
    virtual CatalogueOpenResult open(const std::filesystem::path& file) = 0;
};

}  // namespace tolvan
