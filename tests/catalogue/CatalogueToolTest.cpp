#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <sqlite3.h>

#include <sstream>

#include "CatalogueDb.h"
#include "CatalogueTool.h"
#include "ParadoxFixture.h"

extern char** environ;

namespace tolvan::catalogue {
namespace {

using testing::readBytes;
using testing::writeBytes;

struct Result {
    int code;
    std::string out, err;
};

// Installation layout: <dir>/Tabelas/TolvanLink.db and the images in <dir>/bin.
class CatalogueToolTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(dir_ / "Tabelas");
        std::filesystem::create_directories(dir_ / "bin");
    }

    Result run(std::vector<std::string> args) {
        args.insert(args.begin(), "tolvan-catalogue");
        std::vector<const char*> argv;
        for (const std::string& a : args)
            argv.push_back(a.c_str());
        std::ostringstream out, err;
        const int code = runCatalogueTool(static_cast<int>(argv.size()), argv.data(), out, err);
        return {code, out.str(), err.str()};
    }
    Result list() { return run({"list", db_}); }
    void image(const std::string& name, const std::string& bytes) {
        writeBytes(dir_ / "bin" / name, bytes);
    }

    testing::TempDir dir_;
    const std::string db_ = (dir_ / "Tabelas" / "TolvanLink.db").string();
};

TEST_F(CatalogueToolTest, CreateAddUpdateRemoveAndList) {
    image("A.BIN", std::string(3, '\xFF') + std::string(300, 'a'));  // 300 bytes to send: 2 sectors
    image("a.l", std::string(256, '\0'));
    ASSERT_EQ(run({"create", db_}).code, kExitOk);
    EXPECT_EQ(run({"create", db_}).code, kExitFailed);  // never overwrites

    // Sector counts default to the files' own; file names are found ignoring case.
    EXPECT_EQ(run({"add", db_, "-d", "Zeta", "--arquivo", "a.bin", "--arquivo-l", "A.L"}).code,
              kExitOk);
    EXPECT_EQ(run({"add", db_, "-d", "alfa", "--arquivo", "x", "--setor", "5", "--arquivo-l", "y",
                   "--setor-l", "6", "--arquivo-l2", "z", "--setor-l2", "7"})
                  .code,
              kExitOk);
    const Result refused[] = {
        run({"add", db_, "-d", "ZETA", "--arquivo", "x", "--setor", "1", "--arquivo-l", "y",
             "--setor-l", "1"}),
        run({"add", db_, "-d", "Beta ", "--arquivo", "x", "--setor", "1", "--arquivo-l", "y",
             "--setor-l", "1"}),
        run({"add", db_, "-d", "Beta", "--arquivo", "nada", "--arquivo-l", "y", "--setor-l", "1"}),
        run({"add", db_, "-d", "Beta", "--arquivo", "x", "--setor", "-1", "--arquivo-l", "y",
             "--setor-l", "1"}),
        run({"add", db_, "-d", "Beta", "--arquivo", "x", "--setor", "1", "--arquivo-l", "y",
             "--setor-l", "511"}),
        run({"add", db_, "-d", "Falc\xE3o", "--arquivo", "x", "--setor", "1", "--arquivo-l", "y",
             "--setor-l", "1"}),  // Windows-1252 from the terminal
        run({"update", db_, "alfa", "--setor-l2", "70000"}),
        run({"update", db_, "alfa", "-d", "zeta"}),
        run({"remove", db_, "ninguem"}),
    };
    for (const Result& r : refused) {
        EXPECT_EQ(r.code, kExitFailed) << r.out;
        EXPECT_NE(r.err.find("error: "), std::string::npos);
    }
    EXPECT_EQ(list().out,
              "Descricao  Arquivo  Setor  Arquivo_L  Setor_L  Arquivo_L2  Setor_L2\n"
              "alfa       x        5      y          6        z           7\n"
              "Zeta       a.bin    2      A.L        1                    0\n");

    EXPECT_EQ(run({"update", db_, "ALFA", "-d", "Alfa", "--arquivo-l2", ""}).code, kExitOk);
    EXPECT_EQ(run({"remove", db_, "zeta"}).code, kExitOk);
    EXPECT_EQ(list().out,
              "Descricao  Arquivo  Setor  Arquivo_L  Setor_L  Arquivo_L2  Setor_L2\n"
              "Alfa       x        5      y          6                    0\n");
}

