#include "platform/SqliteCatalogue.h"

#include <sqlite3.h>

#include <cstring>
#include <memory>

#include "services/PathResolver.h"
#include "texts/Cp1252.h"

namespace tolvan {

namespace {

constexpr const char* kQuery = "Select * From TolvanLink Order by Descricao";
// A hostile file may hold a table whose reading never ends; a statement is cut off after this
// many progress calls (each one is 1000 virtual-machine steps).
constexpr int kProgressStep = 1000;
constexpr int kProgressLimit = 50000;

struct StmtFinalizer {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};

CatalogueValue cellValue(sqlite3_stmt* stmt, int col) {
    CatalogueValue v;
    switch (sqlite3_column_type(stmt, col)) {
        case SQLITE_INTEGER:
            v.type = CatalogueValue::Type::Integer;
            v.integer = sqlite3_column_int64(stmt, col);
            break;
        case SQLITE_FLOAT:
            v.type = CatalogueValue::Type::Real;
            v.real = sqlite3_column_double(stmt, col);
            break;
        case SQLITE_NULL:
            break;
        default: {  // text, or a blob read as text
            const auto* bytes = sqlite3_column_text(stmt, col);
            v.type = CatalogueValue::Type::Text;
            // SQLite hands back whatever bytes were stored; an older tool stored a spreadsheet's
            // Windows-1252 text as it was.
            if (bytes)
                v.text =
                    utf8OrCp1252ToUtf8({reinterpret_cast<const char*>(bytes),
                                        static_cast<std::size_t>(sqlite3_column_bytes(stmt, col))});
            break;
        }
    }
    return v;
}

}  // namespace

SqliteCatalogue::SqliteCatalogue(sqlite3* db) : db_(db) {
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_progress_handler(
        db, kProgressStep,
        [](void* counter) { return ++*static_cast<int*>(counter) > kProgressLimit ? 1 : 0; },
        &passos_);
}

std::optional<CatalogueTable> SqliteCatalogue::le(std::string& porque) {
    novaLeitura();
    // Only a real table: a view or virtual table of that name could run anything.
    {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db_,
                               "Select type, Coalesce(sql Like 'CREATE VIRTUAL%', 0) "
                               "From sqlite_master Where name = 'TolvanLink' Collate NoCase",
                               -1, &s, nullptr) != SQLITE_OK) {
            porque = sqlite3_errmsg(db_);
            return std::nullopt;
        }
        std::unique_ptr<sqlite3_stmt, StmtFinalizer> stmt(s);
        const int step = sqlite3_step(s);
        if (step == SQLITE_DONE) {
            porque = "não há tabela TolvanLink.";
            return std::nullopt;
        }
        if (step != SQLITE_ROW) {
            porque = sqlite3_errmsg(db_);
            return std::nullopt;
        }
        const auto* type = sqlite3_column_text(s, 0);
        const bool virtualTable = sqlite3_column_int(s, 1) != 0;
        if (!type || std::strcmp(reinterpret_cast<const char*>(type), "table") != 0 ||
            virtualTable) {
            porque = "TolvanLink não é uma tabela.";
            return std::nullopt;
        }
    }

    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db_, kQuery, -1, &s, nullptr) != SQLITE_OK) {
        porque = sqlite3_errmsg(db_);
        return std::nullopt;
    }
    std::unique_ptr<sqlite3_stmt, StmtFinalizer> stmt(s);

    CatalogueTable table;
    const int columns = sqlite3_column_count(s);
    for (int c = 0; c < columns; ++c) {
        const char* name = sqlite3_column_name(s, c);
        table.columns.emplace_back(name ? name : "");
    }
    for (const char* wanted : catalogo::kColunas) {
        bool found = false;
        for (const std::string& name : table.columns)
            found = found || sameComponentIgnoringCase(name, wanted);
        if (!found) {
            porque = std::string("falta a coluna ") + wanted + ".";
            return std::nullopt;
        }
    }

    for (;;) {
        const int step = sqlite3_step(s);
        if (step == SQLITE_DONE) break;
        if (step != SQLITE_ROW) {
            porque = sqlite3_errmsg(db_);
            return std::nullopt;
        }
        std::vector<CatalogueValue> row;
        row.reserve(static_cast<std::size_t>(columns));
        for (int c = 0; c < columns; ++c)
            row.push_back(cellValue(s, c));
        table.rows.push_back(std::move(row));
    }
    return table;
}

}  // namespace tolvan
