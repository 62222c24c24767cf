#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "services/CatalogueStore.h"

struct sqlite3;

namespace tolvan {
class SqliteCatalogue;
}

namespace tolvan::catalogue {

// A failure the operator has to act on; the text says what and where.
class ToolError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The column names, in table order.
inline constexpr const auto& kColumnNames = catalogo::kColunas;

// Descriptions are compared as the program compares them: ignoring case of ASCII and Latin-1
// letters.
bool sameDescription(const std::string& a, const std::string& b);
// Leading or trailing blanks (characters 0 to 32), which the program's display trims away.
bool hasOuterBlanks(const std::string& text);

// A rule that one column of a row breaks, for messages that say where: "'Beta ' begins or ends
// with blanks", "600 is not a sector count the device can be given (0 to 510)".
struct RowProblem {
    const char* column;
    std::string what;
};
// The first rule `row` breaks: a description empty or with outer blanks, a text that is not
// UTF-8 or holds a NUL (SQLite would store the first and cut the second short), a sector count
// outside what the count frames carry (0 to 510).
std::optional<RowProblem> rowProblem(const CatalogueRow& row);
// Throws ToolError naming the row and the column when `row` breaks a rule.
void validateRow(const CatalogueRow& row);
// `text` for a message: read as Windows-1252 when it is not UTF-8, so that a terminal shows it.
std::string shown(const std::string& text);
// What is wrong with a sector count outside 0 to 510, for messages.
std::string sectorCountProblem(const char* column, std::int64_t value);

// The SQLite catalogue file, opened for writing. It is opened and read as the program reads it
// (SqliteCatalogue): a file the program refuses is refused here too. Every change runs inside a
// transaction that is rolled back unless commit() is reached, so a failure never leaves half a
// change behind.
class CatalogueDb {
  public:
    // A new, empty catalogue; the file must not exist.
    static CatalogueDb create(const std::filesystem::path& file);
    // An existing catalogue with a TolvanLink table.
    static CatalogueDb open(const std::filesystem::path& file);

    CatalogueDb(CatalogueDb&& other) noexcept;
    CatalogueDb& operator=(CatalogueDb&&) = delete;
    ~CatalogueDb();

    // Rows as the program reads them: in its order ("Order by Descricao"), text that is not
    // UTF-8 read as Windows-1252, each column's value as the program takes it.
    std::vector<CatalogueRow> rows() const;
    std::optional<CatalogueRow> find(const std::string& descricao) const;

    void begin();
    void commit();
    void rollback();

    // These refuse a description that another row already has, ignoring case.
    void insert(const CatalogueRow& row);
    // A row taken over from a legacy table: only duplicates are refused.
    void insertAsIs(const CatalogueRow& row);
    void update(const std::string& descricao, const CatalogueRow& row);
    void remove(const std::string& descricao);
    void removeAll();

    // The rows whose text is not UTF-8 (written by hand, or by an older import from a
    // spreadsheet's file): the description as rows() gives it and the columns concerned.
    struct LegacyText {
        std::string descricao;
        std::vector<const char*> columns;
    };
    std::vector<LegacyText> legacyText() const;
    // Writes those texts again as UTF-8, read as Windows-1252 (as rows() and the program read
    // them). Refuses when one would then repeat another system's description.
    void reencodeLegacyText();

  private:
    explicit CatalogueDb(sqlite3* db, std::filesystem::path file);
    void exec(const char* sql);
    // The first row described as `descricao` ignoring case, other than `except`; 0: none.
    std::int64_t rowIdOf(const std::string& descricao, std::int64_t except = 0) const;
    void write(const char* sql, const CatalogueRow& row, std::int64_t rowId);

    sqlite3* db_ = nullptr;
    std::unique_ptr<SqliteCatalogue> reader_;  // the program's guards and reading
    std::filesystem::path file_;
    bool inTransaction_ = false;
};

// Runs a change in a transaction: commits when `change` returns, rolls back when it throws.
template <typename F>
void inTransaction(CatalogueDb& db, F&& change) {
    db.begin();
    try {
        change();
    } catch (...) {
        db.rollback();
        throw;
    }
    db.commit();
}

}  // namespace tolvan::catalogue