TEST_F(CatalogueToolTest, CheckComparesTheCatalogueWithTheImages) {
    image("m.bin",
          std::string("\xFF\x00\xFF", 3) + std::string(257, '\x3C'));  // 257 kept: 2 sectors
    image("m.l", std::string(512, '\xFF'));                            // 2 sectors, all kept
    image("vazio.bin", std::string(10, '\0'));
    ASSERT_EQ(run({"create", db_}).code, kExitOk);
    CatalogueDb db = CatalogueDb::open(db_);
    db.insert({"Certo", "M.BIN", 2, "m.l", 2, "", 0});
    db.insert({"Errado", "m.bin", 1, "m.l", 2, "falta.l2", 1});
    db.insert({"Vazio", "vazio.bin", 0, "m.l", 2, "", 0});
    db.insertAsIs({" Certo", "m.bin", 2, "m.l", 2, "", 0});
    db.insertAsIs({"Grande", "../m.bin", 2, "m.l", 600, "", 0});
    db.insert({"Ação", "m.bin", 2, "m.l", 2, "", 0});
    // A Latin-1 case twin gets past the index (which folds ASCII only) when written by hand.
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(db_.c_str(), &raw), SQLITE_OK);
    ASSERT_EQ(
        sqlite3_exec(raw, "insert into TolvanLink values ('AÇÃO', 'm.bin', 2, 'm.l', 2, '', 0)",
                     nullptr, nullptr, nullptr),
        SQLITE_OK);
    sqlite3_close(raw);

    const Result r = run({"check", db_});
    EXPECT_EQ(r.code, kExitFailed);
    for (const char* expected :
         {"\"Errado\": main image \"m.bin\": the catalogue says 1 sectors, the file needs 2",
          "\"Errado\": L2 image \"falta.l2\": no such file",
          "\"Vazio\": main image \"vazio.bin\": the file holds no bytes",
          "\" Certo\": the description has outer blanks",
          "\"Grande\": main image \"../m.bin\": the name leads out of the bin folder.",
          "\"Grande\": L image: Setor_L must be between 0 and 510, the sector counts the device "
          "can be given, not 600.",
          "\"Ação\": same description as \"AÇÃO\" (ignoring case).", "7 systems checked against"})
        EXPECT_NE(r.out.find(expected), std::string::npos) << expected << "\n" << r.out;
    EXPECT_EQ(r.out.find("\"Certo\":"), std::string::npos) << r.out;

    ASSERT_EQ(run({"remove", db_, "Errado"}).code, kExitOk);
    ASSERT_EQ(run({"remove", db_, "Vazio"}).code, kExitOk);
    ASSERT_EQ(run({"remove", db_, " Certo"}).code, kExitOk);
    ASSERT_EQ(run({"remove", db_, "AÇÃO"}).code, kExitOk);
    ASSERT_EQ(run({"remove", db_, "Grande"}).code, kExitOk);
    EXPECT_EQ(run({"check", db_, "--bin", (dir_ / "bin").string()}).code, kExitOk);
}

