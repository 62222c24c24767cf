#include <gtest/gtest.h>
#include <sqlite3.h>

#include <random>

#include "TempFiles.h"
#include "platform/SqliteCatalogueStore.h"
#include "services/PathResolver.h"
#ifdef TOLVAN_WITH_CATALOGUE_TOOL  // the tool (and pxlib) is not built for Windows
#include "CatalogueDb.h"
#include "ParadoxFixture.h"
#endif

namespace tolvan {
namespace {

using testing::readBytes;
using testing::TempDir;
using testing::writeBytes;

void makeDatabase(const std::filesystem::path& file, const char* sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(utf8(file).c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, &error), SQLITE_OK) << error;
    sqlite3_free(error);
    sqlite3_close(db);
}

constexpr const char* kGoodCatalogue =
    "create table TolvanLink (descricao text, ARQUIVO text, Setor integer, Arquivo_L text,"
    " Setor_L integer, Arquivo_L2 text, Setor_L2 integer, Extra text);"
    "insert into TolvanLink values ('Gama', 'g.bin', 12, 'g.l', 3, null, null, 'x');"
    "insert into TolvanLink values ('Alfa', 'a.bin', 1.5, 'a.l', '7', '', 0, null);";

class SqliteCatalogueStoreTest : public ::testing::Test {
  protected:
    CatalogueOpenResult open(const std::filesystem::path& file) { return store_.open(file); }

