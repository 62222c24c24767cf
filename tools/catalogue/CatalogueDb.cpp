#include "CatalogueDb.h"

#include <sqlite3.h>

#include <array>
#include <cstring>
#include <fstream>
#include <limits>
#include <memory>
#include <system_error>

#include "link/Frames.h"
#include "platform/SqliteCatalogue.h"
#include "services/CatalogueQuery.h"
#include "services/PathResolver.h"
#include "texts/Cp1252.h"

namespace tolvan::catalogue {

namespace {

// Descricao sorts ignoring case; the unique index keeps two rows from differing only in the case
// of ASCII letters (the tool also refuses Latin-1 case twins before writing).
constexpr const char* kSchema =
    "Create Table TolvanLink ("
    " Descricao Text Not Null Collate NoCase,"
    " Arquivo Text Not Null,"
    " Setor Integer Not Null,"
    " Arquivo_L Text Not Null,"
    " Setor_L Integer Not Null,"
    " Arquivo_L2 Text Not Null Default '',"
    " Setor_L2 Integer Not Null Default 0);"
    "Create Unique Index TolvanLink_Descricao On TolvanLink (Descricao Collate NoCase);";

constexpr const char* kSelect =
    "Select Descricao, Arquivo, Setor, Arquivo_L, Setor_L, Arquivo_L2, Setor_L2, rowid "
    "From TolvanLink Order by Descricao";

constexpr const char* kUpdate =
    "Update TolvanLink Set Descricao = ?1, Arquivo = ?2, Setor = ?3, Arquivo_L = ?4, "
    "Setor_L = ?5, Arquivo_L2 = ?6, Setor_L2 = ?7 Where rowid = ?8";

struct Stmt {
    sqlite3_stmt* s = nullptr;
    ~Stmt() { sqlite3_finalize(s); }
};

// The bytes as stored.
std::string_view storedText(sqlite3_stmt* s, int col) {
    const auto* text = sqlite3_column_text(s, col);
    if (!text) return {};
    return {reinterpret_cast<const char*>(text),
            static_cast<std::size_t>(sqlite3_column_bytes(s, col))};
}

std::string columnText(sqlite3_stmt* s, int col) {
    return utf8OrCp1252ToUtf8(storedText(s, col));
}

bool startsWithSqliteMagic(const std::filesystem::path& file) {
    char magic[16] = {};
    std::ifstream in(file, std::ios::binary);
    in.read(magic, sizeof magic);
    return in.gcount() == sizeof magic && std::memcmp(magic, "SQLite format 3", 16) == 0;
}

// The text columns with their names, in table order.
std::array<std::pair<const char*, const std::string*>, 4> textColumns(const CatalogueRow& row) {
    return {{{kColumnNames[0], &row.descricao},
             {kColumnNames[1], &row.arquivo},
             {kColumnNames[3], &row.arquivoL},
             {kColumnNames[5], &row.arquivoL2}}};
}

void bindText(sqlite3_stmt* s, int parameter, const std::string& text) {
    sqlite3_bind_text(s, parameter, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

std::optional<RowProblem> textProblem(const CatalogueRow& row) {
    for (const auto& [column, text] : textColumns(row)) {
        if (!isUtf8(*text))
            return RowProblem{column, "'" + shown(*text) + "' (read as Windows-1252) is not UTF-8"};
        if (text->find('\0') != std::string::npos)
            return RowProblem{column, "the text holds a NUL character"};
    }
    return std::nullopt;
}

sqlite3* openConnection(const std::filesystem::path& file, int flags) {
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(utf8(file).c_str(), &db, flags, nullptr);
    if (rc == SQLITE_OK) return db;
    const std::string why = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    sqlite3_close_v2(db);
    throw ToolError(utf8(file) + ": " + why);
}

}  // namespace

bool sameDescription(const std::string& a, const std::string& b) {
    return sameComponentIgnoringCase(a, b);
}

bool hasOuterBlanks(const std::string& text) {
    return !text.empty() && (static_cast<unsigned char>(text.front()) <= 32 ||
                             static_cast<unsigned char>(text.back()) <= 32);
}

std::string sectorCountProblem(const char* column, std::int64_t value) {
    return std::string(column) + " must be between 0 and " + std::to_string(kSetoresMaximos) +
           ", the sector counts the device can be given, not " + std::to_string(value) + ".";
}

std::string shown(const std::string& text) {
    return utf8OrCp1252ToUtf8(text);
}

std::optional<RowProblem> rowProblem(const CatalogueRow& row) {
    if (auto problem = textProblem(row)) return problem;
    if (row.descricao.empty()) return RowProblem{kColumnNames[0], "the description is empty"};
    if (hasOuterBlanks(row.descricao))
        return RowProblem{kColumnNames[0], "'" + row.descricao + "' begins or ends with blanks"};
    const std::pair<const char*, std::int64_t> counts[] = {{kColumnNames[2], row.setor},
                                                           {kColumnNames[4], row.setorL},
                                                           {kColumnNames[6], row.setorL2}};
    for (const auto& [column, value] : counts)
        if (!contagemRepresentavel(value))
            return RowProblem{column, std::to_string(value) +
                                          " is not a sector count the device can be given (0 "
                                          "to " +
                                          std::to_string(kSetoresMaximos) + ")"};
    return std::nullopt;
}

void validateRow(const CatalogueRow& row) {
    const auto problem = rowProblem(row);
    if (!problem) return;
    // A problem of another column names the system it is in.
    const std::string who =
        problem->column == kColumnNames[0] ? "" : "\"" + shown(row.descricao) + "\", ";
    throw ToolError(who + "column " + problem->column + ": " + problem->what + ".");
}

CatalogueDb::CatalogueDb(sqlite3* db, std::filesystem::path file)
    : db_(db), reader_(std::make_unique<SqliteCatalogue>(db)), file_(std::move(file)) {
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, 5000);
}

CatalogueDb::CatalogueDb(CatalogueDb&& other) noexcept
    : db_(other.db_),
      reader_(std::move(other.reader_)),
      file_(std::move(other.file_)),
      inTransaction_(other.inTransaction_) {
    other.db_ = nullptr;
}

CatalogueDb::~CatalogueDb() {
    if (inTransaction_) sqlite3_exec(db_, "Rollback", nullptr, nullptr, nullptr);
    sqlite3_close_v2(db_);
}

CatalogueDb CatalogueDb::create(const std::filesystem::path& file) {
    std::error_code ec;
    if (std::filesystem::exists(file, ec))
        throw ToolError(utf8(file) + ": the file already exists; it was left as it is.");
    CatalogueDb db(openConnection(file, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE), file);
    try {
        inTransaction(db, [&] { db.exec(kSchema); });
    } catch (...) {
        std::filesystem::remove(file, ec);
        throw;
    }
    return db;
}

CatalogueDb CatalogueDb::open(const std::filesystem::path& file) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec))
        throw ToolError(utf8(file) + ": no catalogue file there.");
    if (!startsWithSqliteMagic(file))
        throw ToolError(utf8(file) +
                        ": not a SQLite catalogue. A Paradox table is converted with: "
                        "tolvan-catalogue convert \"" +
                        utf8(file) + "\"");
    CatalogueDb db(openConnection(file, SQLITE_OPEN_READWRITE), file);
    Stmt st;
    if (sqlite3_prepare_v2(db.db_, kSelect, -1, &st.s, nullptr) != SQLITE_OK)
        throw ToolError(utf8(file) + ": no usable TolvanLink table (" + sqlite3_errmsg(db.db_) +
                        ").");
    // What the program refuses to read (a view, a virtual table, a reading that runs away) is
    // refused here too.
    std::string why;
    if (!db.reader_->le(why)) {
        if (why.ends_with('.')) why.pop_back();
        throw ToolError(utf8(file) + ": no usable TolvanLink table (" + why + ").");
    }
    return db;
}