TEST_F(CatalogueToolTest, CsvRoundTripAndAFailingImportChangesNothing) {
    ASSERT_EQ(run({"create", db_}).code, kExitOk);
    const std::string csv =
        "Descricao,Arquivo,Setor,Arquivo_L,Setor_L,Arquivo_L2,Setor_L2\n"
        "Ação,b.bin,1,b.l,2,b.l2,9\n"
        "\"Sistema, com \"\"aspas\"\"\",a.bin,3,a.l,4,,0\n"
        "Um; dois,c.bin,1,c.l,1,,0\n";
    writeBytes(dir_ / "in.csv", "\xEF\xBB\xBF" + csv);
    ASSERT_EQ(run({"import-csv", db_, (dir_ / "in.csv").string()}).code, kExitOk);
    const Result exported = run({"export-csv", db_});
    EXPECT_EQ(exported.out, csv);

    // For a spreadsheet: what it then saves again reads back the same.
    const std::string forSpreadsheet =
        "\xEF\xBB\xBF"
        "Descricao;Arquivo;Setor;Arquivo_L;Setor_L;Arquivo_L2;Setor_L2\r\n"
        "Ação;b.bin;1;b.l;2;b.l2;9\r\n"
        "\"Sistema, com \"\"aspas\"\"\";a.bin;3;a.l;4;;0\r\n"
        "\"Um; dois\";c.bin;1;c.l;1;;0\r\n";
    const std::string sheet = (dir_ / "sheet.csv").string(), copy = (dir_ / "copy.db").string();
    ASSERT_EQ(run({"export-csv", "--for-spreadsheet", db_, sheet}).code, kExitOk);
    EXPECT_EQ(readBytes(sheet), forSpreadsheet);
    ASSERT_EQ(run({"create", copy}).code, kExitOk);
    ASSERT_EQ(run({"import-csv", copy, sheet}).code, kExitOk);
    EXPECT_EQ(run({"export-csv", copy}).out, csv);

    const std::string listed = list().out;
    const std::string before = readBytes(db_);
    // The second system of the file repeats the first ignoring case: neither the row before it
    // nor --replace take effect.
    writeBytes(dir_ / "bad.csv",
               "setor,descricao,arquivo,arquivo_l,setor_l\n1,Ñovo,n.bin,n.l,1\n2,ñOVO,x,y,1\n");
    const Result bad = run({"import-csv", db_, (dir_ / "bad.csv").string(), "--replace"});
    EXPECT_EQ(bad.code, kExitFailed);
    EXPECT_NE(bad.err.find("line 3, column Descricao: 'ñOVO' is the system of line 2 again"),
              std::string::npos)
        << bad.err;
    EXPECT_EQ(list().out, listed);
    EXPECT_EQ(readBytes(db_), before);

    writeBytes(dir_ / "short.csv", "Descricao,Arquivo,Setor,Arquivo_L\nX,a,1,b\n");
    EXPECT_EQ(run({"import-csv", db_, (dir_ / "short.csv").string()}).code, kExitFailed);
    writeBytes(dir_ / "nan.csv", "Descricao,Arquivo,Setor,Arquivo_L,Setor_L\nX,a,um,b,1\n");
    EXPECT_NE(run({"import-csv", db_, (dir_ / "nan.csv").string()})
                  .err.find("line 2, column Setor: 'um' is not a sector count."),
              std::string::npos);
}

// A CSV file as spreadsheets save it, imported into a catalogue that holds "Alfa": the rows
// then stored (fields between '|'), or the refusal, which says where and leaves the catalogue
// as it was.
struct ImportCase {
    const char* name;
    std::string file;
    std::vector<std::string> options;
    std::string stored;   // the new rows; empty: refused
    std::string refusal;  // part of the message
};

void PrintTo(const ImportCase& c, std::ostream* os) {
    *os << c.name;
}

class CsvImportTest : public CatalogueToolTest, public ::testing::WithParamInterface<ImportCase> {};

TEST_P(CsvImportTest, StoresUtf8OrSaysWhereTheFileIsWrong) {
    const ImportCase& c = GetParam();
    ASSERT_EQ(run({"create", db_}).code, kExitOk);
    ASSERT_EQ(run({"add", db_, "-d", "Alfa", "--arquivo", "a", "--setor", "1", "--arquivo-l", "b",
                   "--setor-l", "1"})
                  .code,
              kExitOk);
    const std::string before = readBytes(db_);
    writeBytes(dir_ / "in.csv", c.file);
    std::vector<std::string> args{"import-csv", db_, (dir_ / "in.csv").string()};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const Result r = run(args);

    CatalogueDb db = CatalogueDb::open(db_);
    EXPECT_TRUE(db.legacyText().empty());  // nothing but UTF-8 stored
    if (c.stored.empty()) {
        EXPECT_EQ(r.code, kExitFailed);
        EXPECT_NE(r.err.find(c.refusal), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(" Nothing was imported.\n"), std::string::npos) << r.err;
        EXPECT_EQ(readBytes(db_), before);
        return;
    }
    EXPECT_EQ(r.code, kExitOk) << r.err;
    std::string stored;
    for (const CatalogueRow& row : db.rows())
        if (row.descricao != "Alfa")
            stored += row.descricao + "|" + row.arquivo + "|" + std::to_string(row.setor) + "|" +
                      row.arquivoL + "|" + std::to_string(row.setorL) + "|" + row.arquivoL2 + "|" +
                      std::to_string(row.setorL2) + "\n";
    EXPECT_EQ(stored, c.stored);
}

