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
        "\"Sistema, com \"\"aspas\"\"\",a.bin,3,a.l,4,,0\n";
    writeBytes(dir_ / "in.csv", "\xEF\xBB\xBF" + csv);
    ASSERT_EQ(run({"import-csv", db_, (dir_ / "in.csv").string()}).code, kExitOk);
    const Result exported = run({"export-csv", db_});
    EXPECT_EQ(exported.out, csv);

    const std::string listed = list().out;
    const std::string before = readBytes(db_);
    // The second system of the file repeats the first ignoring case: neither the row before it
    // nor --replace take effect.
    writeBytes(dir_ / "bad.csv",
               "setor,descricao,arquivo,arquivo_l,setor_l\n1,Ñovo,n.bin,n.l,1\n2,ñOVO,x,y,1\n");
    const Result bad = run({"import-csv", db_, (dir_ / "bad.csv").string(), "--replace"});
    EXPECT_EQ(bad.code, kExitFailed);
    EXPECT_NE(bad.err.find("CSV row 3"), std::string::npos) << bad.err;
    EXPECT_EQ(list().out, listed);
    EXPECT_EQ(readBytes(db_), before);

    writeBytes(dir_ / "short.csv", "Descricao,Arquivo,Setor,Arquivo_L\nX,a,1,b\n");
    EXPECT_EQ(run({"import-csv", db_, (dir_ / "short.csv").string()}).code, kExitFailed);
    writeBytes(dir_ / "nan.csv", "Descricao,Arquivo,Setor,Arquivo_L,Setor_L\nX,a,um,b,1\n");
    EXPECT_NE(run({"import-csv", db_, (dir_ / "nan.csv").string()})
                  .err.find("Setor must be a whole number"),
              std::string::npos);
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
