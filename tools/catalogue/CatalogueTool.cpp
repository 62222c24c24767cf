#include "CatalogueTool.h"

#include <strings.h>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <share.h>
#include <sys/stat.h>
#else
#include <unistd.h>
#endif
#include <CLI/CLI.hpp>

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>

#include "CatalogueDb.h"
#include "CsvFile.h"
#include "ImageCheck.h"
#include "ParadoxTable.h"
#include "services/PathResolver.h"

namespace tolvan::catalogue {

namespace {

constexpr const char* kDescription =
    "Keeps the catalogue of systems that TolvanLink writes into the device: the SQLite table\n"
    "TolvanLink (Descricao, Arquivo, Setor, Arquivo_L, Setor_L, Arquivo_L2, Setor_L2) in the file\n"
    "<root>/Orsolite/Tolvan Link/Tabelas/TolvanLink.db. Every change is one transaction: a "
    "command\n"
    "that fails leaves the catalogue as it was.";

constexpr const char* kFooter =
    "Sector counts are sectors of 256 bytes. Where a command takes a count, 'auto' (the default "
    "of\n"
    "add) counts it from the image file in the bin folder: a main image without its leading FF "
    "and\n"
    "00 bytes, L and L2 images whole. The bin folder is --bin, or else the folder 'bin' beside "
    "the\n"
    "catalogue's folder (<root>/Orsolite/Tolvan Link/bin).\n"
    "\n"
    "import-csv reads a CSV file as a spreadsheet saves it: separated by ';', ',' or tabs, in\n"
    "UTF-8 (with or without a byte-order mark) or Windows-1252, with CRLF or LF line ends. A\n"
    "refusal names the line and the column; nothing that is not UTF-8 is ever stored. Text that\n"
    "an older import stored in Windows-1252 is read as such by TolvanLink and tolvan-flash;\n"
    "check reports it and check --fix re-encodes it.\n"
    "\n"
    "Examples:\n"
    "  tolvan-catalogue create TolvanLink.db\n"
    "  tolvan-catalogue add TolvanLink.db --descricao \"Sistema X\" --arquivo x.bin --arquivo-l "
    "x.l\n"
    "  tolvan-catalogue update TolvanLink.db \"sistema x\" --setor auto\n"
    "  tolvan-catalogue check TolvanLink.db\n"
    "  tolvan-catalogue import-csv TolvanLink.db Sistemas.csv   (as the spreadsheet saved it)\n"
    "  tolvan-catalogue export-csv --for-spreadsheet TolvanLink.db Sistemas.csv\n"
    "  tolvan-catalogue convert TolvanLink.db      (a Paradox table becomes SQLite)\n"
    "\n"
    "Exit status: 0 done, 1 failed or check found problems, 2 wrong command line.";

// The options that describe one system; a sector text is a count or "auto".
struct RowOptions {
    std::optional<std::string> descricao, arquivo, setor, arquivoL, setorL, arquivoL2, setorL2;
    std::string bin;