const std::string kSemicolons = "Descricao;Arquivo;Setor;Arquivo_L;Setor_L;Arquivo_L2;Setor_L2\r\n";
const std::string kCommas = "Descricao,Arquivo,Setor,Arquivo_L,Setor_L\n";

INSTANTIATE_TEST_SUITE_P(
    Files, CsvImportTest,
    ::testing::Values(
        ImportCase{"SemicolonsWindows1252",
                   kSemicolons + "Falc\xE3o \x80;\"a;b.bin\";2;a.l;1;;0\r\n",
                   {},
                   "Falcão €|a;b.bin|2|a.l|1||0\n",
                   ""},
        ImportCase{"SemicolonsUtf8WithBom",
                   "\xEF\xBB\xBF" + kSemicolons + "\"Ação \"\"X\"\"\r\nnova\";x;1;y;1;z;3\r\n",
                   {},
                   "Ação \"X\"\r\nnova|x|1|y|1|z|3\n",
                   ""},
        ImportCase{"QuotedHeaderLf",
                   "\"Descricao\";\"Arquivo\";\"Setor\";\"Arquivo_L\";\"Setor_L\"\n"
                   "\"Pé\";\"p.bin\";4;\"p.l\";5\n",
                   {},
                   "Pé|p.bin|4|p.l|5||0\n",
                   ""},
        ImportCase{"Tabs",
                   "Descricao\tArquivo\tSetor\tArquivo_L\tSetor_L\nUm; dois, três\tu\t1\tv\t2\n",
                   {},
                   "Um; dois, três|u|1|v|2||0\n",
                   ""},
        ImportCase{
            "CommasWindows1252", kCommas + "A\xE7\xE3o,b,1,c,2\n", {}, "Ação|b|1|c|2||0\n", ""},
        ImportCase{"ForcedWindows1252",
                   kCommas + "Ação,b,1,c,2\n",
                   {"--encoding", "windows-1252"},
                   "AÃ§Ã£o|b|1|c|2||0\n",
                   ""},
        ImportCase{"EmptyRowsAndUnnamedColumns",
                   "Descricao;Arquivo;Setor;Arquivo_L;Setor_L;;\r\nZeta;z;1;zl;1;;\r\n;;;;;;\r\n",
                   {},
                   "Zeta|z|1|zl|1||0\n",
                   ""},
        ImportCase{"SectorNotANumber",
                   kSemicolons + "Beta;b;1;c;1;;0\r\nGama;g;doze;h;1;;0\r\n",
                   {},
                   "",
                   "error: line 3, column Setor: 'doze' is not a sector count."},
        ImportCase{"LineAfterATwoLineField",
                   kCommas + "\"Duas\nlinhas\",a,1,b,1\nX,a,x,b,1\n",
                   {},
                   "",
                   "line 4, column Setor: 'x' is not a sector count."},
        ImportCase{"SectorCountTooBig",
                   kCommas + "Beta,b,1,c,600\n",
                   {},
                   "",
                   "line 2, column Setor_L: 600 is not a sector count the device can be given"},
        ImportCase{"OuterBlanks",
                   kCommas + "Beta ,b,1,c,1\n",
                   {},
                   "",
                   "line 2, column Descricao: 'Beta ' begins or ends with blanks."},
        ImportCase{"NulCharacter",
                   kCommas + std::string("Beta,b\0c,1,c,1\n", 15),
                   {},
                   "",
                   "line 2, column Arquivo: the text holds a NUL character."},
        ImportCase{"BomButWindows1252",
                   "\xEF\xBB\xBF" + kCommas + "Falc\xE3o,b,1,c,1\n",
                   {},
                   "",
                   "line 2, column Descricao: 'Falcão' (read as Windows-1252) is not UTF-8 text, "
                   "which the file's byte-order mark promises."},
        ImportCase{"ForcedUtf8",
                   kCommas + "Falc\xE3o,b,1,c,1\n",
                   {"--encoding", "UTF-8"},
                   "",
                   "line 2, column Descricao: 'Falcão' (read as Windows-1252) is not UTF-8 text, "
                   "which --encoding utf-8 asks for."},
        ImportCase{"MixedEncodings",
                   kCommas + "Ação,b,1,c,1\nFalc\xE3o,b,1,c,1\n",
                   {},
                   "",
                   "line 3, column Descricao: 'Falcão' is Windows-1252 text, but line 2 holds "
                   "UTF-8 text"},
        ImportCase{"ByteWithoutACharacter",
                   kCommas + "A\x81,b,1,c,1\n",
                   {},
                   "",
                   "line 2, column Descricao: 'A\xC2\x81' holds a byte that has no character in "
                   "Windows-1252"},
        ImportCase{"StrayQuote",
                   kCommas + "Beta,b\"x,1,c,1\n",
                   {},
                   "",
                   "line 2, column Arquivo: a quote where none belongs"},
        ImportCase{"QuoteNeverClosed",
                   kCommas + "\"Beta\nBeta\",b,1,c,1\nGama,\"g,1,h,1\n",
                   {},
                   "",
                   "line 4, column Arquivo: the quote that opens the field is never closed."},
        ImportCase{"TooFewFields",
                   kCommas + "Beta,b,1,c\n",
                   {},
                   "",
                   "line 2, column Setor_L: no field: 4 fields where the header line has 5."},
        ImportCase{"TooManyFields",
                   kCommas + "Beta,b,1,c,1,x\n",
                   {},
                   "",
                   "line 2, column 6: a field too many: 6 fields where the header line has 5."},
        ImportCase{"UnknownColumn",
                   "Descricao;Arquivo;Setores;Arquivo_L;Setor_L\r\n",
                   {},
                   "",
                   "line 1, column 3: 'Setores' is not a column of the catalogue"},
        ImportCase{"ForcedSeparator",
                   "Descricao;Arquivo;Setor;Arquivo_L;Setor_L\r\n",
                   {"--separator", "tab"},
                   "",
                   "line 1, column 1: 'Descricao;Arquivo;Setor;Arquivo_L;Setor_L' is not a column"},
        ImportCase{"NoKnownSeparator",
                   "Descricao|Arquivo|Setor\n",
                   {},
                   "",
                   "line 1: the header line names none of the columns"},
        ImportCase{"AlreadyInTheCatalogue",
                   kCommas + "ALFA,x,1,y,1\n",
                   {},
                   "",
                   "line 2, column Descricao: the catalogue already has 'Alfa'"},
        ImportCase{"Utf16",
                   std::string("\xFF\xFE"
                               "D\0e\0",
                               6),
                   {},
                   "",
                   "line 1: the file is UTF-16 text"}),
    [](const ::testing::TestParamInfo<ImportCase>& info) { return info.param.name; });