void CatalogueDb::exec(const char* sql) {
    reader_->novaLeitura();
    char* message = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        std::string text = message ? message : sqlite3_errmsg(db_);
        sqlite3_free(message);
        throw ToolError(utf8(file_) + ": " + text);
    }
}

void CatalogueDb::begin() {
    exec("Begin Immediate");
    inTransaction_ = true;
}

void CatalogueDb::commit() {
    exec("Commit");
    inTransaction_ = false;
}

void CatalogueDb::rollback() {
    if (!inTransaction_) return;
    sqlite3_exec(db_, "Rollback", nullptr, nullptr, nullptr);
    inTransaction_ = false;
}

std::vector<CatalogueRow> CatalogueDb::rows() const {
    std::string why;
    std::optional<CatalogueTable> table = reader_->le(why);
    if (!table) throw ToolError(utf8(file_) + ": " + why);
    CatalogueQuery q;
    q.open(std::move(*table));
    std::vector<CatalogueRow> out;
    for (q.First(); !q.Eof(); q.Next())
        out.push_back(q.linha());
    return out;
}

std::int64_t CatalogueDb::rowIdOf(const std::string& descricao, std::int64_t except) const {
    reader_->novaLeitura();
    Stmt st;
    if (sqlite3_prepare_v2(db_, kSelect, -1, &st.s, nullptr) != SQLITE_OK)
        throw ToolError(utf8(file_) + ": " + sqlite3_errmsg(db_));
    int rc;
    while ((rc = sqlite3_step(st.s)) == SQLITE_ROW) {
        const std::int64_t id = sqlite3_column_int64(st.s, 7);
        if (id != except && sameDescription(columnText(st.s, 0), descricao)) return id;
    }
    if (rc != SQLITE_DONE) throw ToolError(utf8(file_) + ": " + sqlite3_errmsg(db_));
    return 0;
}