    void addTo(CLI::App& cmd, bool descricaoRequired) {
        auto* d = cmd.add_option("--descricao,-d", descricao,
                                 "description shown on the device's list (no outer blanks)");
        if (descricaoRequired) d->required();
        cmd.add_option("--arquivo", arquivo, "file name of the main image in the bin folder");
        cmd.add_option("--setor", setor, "sectors of the main image, or auto");
        cmd.add_option("--arquivo-l", arquivoL, "file name of the L image");
        cmd.add_option("--setor-l", setorL, "sectors of the L image, or auto");
        cmd.add_option("--arquivo-l2", arquivoL2, "file name of the L2 image (empty: none)");
        cmd.add_option("--setor-l2", setorL2, "sectors of the L2 image, or auto");
        cmd.add_option("--bin", bin, "folder of the image files");
    }
};

std::filesystem::path binFolder(const std::string& given, const std::filesystem::path& catalogue) {
    if (!given.empty()) return given;
    return std::filesystem::absolute(catalogue).parent_path().parent_path() / "bin";
}

std::int64_t sectorsOf(const std::string& text, const char* column, const std::string& file,
                       bool mainImage, const std::filesystem::path& bin) {
    if (text == "auto") {
        if (file.empty()) return 0;
        const auto kept = keptBytes(imagePath(bin, file), mainImage);
        if (!kept)
            throw ToolError(std::string(column) + " auto: no image file \"" + file + "\" in " +
                            utf8(bin) + ".");
        return sectorsFor(*kept);
    }
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end)
        throw ToolError(std::string(column) + " must be a whole number or auto, not \"" + text +
                        "\".");
    return value;
}

// Applies the options given to `row`; sector counts left out are "auto" for a new row and
// unchanged otherwise (an L2 image taken away takes its count with it).
CatalogueRow applyOptions(CatalogueRow row, const RowOptions& o, bool newRow,
                          const std::filesystem::path& bin) {
    if (o.descricao) row.descricao = *o.descricao;
    if (o.arquivo) row.arquivo = *o.arquivo;
    if (o.arquivoL) row.arquivoL = *o.arquivoL;
    if (o.arquivoL2) row.arquivoL2 = *o.arquivoL2;
    auto count = [&](const std::optional<std::string>& given, std::int64_t current,
                     const char* column, const std::string& file, bool mainImage) {
        if (given) return sectorsOf(*given, column, file, mainImage, bin);
        return newRow ? sectorsOf("auto", column, file, mainImage, bin) : current;
    };
    row.setor = count(o.setor, row.setor, "Setor", row.arquivo, true);
    row.setorL = count(o.setorL, row.setorL, "Setor_L", row.arquivoL, false);
    row.setorL2 = count(o.setorL2, row.setorL2, "Setor_L2", row.arquivoL2, false);
    if (o.arquivoL2 && o.arquivoL2->empty() && !o.setorL2) row.setorL2 = 0;
    return row;
}

std::size_t displayWidth(const std::string& s) {
    std::size_t n = 0;
    for (unsigned char ch : s)
        n += (ch & 0xC0) != 0x80;
    return n;
}

void printTable(std::ostream& out, const std::vector<CatalogueRow>& rows) {
    std::vector<std::vector<std::string>> cells;
    cells.push_back({kColumnNames, kColumnNames + 7});
    for (const CatalogueRow& r : rows)
        cells.push_back({r.descricao, r.arquivo, std::to_string(r.setor), r.arquivoL,
                         std::to_string(r.setorL), r.arquivoL2, std::to_string(r.setorL2)});
    std::vector<std::size_t> width(7, 0);
    for (const auto& line : cells)
        for (std::size_t c = 0; c < 7; ++c)
            width[c] = std::max(width[c], displayWidth(line[c]));
    for (const auto& line : cells) {
        std::string text;
        for (std::size_t c = 0; c < 7; ++c) {
            text += line[c];
            if (c + 1 < 7) text += std::string(width[c] - displayWidth(line[c]) + 2, ' ');
        }
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
        out << text << "\n";
    }
}

std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw ToolError(utf8(file) + ": cannot be read.");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Writes `text` to `file` through a temporary file beside it, so that the file is either the
// old one or the whole new one.
void writeFileAtomically(const std::filesystem::path& file, const std::string& text) {
#ifdef _WIN32
    // A name of its own, made only if no file has it (so nothing is written through).
    std::filesystem::path temp;
    int fd = -1;
    for (unsigned attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temp = file;
        temp += ".tmp-" + std::to_string(::_getpid()) + "-" + std::to_string(attempt);
        ::_wsopen_s(&fd, temp.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _SH_DENYRW,
                    _S_IREAD | _S_IWRITE);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) throw ToolError(utf8(file) + ": cannot be written (" + std::strerror(errno) + ").");
    const bool written = ::_write(fd, text.data(), static_cast<unsigned>(text.size())) ==
                             static_cast<int>(text.size()) &&
                         ::_commit(fd) == 0;
    ::_close(fd);
#else
    std::string temp = file.string() + ".tmp-XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) throw ToolError(utf8(file) + ": cannot be written (" + std::strerror(errno) + ").");
    const bool written =
        ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) &&
        fsync(fd) == 0;
    ::close(fd);
#endif
    std::error_code ec;
    if (written) std::filesystem::rename(temp, file, ec);
    if (!written || ec) {
        std::filesystem::remove(temp, ec);
        throw ToolError(utf8(file) + ": cannot be written.");
    }
}