// An older import stored a spreadsheet's Windows-1252 bytes as they were.
TEST_F(CatalogueToolTest, CheckReportsWindows1252TextAndFixReencodesIt) {
    image("m.bin", "\x3C");
    image("m.l", "\x3C");
    ASSERT_EQ(run({"create", db_}).code, kExitOk);
    auto sql = [&](const char* statement) {
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(db_.c_str(), &raw), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(raw, statement, nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(raw);
    };
    sql("insert into TolvanLink values (Cast(x'46616C63E36F' As Text), 'm.bin', 1, "
        "Cast(x'6DE92E6C' As Text), 1, '', 0)");
    image("m\xC3\xA9.l", "\x3C");

    const Result found = run({"check", db_});
    EXPECT_EQ(found.code, kExitFailed);
    EXPECT_NE(found.out.find("\"Falcão\": Descricao, Arquivo_L not UTF-8, read as Windows-1252"),
              std::string::npos)
        << found.out;
    EXPECT_NE(list().out.find("Falcão     m.bin    1      mé.l"), std::string::npos) << list().out;

    // A second such row would become a twin of the first: nothing is changed.
    sql("insert into TolvanLink values (Cast(x'46414C43C34F' As Text), 'm.bin', 1, 'm.l', 1, '', "
        "0)");
    const std::string twins = readBytes(db_);
    EXPECT_EQ(run({"check", "--fix", db_}).code, kExitFailed);
    EXPECT_EQ(readBytes(db_), twins);
    ASSERT_EQ(run({"remove", db_, "FALCÃO"}).code, kExitOk);

    const Result fixed = run({"check", "--fix", db_});
    EXPECT_EQ(fixed.code, kExitOk) << fixed.out;
    EXPECT_NE(fixed.out.find("\"Falcão\": Descricao, Arquivo_L re-encoded from Windows-1252 to "
                             "UTF-8.\n1 systems checked"),
              std::string::npos)
        << fixed.out;
    CatalogueDb db = CatalogueDb::open(db_);
    EXPECT_TRUE(db.legacyText().empty());
    EXPECT_EQ(db.find("falcão")->arquivoL, "mé.l");
}

TEST_F(CatalogueToolTest, ConvertTurnsAParadoxTableIntoTheCatalogueAndKeepsTheOriginal) {
    // Code page 850: "ç" is 87, "ã" is C6.
    testing::writeParadoxTable(db_,
                               {{"Gama", "g.bin", 12, "g.l", 70000, "g.l2", 3},
                                {"Instala\x87\xC6o", "i.bin", 1, "i.l", 2, "", 0}},
                               850);
    const std::string original = readBytes(db_);
    const Result r = run({"convert", db_});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(readBytes(db_ + ".paradox-backup"), original);
    EXPECT_EQ(list().out,
              "Descricao   Arquivo  Setor  Arquivo_L  Setor_L  Arquivo_L2  Setor_L2\n"
              "Gama        g.bin    12     g.l        70000    g.l2        3\n"
              "Instalação  i.bin    1      i.l        2                    0\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_ / "Tabelas"), {}), 2);

    // Converting again: already SQLite. A new table with an old backup beside it: refused.
    EXPECT_EQ(run({"convert", db_}).code, kExitOk);
    testing::writeParadoxTable(db_, {{"Outro", "o.bin", 1, "o.l", 1, "", 0}}, 1252, false);
    const std::string second = readBytes(db_);
    const Result refused = run({"convert", db_});
    EXPECT_EQ(refused.code, kExitFailed);
    EXPECT_NE(refused.err.find("paradox-backup already exists"), std::string::npos) << refused.err;
    EXPECT_EQ(readBytes(db_), second);
    EXPECT_EQ(readBytes(db_ + ".paradox-backup"), original);
}

TEST_F(CatalogueToolTest, ConvertRefusesCaseTwinsAndLeavesNoTrace) {
    testing::writeParadoxTable(
        db_, {{"Alfa", "a", 1, "b", 1, "", 0}, {"ALFA", "c", 1, "d", 1, "", 0}}, 1252, false);
    const std::string original = readBytes(db_);
    const Result r = run({"convert", db_});
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_NE(r.err.find("nothing was changed"), std::string::npos) << r.err;
    EXPECT_EQ(readBytes(db_), original);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_ / "Tabelas"), {}), 1);
}

