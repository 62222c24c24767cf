#include "platform/SqliteCatalogueStore.h"

#include <sqlite3.h>

#include <array>
#include <cstring>
#include <fstream>
#include <memory>
#include <system_error>

#include "services/PathResolver.h"
#include "texts/Cp1252.h"

namespace tolvan {

namespace {

constexpr std::string_view kSqliteMagic{"SQLite format 3\0", 16};
constexpr const char* kQuery = "Select * From TolvanLink Order by Descricao";
constexpr const auto& kColumns = catalogo::kColunas;
// A hostile file may hold a table whose reading never ends; the query is cut off after this
// many progress calls (each one is 1000 virtual-machine steps).
constexpr int kProgressStep = 1000;
constexpr int kProgressLimit = 50000;

unsigned le16(std::string_view b, std::size_t at) {
    return static_cast<unsigned char>(b[at]) | (static_cast<unsigned char>(b[at + 1]) << 8);
}

CatalogueOpenResult failure(CatalogueProblem problem, std::string detail) {
    CatalogueOpenResult r;
    r.problem = problem;
    r.detail = std::move(detail);
    return r;
}

std::string quoted(const std::filesystem::path& file) {
    // Appended piece by piece: "literal" + string trips GCC 12's -Wrestrict in Release.
    std::string text = "\"";
    text += file.string();
    text += '"';
    return text;
}

struct DbCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
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

CatalogueOpenResult unreadable(const std::filesystem::path& file, const std::string& why) {
    return failure(CatalogueProblem::Unreadable,
                   "O catálogo " + quoted(file) + " não pôde ser lido: " + why);
}

CatalogueOpenResult readSqlite(const std::filesystem::path& file) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
    std::unique_ptr<sqlite3, DbCloser> db(raw);
    if (rc != SQLITE_OK) return unreadable(file, raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc));
    sqlite3_extended_result_codes(raw, 1);
    sqlite3_busy_timeout(raw, 1000);
    sqlite3_db_config(raw, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(raw, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    int progress = 0;
    sqlite3_progress_handler(
        raw, kProgressStep,
        [](void* counter) { return ++*static_cast<int*>(counter) > kProgressLimit ? 1 : 0; },
        &progress);

    // Only a real table: a view or virtual table of that name could run anything.
    {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(raw,
                               "Select type, Coalesce(sql Like 'CREATE VIRTUAL%', 0) "
                               "From sqlite_master Where name = 'TolvanLink' Collate NoCase",
                               -1, &s, nullptr) != SQLITE_OK)
            return unreadable(file, sqlite3_errmsg(raw));
        std::unique_ptr<sqlite3_stmt, StmtFinalizer> stmt(s);
        const int step = sqlite3_step(s);
        if (step == SQLITE_DONE) return unreadable(file, "não há tabela TolvanLink.");
        if (step != SQLITE_ROW) return unreadable(file, sqlite3_errmsg(raw));
        const auto* type = sqlite3_column_text(s, 0);
        const bool virtualTable = sqlite3_column_int(s, 1) != 0;
        if (!type || std::strcmp(reinterpret_cast<const char*>(type), "table") != 0 || virtualTable)
            return unreadable(file, "TolvanLink não é uma tabela.");
    }

    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(raw, kQuery, -1, &s, nullptr) != SQLITE_OK)
        return unreadable(file, sqlite3_errmsg(raw));
    std::unique_ptr<sqlite3_stmt, StmtFinalizer> stmt(s);

    CatalogueTable table;
    const int columns = sqlite3_column_count(s);
    for (int c = 0; c < columns; ++c) {
        const char* name = sqlite3_column_name(s, c);
        table.columns.emplace_back(name ? name : "");
    }
    for (const char* wanted : kColumns) {
        bool found = false;
        for (const std::string& name : table.columns)
            found = found || sameComponentIgnoringCase(name, wanted);
        if (!found) return unreadable(file, std::string("falta a coluna ") + wanted + ".");
    }

    for (;;) {
        const int step = sqlite3_step(s);
        if (step == SQLITE_DONE) break;
        if (step != SQLITE_ROW) return unreadable(file, sqlite3_errmsg(raw));
        std::vector<CatalogueValue> row;
        row.reserve(static_cast<std::size_t>(columns));
        for (int c = 0; c < columns; ++c)
            row.push_back(cellValue(s, c));
        table.rows.push_back(std::move(row));
    }

    CatalogueOpenResult result;
    result.table = std::move(table);
    return result;
}

}  // namespace

bool looksLikeParadoxTable(std::string_view h, std::uintmax_t fileSize) {
    // Fixed header fields: record size (0), header size (2), file type (4: 0 or 2 for a data
    // table), block size in KiB (5), number of fields (33), file version (57).
    if (h.size() < 88) return false;
    const unsigned recordSize = le16(h, 0);
    const unsigned headerSize = le16(h, 2);
    const auto fileType = static_cast<unsigned char>(h[4]);
    const auto blockKib = static_cast<unsigned char>(h[5]);
    const unsigned fields = le16(h, 33);
    const auto version = static_cast<unsigned char>(h[57]);
    return recordSize > 0 && headerSize >= 88 && headerSize <= fileSize &&
           (fileType == 0 || fileType == 2) && blockKib >= 1 && blockKib <= 32 && fields > 0 &&
           fields < 256 && version >= 3 && version <= 15;
}

CatalogueOpenResult SqliteCatalogueStore::open(const std::filesystem::path& file) {
    std::error_code ec;
    const auto status = std::filesystem::status(file, ec);
    if (!std::filesystem::exists(status))
        return failure(CatalogueProblem::Missing, "O catálogo " + quoted(file) + " não existe.");
    if (!std::filesystem::is_regular_file(status))
        return failure(CatalogueProblem::NotSqlite,
                       "O catálogo " + quoted(file) + " não é um arquivo.");

    std::ifstream in(file, std::ios::binary);
    if (!in) return unreadable(file, std::strerror(errno));
    std::string header(100, '\0');
    in.read(header.data(), static_cast<std::streamsize>(header.size()));
    header.resize(static_cast<std::size_t>(in.gcount()));
    in.close();
    const std::uintmax_t size = std::filesystem::file_size(file, ec);

    if (header.size() >= kSqliteMagic.size() &&
        header.compare(0, kSqliteMagic.size(), kSqliteMagic) == 0)
        return readSqlite(file);
    if (looksLikeParadoxTable(header, ec ? 0 : size))
        return failure(
            CatalogueProblem::Paradox,
            "O catálogo " + quoted(file) +
                " é uma tabela Paradox antiga. Converta-o com: tolvan-catalogue convert " +
                quoted(file));
    if (header.empty())
        return failure(CatalogueProblem::NotSqlite, "O catálogo " + quoted(file) + " está vazio.");
    return failure(CatalogueProblem::NotSqlite,
                   "O catálogo " + quoted(file) + " não é um banco de dados SQLite.");
}

}  // namespace tolvan