CsvReadOptions readOptions(const std::string& separator, const std::string& encoding) {
    CsvReadOptions options;
    if (separator != "auto") options.separator = separator == "tab" ? '\t' : separator[0];
    if (strcasecmp(encoding.c_str(), "utf-8") == 0) options.encoding = CsvEncoding::Utf8;
    if (strcasecmp(encoding.c_str(), "windows-1252") == 0)
        options.encoding = CsvEncoding::Windows1252;
    return options;
}

bool isSqliteFile(const std::filesystem::path& file) {
    char magic[16] = {};
    std::ifstream in(file, std::ios::binary);
    in.read(magic, sizeof magic);
    return in.gcount() == sizeof magic && std::memcmp(magic, "SQLite format 3", 16) == 0;
}

// Paradox table -> SQLite catalogue at the same path; the table is kept beside it.
int convert(const std::filesystem::path& file, std::ostream& out, std::ostream& err) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec))
        throw ToolError(utf8(file) + ": no such file.");
    if (isSqliteFile(file)) {
        out << utf8(file) << " is already a SQLite catalogue; nothing to convert.\n";
        return kExitOk;
    }
    const std::filesystem::path backup = pathFromUtf8(utf8(file) + ".paradox-backup");
    if (std::filesystem::exists(backup, ec) || std::filesystem::is_symlink(backup, ec))
        throw ToolError(utf8(backup) +
                        " already exists: it may be the only copy of an earlier table. Move it "
                        "away first; nothing was changed.");

    const ParadoxCatalogue table = readParadoxCatalogue(file);
    for (std::size_t i = 0; i < table.rows.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (sameDescription(table.rows[i].descricao, table.rows[j].descricao))
                throw ToolError("the table has two systems described as \"" +
                                table.rows[j].descricao + "\" and \"" + table.rows[i].descricao +
                                "\" (the same ignoring case); nothing was changed.");

    // The new catalogue is written whole under a temporary name first.
    std::string temp = file.string() + ".sqlite-XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0)
        throw ToolError(utf8(file.parent_path()) + ": cannot write there (" + std::strerror(errno) +
                        ").");
    ::close(fd);
    std::filesystem::remove(temp, ec);
    try {
        CatalogueDb db = CatalogueDb::create(temp);
        inTransaction(db, [&] {
            // Legacy rows are kept as they are, outer blanks included; check reports them.
            for (const CatalogueRow& row : table.rows)
                db.insertAsIs(row);
        });
    } catch (...) {
        std::filesystem::remove(temp, ec);
        throw;
    }

    // Keep the table under the backup name (a hard link, or a copy where links are refused),
    // then put the new catalogue in its place in one step.
    std::filesystem::create_hard_link(file, backup, ec);
    if (ec) {
        if (ec == std::errc::file_exists || !std::filesystem::copy_file(file, backup, ec) || ec) {
            std::filesystem::remove(temp, ec);
            throw ToolError(utf8(backup) + ": the backup cannot be made; nothing was changed.");
        }
    }
    std::filesystem::rename(temp, file, ec);
    if (ec) {
        std::filesystem::remove(temp, ec);
        std::filesystem::remove(backup, ec);
        throw ToolError(utf8(file) + ": cannot be replaced (" + ec.message() +
                        "); nothing was changed.");
    }
    out << "Converted " << table.rows.size() << " systems from the Paradox table (code page "
        << (table.codePage ? std::to_string(table.codePage)
                           : std::string("not given, read as 1252"))
        << ").\nThe Paradox table is kept as " << utf8(backup) << ".\n";
    for (const std::string& note : table.notes)
        err << "note: " << note << "\n";
    for (const CatalogueRow& row : table.rows)
        if (row.descricao.empty() || hasOuterBlanks(row.descricao))
            err << "warning: \"" << row.descricao
                << "\": the description is empty or has outer blanks; the device's list cannot "
                   "find "
                   "it again. Mend it with update.\n";
    return kExitOk;
}

}  // namespace

