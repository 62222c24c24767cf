#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "services/CatalogueStore.h"

struct sqlite3;

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

// The rules every stored row keeps: a description without outer blanks, sector counts that the
// count frames carry (0 to 510). Throws ToolError naming the row.
void validateRow(const CatalogueRow& row);
// What is wrong with a sector count outside 0 to 510, for messages.
std::string sectorCountProblem(const char* column, std::int64_t value);

// The SQLite catalogue file, opened for writing. Every change runs inside a transaction that
// is rolled back unless commit() is reached, so a failure never leaves half a change behind.
class CatalogueDb {
  public:
    // A new, empty catalogue; the file must not exist.
    static CatalogueDb create(const std::filesystem::path& file);
    // An existing catalogue with a TolvanLink table.
    static CatalogueDb open(const std::filesystem::path& file);

    CatalogueDb(CatalogueDb&& other) noexcept;
    CatalogueDb& operator=(CatalogueDb&&) = delete;
    ~CatalogueDb();

    // Rows in the program's order ("Order by Descricao").
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

  private:
    explicit CatalogueDb(sqlite3* db, std::filesystem::path file);
    void exec(const char* sql);
    std::int64_t rowIdOf(const std::string& descricao) const;  // 0: none
    void write(const char* sql, const CatalogueRow& row, std::int64_t rowId);

    sqlite3* db_ = nullptr;
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
