#include "platform/SqliteCatalogueStore.h"

#include <sqlite3.h>

#include <array>
#include <cstring>
#include <fstream>
#include <memory>
#include <system_error>

#include "platform/SqliteCatalogue.h"
#include "services/PathResolver.h"

namespace tolvan {

namespace {

constexpr std::string_view kSqliteMagic{"SQLite format 3\0", 16};

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
    text += utf8(file);
    text += '"';
    return text;
}

struct DbCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};

CatalogueOpenResult unreadable(const std::filesystem::path& file, const std::string& why) {
    return failure(CatalogueProblem::Unreadable,
                   "O catálogo " + quoted(file) + " não pôde ser lido: " + why);
}

CatalogueOpenResult readSqlite(const std::filesystem::path& file) {
    sqlite3* raw = nullptr;
    // SQLite takes the name in UTF-8 on every system; on Windows the native (wide) name would not
    // compile, and a narrow one in the ANSI code page would lose what that page cannot spell.
    const int rc = sqlite3_open_v2(utf8(file).c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
    std::unique_ptr<sqlite3, DbCloser> db(raw);
    if (rc != SQLITE_OK) return unreadable(file, raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc));
    sqlite3_extended_result_codes(raw, 1);
    sqlite3_busy_timeout(raw, 1000);
    SqliteCatalogue catalogo(raw);
    std::string porque;
    std::optional<CatalogueTable> table = catalogo.le(porque);
    if (!table) return unreadable(file, porque);
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