int runCatalogueTool(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    CLI::App app{kDescription, "tolvan-catalogue"};
    app.footer(kFooter);
    app.require_subcommand(1, 1);
    app.failure_message([](const CLI::App* a, const CLI::Error& e) {
        return std::string("error: ") + e.what() + "\nRun '" + a->get_name() +
               " --help' for the commands and their options.\n";
    });

    std::string catalogue, key, csvFile, paradox;
    bool replace = false, force = false;
    RowOptions addOptions, updateOptions;

    auto* create = app.add_subcommand("create", "make a new, empty catalogue file");
    create->add_option("catalogue", catalogue, "the catalogue file to make")->required();

    auto* add = app.add_subcommand("add", "add a system");
    add->add_option("catalogue", catalogue, "the catalogue file")->required();
    addOptions.addTo(*add, true);
    add->get_option("--arquivo")->required();
    add->get_option("--arquivo-l")->required();

    auto* update =
        app.add_subcommand("update", "change a system, found by its description ignoring case");
    update->add_option("catalogue", catalogue, "the catalogue file")->required();
    update->add_option("description", key, "the system's current description")->required();
    updateOptions.addTo(*update, false);

    auto* remove =
        app.add_subcommand("remove", "remove a system, found by its description ignoring case");
    remove->add_option("catalogue", catalogue, "the catalogue file")->required();
    remove->add_option("description", key, "the system's description")->required();

    auto* list = app.add_subcommand("list", "show the systems in the order of the device's list");
    list->add_option("catalogue", catalogue, "the catalogue file")->required();

    std::string separator = "auto", encoding = "auto";
    auto* importCsv = app.add_subcommand(
        "import-csv",
        "add the systems of a CSV file (header line with the column names), as a spreadsheet "
        "saves it");
    importCsv->add_option("catalogue", catalogue, "the catalogue file")->required();
    importCsv->add_option("csv", csvFile, "the CSV file (- for standard input)")->required();
    importCsv->add_flag("--replace", replace, "remove every system first");
    importCsv
        ->add_option("--separator", separator,
                     "the field separator: ';', ',' or tab (default auto: the one that splits "
                     "the header line into column names)")
        ->check(CLI::IsMember({"auto", ";", ",", "tab"}));
    importCsv
        ->add_option("--encoding", encoding,
                     "utf-8 or windows-1252 (default auto: UTF-8 when the file begins with a "
                     "byte-order mark or is UTF-8 throughout, else Windows-1252)")
        ->check(CLI::IsMember({"auto", "utf-8", "windows-1252"}, CLI::ignore_case));

    bool forSpreadsheet = false;
    auto* exportCsv = app.add_subcommand("export-csv", "write the systems as CSV");
    exportCsv->add_option("catalogue", catalogue, "the catalogue file")->required();
    exportCsv->add_option("csv", csvFile, "the CSV file to write (default: standard output)");
    exportCsv->add_flag("--force", force, "replace an existing CSV file");
    exportCsv->add_flag("--for-spreadsheet", forSpreadsheet,
                        "as a spreadsheet in a Portuguese locale opens it: semicolons, UTF-8 "
                        "with a byte-order mark, CRLF (default: commas, UTF-8, LF)");

    std::string checkBin;
    bool fix = false;
    auto* check =
        app.add_subcommand("check", "compare the catalogue with the image files and its own rules");
    check->add_option("catalogue", catalogue, "the catalogue file")->required();
    check->add_option("--bin", checkBin, "folder of the image files");
    check->add_flag("--fix", fix,
                    "re-encode as UTF-8 the text that an older import stored in Windows-1252");

    auto* convertCmd = app.add_subcommand(
        "convert",
        "turn a legacy Paradox table into a SQLite catalogue at the same path, keeping "
        "the table as <file>.paradox-backup");
    convertCmd->add_option("table", paradox, "the Paradox table (TolvanLink.db)")->required();

    const auto known = app.get_subcommands(
        [&](const CLI::App* c) { return c->get_name() == (argc > 1 ? argv[1] : ""); });
    if (argc > 1 && argv[1][0] != '-' && known.empty()) {
        err << "error: unknown command \"" << argv[1]
            << "\".\nRun 'tolvan-catalogue --help' for the commands and their options.\n";
        return kExitUsage;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e, out, err);
        return code == 0 ? kExitOk : kExitUsage;
    }

    try {
        if (create->parsed()) {
            CatalogueDb::create(catalogue);
            out << "Created the empty catalogue " << catalogue << ".\n";
        } else if (add->parsed()) {
            CatalogueDb db = CatalogueDb::open(catalogue);
            const CatalogueRow row =
                applyOptions({}, addOptions, true, binFolder(addOptions.bin, catalogue));
            inTransaction(db, [&] { db.insert(row); });
            out << "Added \"" << row.descricao << "\".\n";
        } else if (update->parsed()) {
            CatalogueDb db = CatalogueDb::open(catalogue);
            const auto current = db.find(key);
            if (!current) throw ToolError("\"" + key + "\": no such system in the catalogue.");
            const CatalogueRow row = applyOptions(*current, updateOptions, false,
                                                  binFolder(updateOptions.bin, catalogue));
            inTransaction(db, [&] { db.update(key, row); });
            out << "Updated \"" << row.descricao << "\".\n";
        } else if (remove->parsed()) {
            CatalogueDb db = CatalogueDb::open(catalogue);
            inTransaction(db, [&] { db.remove(key); });
            out << "Removed \"" << key << "\".\n";
        } else if (list->parsed()) {
            printTable(out, CatalogueDb::open(catalogue).rows());
        } else if (importCsv->parsed()) {
            CatalogueDb db = CatalogueDb::open(catalogue);
            const std::string text = csvFile == "-"
                                         ? std::string(std::istreambuf_iterator<char>(std::cin), {})
                                         : readFile(csvFile);
            CsvCatalogue csv;
            try {
                csv = parseCatalogueCsv(text, readOptions(separator, encoding));
            } catch (const ToolError& e) {
                throw ToolError(std::string(e.what()) + " Nothing was imported.");
            }
            inTransaction(db, [&] {
                if (replace) db.removeAll();
                for (std::size_t i = 0; i < csv.rows.size(); ++i) {
                    const CatalogueRow& row = csv.rows[i];
                    if (const auto there = db.find(row.descricao))
                        throw ToolError("line " + std::to_string(csv.lines[i]) +
                                        ", column Descricao: the catalogue already has '" +
                                        there->descricao +
                                        "' (the same ignoring case). Nothing was imported.");
                    db.insert(row);
                }
            });
            out << "Imported " << csv.rows.size() << " systems (" << encodingName(csv.encoding)
                << ", separated by "
                << (csv.separator == '\t' ? std::string("tabs")
                                          : "'" + std::string(1, csv.separator) + "'")
                << ").\n";
        } else if (exportCsv->parsed()) {
            const std::string text = formatCatalogueCsv(
                CatalogueDb::open(catalogue).rows(), forSpreadsheet ? kSpreadsheetCsv : CsvStyle{});
            if (csvFile.empty() || csvFile == "-") {
                out << text;
            } else {
                std::error_code ec;
                if (!force && std::filesystem::exists(csvFile, ec))
                    throw ToolError(csvFile + " already exists; use --force to replace it.");
                writeFileAtomically(csvFile, text);
            }
        } else if (check->parsed()) {
            const auto bin = binFolder(checkBin, catalogue);
            CatalogueDb db = CatalogueDb::open(catalogue);
            std::vector<std::string> problems, fixed;
            for (const auto& legacy : db.legacyText()) {
                std::string columns;
                for (const char* column : legacy.columns)
                    columns += std::string(columns.empty() ? "" : ", ") + column;
                (fix ? fixed : problems)
                    .push_back("\"" + legacy.descricao + "\": " + columns +
                               (fix ? " re-encoded from Windows-1252 to UTF-8."
                                    : " not UTF-8, read as Windows-1252 (check --fix "
                                      "re-encodes it)."));
            }
            if (!fixed.empty()) inTransaction(db, [&] { db.reencodeLegacyText(); });
            for (const std::string& f : fixed)
                out << f << "\n";
            const auto rows = db.rows();
            for (std::string& p : checkCatalogue(rows, bin))
                problems.push_back(std::move(p));
            for (const std::string& p : problems)
                out << p << "\n";
            out << rows.size() << " systems checked against " << utf8(bin) << ": "
                << (problems.empty()       ? std::string("no problems")
                    : problems.size() == 1 ? std::string("1 problem")
                                           : std::to_string(problems.size()) + " problems")
                << ".\n";
            return problems.empty() ? kExitOk : kExitFailed;
        } else if (convertCmd->parsed()) {
            return convert(paradox, out, err);
        }
    } catch (const ToolError& e) {
        err << "error: " << e.what() << "\n";
        return kExitFailed;
    } catch (const std::exception& e) {
        err << "error: " << e.what() << "\n";
        return kExitFailed;
    }
    return kExitOk;
}

}  // namespace tolvan::catalogue
