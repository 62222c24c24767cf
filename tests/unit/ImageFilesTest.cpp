#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <functional>

#include "TransferFixture.h"
#include "texts/Mensagem.h"

namespace tolvan::test {
namespace {

class ImageFilesTest : public TransferTest {
  protected:
    void SetUp() override {
        writeImage("L.BIN", "x");
        rig.setSystems({{"Sistema", "M.BIN", 1, "L.BIN", 1, "", 0}});
        rig.start();
    }
    std::vector<std::uint8_t> kept(const std::string& s) { return {s.begin(), s.end()}; }
    bool leArqBin(const std::string& name) {
        bool ok = false;
        on([&] { ok = f().arquivos.LeArqBin(built(name)); });
        return ok;
    }
};

// Both readers skip the main image's leading FF and 00 bytes, and only those; the L images keep
// every byte. The byte AbreArq holds is the first entry LeArqBin keeps.
TEST_F(ImageFilesTest, LeadingByteRuleIsTheSameForSendingAndReading) {
    writeImage("M.BIN", bytes({0xFF, 0x00, 0xFF, 0x00, 0x3C, 0x00, 0xFF}));
    f().run.ImagemL = false;
    ASSERT_TRUE(f().arquivos.AbreArq(built("M.BIN")));
    EXPECT_EQ(f().run.ByteGuardado, 0x3C);
    auto r = f().run.ArqBin.le();
    EXPECT_EQ(r.valor, 0x00);
    EXPECT_FALSE(r.ultimo);
    r = f().run.ArqBin.le();
    EXPECT_EQ(r.valor, 0xFF);
    EXPECT_TRUE(r.ultimo);
    EXPECT_EQ(f().run.ArqBin.le().estado, ArquivoBinario::Leitura::Fim);
    f().run.ArqBin.fecha();

    ASSERT_TRUE(leArqBin("M.BIN"));
    EXPECT_EQ(f().run.BytesArq, kept(bytes({0x3C, 0x00, 0xFF})));
    EXPECT_EQ(f().run.QtdBytesArq, 3);
    EXPECT_EQ(f().diagnostico.ListBox1.text(0), "1: 3C");
    EXPECT_EQ(f().diagnostico.ListBox1.text(2), "3: FF");

    writeImage("L.BIN", bytes({0xFF, 0xFF, 0x12}));
    f().run.ImagemL = true;
    ASSERT_TRUE(f().arquivos.AbreArq(built("L.BIN")));
    EXPECT_EQ(f().run.ByteGuardado, 0xFF);
    f().run.ArqBin.fecha();
    ASSERT_TRUE(leArqBin("L.BIN"));
    EXPECT_EQ(f().run.BytesArq, kept(bytes({0xFF, 0xFF, 0x12})));  // rebuilt, nothing left over
}

// The count shown every 100 bytes includes the skipped ones; the read ends with TimeOut running.
TEST_F(ImageFilesTest, ReadingShowsItsProgressOnTheStatusLine) {
    ViewRecorder view(rig.sessao());
    writeImage("M.BIN", std::string(150, '\0') + pattern(100));
    ASSERT_TRUE(leArqBin("M.BIN"));
    EXPECT_EQ(view.statusRepaints, (std::vector<std::string>{"[Conectado] Lendo Arquivo ... ",
                                                             "[Conectado] Lendo Arquivo ... 100",
                                                             "[Conectado] Lendo Arquivo ... 200"}));
    EXPECT_EQ(f().run.QtdBytesArq, 100);
    EXPECT_TRUE(f().run.TimeOut->running());
    EXPECT_TRUE(view.barPositions.empty());  // the bar moves in selector mode only

    writeImage("M.BIN", "");
    ASSERT_TRUE(leArqBin("M.BIN"));
    EXPECT_EQ(f().run.QtdBytesArq, 0);
    EXPECT_TRUE(f().run.BytesArq.empty());
    EXPECT_EQ(f().lblStatus.caption(), "[Conectado] Lendo Arquivo ... ");
}

TEST_F(ImageFilesTest, SelectorModeCyclesTheBarWhileReading) {
    ViewRecorder view(rig.sessao());
    form().entraEmModoSelecao();
    writeImage("M.BIN", pattern(10200));
    ASSERT_TRUE(leArqBin("M.BIN"));
    std::vector<double> expected;
    for (int i = 1; i <= 100; ++i)
        expected.push_back(i);
    expected.push_back(0);
    expected.push_back(1);
    EXPECT_EQ(view.barPositions, expected);
}

// A blank file name leaves the path on the folder: it cannot be opened as an image.
TEST_F(ImageFilesTest, ImageThatCannotBeOpenedClosesTheProgram) {
    EXPECT_FALSE(leArqBin(""));
    EXPECT_EQ(rig.messages(), std::vector<std::string>{"Arquivo não encontrado: " + built("")});
    EXPECT_EQ(rig.dialogs.messages.back().kind, kErro);
    EXPECT_TRUE(form().closed());
    EXPECT_FALSE(f().run.TimeOut->running());
}

// A read that fails after the file opened abandons the run instead of going on with part of it.
TEST_F(ImageFilesTest, ReadErrorAbandonsTheRunWithTheFileNamed) {
#ifdef _WIN32
    GTEST_SKIP() << "no file on Windows opens as a plain file and then fails to read";
#endif
    std::filesystem::create_directories(bin());
    std::filesystem::create_symlink("/proc/self/mem", bin() / "ERR.BIN");
    f().run.Modo = Modo::Leitura;
    EXPECT_FALSE(leArqBin("ERR.BIN"));
    on([&] { EXPECT_FALSE(f().arquivos.AbreArq(built("ERR.BIN"))); });
    const std::string texto = "Erro ao ler o arquivo: " + built("ERR.BIN");
    EXPECT_EQ(rig.messages(), (std::vector<std::string>{texto, texto}));
    EXPECT_EQ(f().run.Modo, Modo::Nenhum);
    EXPECT_FALSE(f().run.TimeOut->running());
    EXPECT_FALSE(f().run.ArqBin.isOpen());
    EXPECT_EQ(f().nav.Tela, 0);
    EXPECT_FALSE(form().closed());
}

// Whatever would stop a run part-way is found before its first frame, so the device is never
// left half-written: files that cannot be opened (the message names the path as the run would
// open it, and the program closes), images with nothing to send (the run is abandoned) and
// sector counts the count frames cannot carry (the operation menu stays).
struct Refusal {
    const char* name;
    int linha;  // operation menu: 1 programming and verification, 2 programming, 3 verification
    sim::FakeCatalogueStore::System system;
    std::function<void(const std::filesystem::path& bin)> prepare;
    std::string message;  // after the image path's start "<bin>"
    int tela;             // -1: the program closed
};
void PrintTo(const Refusal& r, std::ostream* os) {
    *os << r.name;
}

class RefusalTest : public TransferTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(RefusalTest, NothingIsSent) {
    const Refusal& c = GetParam();
#ifdef _WIN32
    if (std::string_view(c.name) == "TrailingBlankForVerification")
        GTEST_SKIP() << "Windows drops the blanks at a file name's end: \"L.BIN \" is L.BIN there";
#endif
    writeImage("M.BIN", "abc");
    writeImage("L.BIN", "x");
    writeImage("L2.BIN", "y");
    if (c.prepare) c.prepare(bin());
    runOperation(c.system, c.linha);