    TempDir dir_;
    SqliteCatalogueStore store_;
};

TEST_F(SqliteCatalogueStoreTest, ReadsTheTableInDescriptionOrderWithoutTouchingTheFile) {
    const auto file = dir_ / "TolvanLink.db";
    makeDatabase(file, kGoodCatalogue);
    const std::string before = readBytes(file);

    const CatalogueOpenResult r = open(file);
    ASSERT_EQ(r.problem, CatalogueProblem::None) << r.detail;
    ASSERT_TRUE(r.table.has_value());
    EXPECT_EQ(r.table->columns.size(), 8u);
    EXPECT_EQ(r.table->columns[1], "ARQUIVO");
    ASSERT_EQ(r.table->rows.size(), 2u);
    const auto& alfa = r.table->rows[0];
    EXPECT_EQ(alfa[0].text, "Alfa");
    EXPECT_EQ(alfa[2].type, CatalogueValue::Type::Real);
    EXPECT_EQ(alfa[4].type, CatalogueValue::Type::Integer);  // '7' in an integer column
    EXPECT_EQ(alfa[4].integer, 7);
    EXPECT_EQ(r.table->rows[1][5].type, CatalogueValue::Type::Null);
    EXPECT_EQ(readBytes(file), before);
#ifdef TOLVAN_WITH_CATALOGUE_TOOL
    // The catalogue tool reads each value as the program takes it: 1.5 sectors are 2.
    EXPECT_EQ(catalogue::CatalogueDb::open(file).rows().at(0).setor, 2);
#endif
}

// Windows spells such a name in UTF-16, and SQLite must not be handed the ANSI code page's.
TEST_F(SqliteCatalogueStoreTest, ReadsACatalogueInAFolderWithAnAccentedName) {
    const auto folder = dir_.path() / pathFromUtf8("Orsolite/Catálogo");
    std::filesystem::create_directories(folder);
    const auto file = folder / "TolvanLink.db";
    makeDatabase(file, kGoodCatalogue);
    ASSERT_TRUE(std::filesystem::exists(file));

    const CatalogueOpenResult r = open(file);
    ASSERT_EQ(r.problem, CatalogueProblem::None) << r.detail;
    EXPECT_EQ(r.table->rows.size(), 2u);
    const std::string missing = open(folder / "Outro.db").detail;
    EXPECT_NE(missing.find("Catálogo"), std::string::npos) << missing;  // UTF-8, as the core
}

#ifdef TOLVAN_WITH_CATALOGUE_TOOL
TEST_F(SqliteCatalogueStoreTest, ReadsACatalogueMadeByTheToolSortedIgnoringCase) {
    const auto file = dir_ / "TolvanLink.db";
    auto db = catalogue::CatalogueDb::create(file);
    db.insert({"beta", "b.bin", 2, "b.l", 1, "", 0});
    db.insert({"Alfa", "a.bin", 1, "a.l", 1, "a.l2", 4});
    db.insert({"Gama", "g.bin", 3, "g.l", 1, "", 0});
    const CatalogueOpenResult r = open(file);
    ASSERT_TRUE(r.table) << r.detail;
    std::vector<std::string> order;
    for (const auto& row : r.table->rows)
        order.push_back(row[0].text);
    EXPECT_EQ(order, (std::vector<std::string>{"Alfa", "beta", "Gama"}));
    EXPECT_EQ(r.table->rows[0][6].integer, 4);
}
#endif

// An older import stored a spreadsheet's Windows-1252 bytes as they were: text that is not
// UTF-8 reads as Windows-1252, so that the list shows it and the searches find it.
TEST_F(SqliteCatalogueStoreTest, TextThatIsNotUtf8ReadsAsWindows1252) {
    const struct {
        const char* stored;  // an SQL value
        const char* read;
    } cases[] = {
        {"'Ação'", "Ação"},
        {"Cast(x'46616C63E36F' As Text)", "Falcão"},
        {"x'80204D6F746F72'", "€ Motor"},             // a blob
        {"Cast(x'41C3A7E36F' As Text)", "AÃ§ão"},     // UTF-8 in part: the whole
        {"Cast(x'C0AF' As Text)", "À¯"},              // an overlong '/'
        {"Cast(x'EDA080' As Text)", "í\u00A0€"},      // a surrogate
        {"Cast(x'F4908080' As Text)", "ô\u0090€€"},   // past U+10FFFF
        {"Cast(x'46C3' As Text)", "FÃ"},              // cut short
        {"Cast(x'F09F9982' As Text)", "\U0001F642"},  // four bytes, UTF-8
    };
    int n = 0;
    for (const auto& c : cases) {
        const auto file = dir_ / ("legacy" + std::to_string(n++) + ".db");
        const std::string sql =
            "create table TolvanLink (Descricao, Arquivo, Setor, Arquivo_L, Setor_L, Arquivo_L2,"
            " Setor_L2); insert into TolvanLink values (" +
            std::string(c.stored) + ", " + c.stored + ", 1, 'l', 1, '', 0);";
        makeDatabase(file, sql.c_str());
        const CatalogueOpenResult r = open(file);
        ASSERT_TRUE(r.table) << r.detail;
        EXPECT_EQ(r.table->rows.at(0)[0].text, c.read) << c.stored;
        EXPECT_EQ(r.table->rows.at(0)[1].text, c.read) << c.stored;
#ifdef TOLVAN_WITH_CATALOGUE_TOOL
        EXPECT_EQ(catalogue::CatalogueDb::open(file).rows().at(0).descricao, c.read) << c.stored;
#endif
    }
}

TEST_F(SqliteCatalogueStoreTest, MissingFileIsReportedAndNeverCreated) {
    const auto file = dir_ / "TolvanLink.db";
    EXPECT_EQ(open(file).problem, CatalogueProblem::Missing);
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_EQ(open(dir_.path()).problem, CatalogueProblem::NotSqlite);  // a folder
}

#ifdef TOLVAN_WITH_CATALOGUE_TOOL
TEST_F(SqliteCatalogueStoreTest, ParadoxTableNamesTheConversionCommand) {
    const auto file = dir_ / "TolvanLink.db";
    testing::writeParadoxTable(file, {{"Alfa", "a.bin", 1, "a.l", 2, "", 0}}, 1252);
    const CatalogueOpenResult r = open(file);
    EXPECT_EQ(r.problem, CatalogueProblem::Paradox);
    EXPECT_FALSE(r.table.has_value());
    EXPECT_NE(r.detail.find("tolvan-catalogue convert \"" + file.string() + "\""),
              std::string::npos)
        << r.detail;
}
#endif

TEST_F(SqliteCatalogueStoreTest, SqliteFilesWithoutAUsableTableAreUnreadable) {
    const struct {
        const char* name;
        const char* sql;
    } cases[] = {
        {"empty-db", "create table Outra (x);"},
        {"no-column", "create table TolvanLink (Descricao, Arquivo, Setor, Arquivo_L, Setor_L);"},
        {"view",
         "create table T (Descricao, Arquivo, Setor, Arquivo_L, Setor_L, Arquivo_L2,"
         " Setor_L2); create view TolvanLink as select * from T;"},
    };
    for (const auto& c : cases) {
        const auto file = dir_ / c.name;
        makeDatabase(file, c.sql);
        const CatalogueOpenResult r = open(file);
        EXPECT_EQ(r.problem, CatalogueProblem::Unreadable) << c.name;
        EXPECT_FALSE(r.detail.empty());
#ifdef TOLVAN_WITH_CATALOGUE_TOOL
        // The catalogue tool refuses what the program refuses.
        EXPECT_THROW(catalogue::CatalogueDb::open(file), catalogue::ToolError) << c.name;
#endif
    }
}

TEST_F(SqliteCatalogueStoreTest, DamagedAndForeignFilesAreClassifiedWithoutCrashing) {
    const auto good = dir_ / "good.db";
    makeDatabase(good, kGoodCatalogue);
    const std::string bytes = readBytes(good);

    writeBytes(dir_ / "empty", "");
    writeBytes(dir_ / "text", "Descricao;Arquivo\r\nAlfa;a.bin\r\n");
    EXPECT_EQ(open(dir_ / "empty").problem, CatalogueProblem::NotSqlite);
    EXPECT_EQ(open(dir_ / "text").problem, CatalogueProblem::NotSqlite);

    // Truncated at every page boundary and in the header: a SQLite file that cannot be read.
    for (std::size_t cut : {std::size_t{16}, std::size_t{100}, std::size_t{1024}, bytes.size() / 2,
                            bytes.size() - 1}) {
        writeBytes(dir_ / "cut", bytes.substr(0, cut));
        const auto r = open(dir_ / "cut");
        EXPECT_TRUE(r.problem == CatalogueProblem::Unreadable ||
                    r.problem == CatalogueProblem::None)
            << cut;
    }

    // Random damage after the header: any class, but a table only when it reads whole.
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        std::string damaged = bytes;
        for (int k = 0; k < 8; ++k)
            damaged[16 + random() % (damaged.size() - 16)] = static_cast<char>(random());
        writeBytes(dir_ / "damaged", damaged);
        const auto r = open(dir_ / "damaged");
        EXPECT_EQ(r.table.has_value(), r.problem == CatalogueProblem::None);
    }
    std::string garbage(4096, '\0');
    for (char& ch : garbage)
        ch = static_cast<char>(random());
    writeBytes(dir_ / "garbage", garbage);
    EXPECT_EQ(open(dir_ / "garbage").problem, CatalogueProblem::NotSqlite);
}

TEST(ParadoxHeaderTest, RecognisesADataTableHeaderOnly) {
    std::string h(2048, '\0');
    h[0] = 120;   // record size
    h[3] = 0x08;  // header size 2048
    h[4] = 2;     // non-indexed data table
    h[5] = 2;     // 2 KiB blocks
    h[33] = 7;    // fields
    h[57] = 12;   // version
    EXPECT_TRUE(looksLikeParadoxTable(h, 4096));
    EXPECT_FALSE(looksLikeParadoxTable(h, 1000));  // header longer than the file
    EXPECT_FALSE(looksLikeParadoxTable(h.substr(0, 60), 4096));
    std::string index = h;
    index[4] = 1;  // a primary index, not a table
    EXPECT_FALSE(looksLikeParadoxTable(index, 4096));
    std::string version = h;
    version[57] = 2;
    EXPECT_FALSE(looksLikeParadoxTable(version, 4096));
}

}  // namespace
}  // namespace tolvan