std::optional<CatalogueRow> CatalogueDb::find(const std::string& descricao) const {
    for (CatalogueRow& row : rows())
        if (sameDescription(row.descricao, descricao)) return std::move(row);
    return std::nullopt;
}

void CatalogueDb::write(const char* sql, const CatalogueRow& row, std::int64_t rowId) {
    reader_->novaLeitura();
    Stmt st;
    if (sqlite3_prepare_v2(db_, sql, -1, &st.s, nullptr) != SQLITE_OK)
        throw ToolError(utf8(file_) + ": " + sqlite3_errmsg(db_));
    // Whatever the command, only UTF-8 text goes in.
    if (const auto problem = textProblem(row))
        throw ToolError("\"" + shown(row.descricao) + "\", column " + problem->column + ": " +
                        problem->what + ".");
    const auto texts = textColumns(row);
    const std::int64_t numbers[] = {row.setor, row.setorL, row.setorL2};
    // Parameters in table order: text, text, integer, text, integer, text, integer.
    bindText(st.s, 1, *texts[0].second);
    for (int k = 0; k < 3; ++k) {
        bindText(st.s, 2 + 2 * k, *texts[static_cast<std::size_t>(k) + 1].second);
        sqlite3_bind_int64(st.s, 3 + 2 * k, numbers[k]);
    }
    if (rowId != 0) sqlite3_bind_int64(st.s, 8, rowId);
    if (sqlite3_step(st.s) != SQLITE_DONE)
        throw ToolError("\"" + row.descricao + "\": " + sqlite3_errmsg(db_));
}

void CatalogueDb::insert(const CatalogueRow& row) {
    validateRow(row);
    insertAsIs(row);
}

void CatalogueDb::insertAsIs(const CatalogueRow& row) {
    if (rowIdOf(row.descricao) != 0)
        throw ToolError("\"" + row.descricao +
                        "\": the catalogue already has a system of that description (ignoring "
                        "case).");
    write(
        "Insert Into TolvanLink (Descricao, Arquivo, Setor, Arquivo_L, Setor_L, Arquivo_L2, "
        "Setor_L2) Values (?1, ?2, ?3, ?4, ?5, ?6, ?7)",
        row, 0);
}

void CatalogueDb::update(const std::string& descricao, const CatalogueRow& row) {
    const std::int64_t id = rowIdOf(descricao);
    if (id == 0) throw ToolError("\"" + descricao + "\": no such system in the catalogue.");
    validateRow(row);
    if (rowIdOf(row.descricao, id) != 0)
        throw ToolError("\"" + row.descricao +
                        "\": another system already has that description (ignoring case).");
    write(kUpdate, row, id);
}

void CatalogueDb::remove(const std::string& descricao) {
    const std::int64_t id = rowIdOf(descricao);
    if (id == 0) throw ToolError("\"" + descricao + "\": no such system in the catalogue.");
    reader_->novaLeitura();
    Stmt st;
    sqlite3_prepare_v2(db_, "Delete From TolvanLink Where rowid = ?1", -1, &st.s, nullptr);
    sqlite3_bind_int64(st.s, 1, id);
    if (sqlite3_step(st.s) != SQLITE_DONE)
        throw ToolError(utf8(file_) + ": " + sqlite3_errmsg(db_));
}

void CatalogueDb::removeAll() {
    exec("Delete From TolvanLink");
}

std::vector<CatalogueDb::LegacyText> CatalogueDb::legacyText() const {
    reader_->novaLeitura();
    Stmt st;
    if (sqlite3_prepare_v2(db_, kSelect, -1, &st.s, nullptr) != SQLITE_OK)
        throw ToolError(utf8(file_) + ": " + sqlite3_errmsg(db_));
    std::vector<LegacyText> found;
    int rc;
    while ((rc = sqlite3_step(st.s)) == SQLITE_ROW) {
        LegacyText legacy{columnText(st.s, 0), {}};
        for (const int col : {0, 1, 3, 5})
            if (!isUtf8(storedText(st.s, col))) legacy.columns.push_back(kColumnNames[col]);
        if (!legacy.columns.empty()) found.push_back(std::move(legacy));
    }
    if (rc != SQLITE_DONE) throw ToolError(utf8(file_) + ": " + sqlite3_errmsg(db_));
    return found;
}

void CatalogueDb::reencodeLegacyText() {
    for (const LegacyText& legacy : legacyText()) {
        const std::int64_t id = rowIdOf(legacy.descricao);
        if (rowIdOf(legacy.descricao, id) != 0)
            throw ToolError("\"" + legacy.descricao +
                            "\": re-encoded, it would repeat another system's description "
                            "(ignoring case). Remove or rename one of them first.");
        write(kUpdate, *find(legacy.descricao), id);
    }
}

}  // namespace tolvan::catalogue