    std::string expected = c.message;
    if (const auto at = expected.find("<bin>"); at != std::string::npos)
        expected.replace(at, 5, f().DirPrograma + "\\bin\\");
    EXPECT_EQ(rig.messages(), std::vector<std::string>{expected});
    EXPECT_EQ(rig.dialogs.messages.back().kind, kErro);
    EXPECT_TRUE(device.frames.empty())
        << device.frames.size() << " frames, the first " << int(device.frames.front().code);
    EXPECT_FALSE(f().run.TimeOut->running());
    if (c.tela < 0) {
        EXPECT_TRUE(form().closed());
    } else {
        EXPECT_FALSE(form().closed());
        EXPECT_EQ(f().nav.Tela, c.tela);
        EXPECT_TRUE(f().lbxVisor.enabled());
    }
}

const std::string kNaoAbre = "Arquivo não pôde ser aberto: <bin>";
std::string contagem(int n, const char* coluna) {
    return "O sistema Sistema tem " + std::to_string(n) + " setores em " + coluna +
           ".\rCada imagem pode ter de 0 a 510 setores.\rA operação não será feita.";
}
void pasta(const std::filesystem::path& b) {
    std::filesystem::create_directories(b / "sub");
}
#ifndef _WIN32
void fifo(const std::filesystem::path& b) {
    ::mkfifo((b / "FIFO.BIN").c_str(), 0644);
}
#endif
void vazio(const std::filesystem::path& b) {
    std::ofstream(b / "VAZIO.BIN");
}
void soPreenchimento(const std::filesystem::path& b) {
    std::ofstream(b / "FF.BIN", std::ios::binary) << std::string("\xFF\x00\xFF", 3);
}

// clang-format off
const Refusal kRefusals[] = {
    {"MissingL", 2, {"Sistema", "M.BIN", 1, "NADA.BIN", 1, "", 0}, {}, "Arquivo não encontrado: <bin>NADA.BIN", -1},
    {"MissingL2", 3, {"Sistema", "M.BIN", 1, "L.BIN", 1, "NADA2.BIN", 1}, {}, "Arquivo não encontrado: <bin>NADA2.BIN", -1},
    // Programming opens the trimmed path, verification the path as it stands.
    {"TrailingBlankForVerification", 1, {"Sistema", "M.BIN", 1, "L.BIN ", 1, "", 0}, {}, "Arquivo não encontrado: <bin>L.BIN ", -1},
    {"OutsideBin", 1, {"Sistema", "../../../../../../etc/hostname", 1, "L.BIN", 1, "", 0}, {}, kNaoAbre + "../../../../../../etc/hostname (fora da pasta bin)", -1},
    {"AbsoluteName", 3, {"Sistema", "M.BIN", 1, "/etc/hostname", 1, "", 0}, {}, kNaoAbre + "/etc/hostname (fora da pasta bin)", -1},
    {"Folder", 3, {"Sistema", "M.BIN", 1, "sub", 1, "", 0}, pasta, kNaoAbre + "sub (é uma pasta)", -1},
#ifdef _WIN32
    // Every folder names the null device NUL: no plain file either.
    {"Device", 1, {"Sistema", "M.BIN", 1, "NUL", 1, "", 0}, {}, kNaoAbre + "NUL (não é um arquivo comum)", -1},
#else
    {"Fifo", 1, {"Sistema", "M.BIN", 1, "FIFO.BIN", 1, "", 0}, fifo, kNaoAbre + "FIFO.BIN (não é um arquivo comum)", -1},
#endif
    {"EmptyL", 2, {"Sistema", "M.BIN", 1, "VAZIO.BIN", 1, "", 0}, vazio, "Arquivo vazio: <bin>VAZIO.BIN", 0},
    {"MainOnlyFillBytes", 1, {"Sistema", "FF.BIN", 1, "L.BIN", 1, "", 0}, soPreenchimento, "Arquivo vazio: <bin>FF.BIN", 0},
    {"NegativeCount", 1, {"Sistema", "M.BIN", -1, "L.BIN", 1, "", 0}, {}, contagem(-1, "Setor"), 2},
    {"CountAbove510", 3, {"Sistema", "M.BIN", 1, "L.BIN", 1, "L2.BIN", 511}, {}, contagem(511, "Setor_L2"), 2},
    {"Count70000", 2, {"Sistema", "M.BIN", 1, "L.BIN", 70000, "", 0}, {}, contagem(70000, "Setor_L"), 2},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Catalogue, RefusalTest, ::testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

// The file system's own refusal is named; root reads anything, so only others can see it.
TEST_F(TransferTest, UnreadableImageIsNamedAsSuch) {
#ifdef _WIN32
    GTEST_SKIP()
        << "Windows keeps the right to read in a file's access list, out of the tests' reach";
#else
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
#endif
    writeImage("M.BIN", "abc");
    writeImage("L.BIN", "x");
    std::filesystem::permissions(bin() / "L.BIN", std::filesystem::perms::none);
    runOperation({"Sistema", "M.BIN", 1, "L.BIN", 1, "", 0}, 3);
    EXPECT_EQ(rig.messages(), std::vector<std::string>{"Arquivo não pôde ser aberto: " +
                                                       built("L.BIN") + " (permissão negada)"});
    EXPECT_TRUE(device.frames.empty());
}

// Names in sub-folders of bin, names beyond ASCII (the catalogue's UTF-8 against the machine's own
// file names), and empty (NULL) columns for a system without an L2 image, are an ordinary run.
TEST_F(TransferTest, SubFolderNamesAndNullColumnsRun) {
    writeImage("sub/M.BIN", pattern(10));
    std::ofstream(bin() / std::filesystem::path(u8"Lição.BIN"), std::ios::binary) << pattern(10, 2);
    runOperation({"Sistema", "sub/M.BIN", 1, "Lição.BIN", 1, "", 0}, 1, [](CatalogueTable& t) {
        t.rows[0][5] = CatalogueValue{};  // Arquivo_L2
        t.rows[0][6] = CatalogueValue{};  // Setor_L2
    });
    EXPECT_EQ(rig.messages(),
              std::vector<std::string>{
                  " ARQUIVO VERIFICADO SEM ERROS \r\r O Tolvan Link será executado. "});
    EXPECT_EQ(device.images[0], pattern(10) + std::string(246, '\0'));
}
}  // namespace
}  // namespace tolvan::test