// The real program: exit status and where its texts go.
Result runProgram(const std::vector<std::string>& args, const std::filesystem::path& dir) {
    const std::string out = (dir / "stdout").string(), err = (dir / "stderr").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char*> argv{const_cast<char*>(TOLVAN_CATALOGUE_TOOL)};
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    int status = -1;
    if (posix_spawn(&pid, TOLVAN_CATALOGUE_TOOL, &actions, nullptr, argv.data(), environ) == 0)
        waitpid(pid, &status, 0);
    posix_spawn_file_actions_destroy(&actions);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readBytes(out), readBytes(err)};
}

TEST_F(CatalogueToolTest, ProgramHelpAndExitStatus) {
    const Result help = runProgram({"--help"}, dir_.path());
    EXPECT_EQ(help.code, 0);
    for (const char* command : {"create", "add", "update", "remove", "list", "import-csv",
                                "export-csv", "check", "convert"})
        EXPECT_NE(help.out.find(std::string("  ") + command + " "), std::string::npos) << command;
    EXPECT_EQ(runProgram({"frobnicate"}, dir_.path()).code, kExitUsage);
    EXPECT_EQ(runProgram({"add", db_}, dir_.path()).code, kExitUsage);
    const Result missing = runProgram({"list", db_}, dir_.path());
    EXPECT_EQ(missing.code, kExitFailed);
    EXPECT_NE(missing.err.find("no catalogue file"), std::string::npos);
    EXPECT_TRUE(missing.out.empty());
}

}  // namespace
}  // namespace tolvan::catalogue
