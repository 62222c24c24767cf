#include <gtest/gtest.h>

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
    f().ImagemL = false;
    ASSERT_TRUE(f().arquivos.AbreArq(built("M.BIN")));
    EXPECT_EQ(f().ByteGuardado, 0x3C);
    auto r = f().arquivos.le();
    EXPECT_EQ(r.valor, 0x00);
    EXPECT_FALSE(r.ultimo);
    r = f().arquivos.le();
    EXPECT_EQ(r.valor, 0xFF);
    EXPECT_TRUE(r.ultimo);
    EXPECT_EQ(f().arquivos.le().estado, ImageFiles::Leitura::Fim);
    f().arquivos.fecha();

    ASSERT_TRUE(leArqBin("M.BIN"));
    EXPECT_EQ(f().BytesArq, kept(bytes({0x3C, 0x00, 0xFF})));
    EXPECT_EQ(f().QtdBytesArq, 3);
    EXPECT_EQ(f().diagnostico.ListBox1.text(0), "1: 3C");
    EXPECT_EQ(f().diagnostico.ListBox1.text(2), "3: FF");

    writeImage("L.BIN", bytes({0xFF, 0xFF, 0x12}));
    f().ImagemL = true;
    ASSERT_TRUE(f().arquivos.AbreArq(built("L.BIN")));
    EXPECT_EQ(f().ByteGuardado, 0xFF);
    f().arquivos.fecha();
    ASSERT_TRUE(leArqBin("L.BIN"));
    EXPECT_EQ(f().BytesArq, kept(bytes({0xFF, 0xFF, 0x12})));  // rebuilt, nothing left over
}

// The count shown every 100 bytes includes the skipped ones; the read ends with TimeOut running.
TEST_F(ImageFilesTest, ReadingShowsItsProgressOnTheStatusLine) {
    ViewRecorder view(f());
    writeImage("M.BIN", std::string(150, '\0') + pattern(100));
    ASSERT_TRUE(leArqBin("M.BIN"));
    EXPECT_EQ(view.statusRepaints, (std::vector<std::string>{"[Conectado] Lendo Arquivo ... ",
                                                             "[Conectado] Lendo Arquivo ... 100",
                                                             "[Conectado] Lendo Arquivo ... 200"}));
    EXPECT_EQ(f().QtdBytesArq, 100);
    EXPECT_TRUE(f().TimeOut->running());
    EXPECT_TRUE(view.barPositions.empty());  // the bar moves in selector mode only

    writeImage("M.BIN", "");
    ASSERT_TRUE(leArqBin("M.BIN"));
    EXPECT_EQ(f().QtdBytesArq, 0);
    EXPECT_TRUE(f().BytesArq.empty());
    EXPECT_EQ(f().lblStatus.caption(), "[Conectado] Lendo Arquivo ... ");
}

TEST_F(ImageFilesTest, SelectorModeCyclesTheBarWhileReading) {
    ViewRecorder view(f());
    f().ModoSelecao = true;
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
    EXPECT_TRUE(f().closed());
    EXPECT_FALSE(f().TimeOut->running());
}

// A read that fails after the file opened abandons the run instead of going on with part of it.
TEST_F(ImageFilesTest, ReadErrorAbandonsTheRunWithTheFileNamed) {
    std::filesystem::create_directories(bin());
    std::filesystem::create_symlink("/proc/self/mem", bin() / "ERR.BIN");
    f().Modo = "Leitura";
    EXPECT_FALSE(leArqBin("ERR.BIN"));
    on([&] { EXPECT_FALSE(f().arquivos.AbreArq(built("ERR.BIN"))); });
    const std::string texto = "Erro ao ler o arquivo: " + built("ERR.BIN");
    EXPECT_EQ(rig.messages(), (std::vector<std::string>{texto, texto}));
    EXPECT_EQ(f().Modo, "");
    EXPECT_FALSE(f().TimeOut->running());
    EXPECT_FALSE(f().arquivos.isOpen());
    EXPECT_EQ(f().Tela, 0);
    EXPECT_FALSE(f().closed());
}

}  // namespace
}  // namespace tolvan::test
