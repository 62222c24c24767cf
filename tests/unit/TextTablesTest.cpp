#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "services/PathResolver.h"
#include "texts/DefaultTexts.h"
#include "texts/TextTables.h"

namespace tolvan {
namespace {

// The two files under a fresh installation root; file contents are Windows-1252 bytes.
class TextTablesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = std::filesystem::temp_directory_path() /
                ("tolvan-texts-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(root_ / "Orsolite" / "Tolvan Link");
        tables_.Idioma = "Português";
    }
    void TearDown() override { std::filesystem::remove_all(root_); }

    void write(const std::string& name, const std::string& bytes) {
        std::ofstream(root_ / "Orsolite" / "Tolvan Link" / name, std::ios::binary) << bytes;
    }
    void load() { CarregaTextos(tables_, PathResolver(root_), kCaptionsFile); }

    std::filesystem::path root_;
    TextTables tables_;
};

TEST_F(TextTablesTest, SectionHeaderUpperCasesOnlyAToZ) {
    write("Captions.txt", "a = 1\r\n");
    // "[PORTUGUÊS]" with a capital Ê (0xCA) is not the header; "[ português ]"-style lines with
    // the lower-case ê are, wherever the header text sits on the line.
    write("Mensagens.txt",
          "[PORTUGU\xCAS]\r\nk = nao\r\n[FIM]\r\n; secao [portugu\xEAs] abaixo\r\nk = sim\r\n");
    load();
    EXPECT_EQ(tables_.Mensagens, (std::vector<std::string>{"sim"}));
}

TEST_F(TextTablesTest, SectionRunsFromHeaderToFimAndLaterSectionsAreIgnored) {
    write("Captions.txt", "");
    write("Mensagens.txt",
          "[FIM]\r\nantes = x\r\n[Portugu\xEAs]\r\na = 1\r\n\r\nX=Sim\r\nsem igual\r\n"
          "  [fim]  \r\nb = 2\r\n[Portugu\xEAs]\r\nc = 3\r\n");
    load();
    // The blank line keeps its index; the character right after "=" is always skipped; a line
    // without "=" loses its first character.
    EXPECT_EQ(tables_.Mensagens, (std::vector<std::string>{"1", "", "im", "em igual"}));
}

TEST_F(TextTablesTest, EntriesAreTrimmedDecodedAndMessagesTurnCurrencySignIntoBreak) {
    write("Captions.txt",
          "[Portugu\xEAs]\n  frmAbout\t= \tSobre o Produto \n l\xE7ltima = Informa\xE7\xE3o\n");
    write("Mensagens.txt",
          "[Portugu\xEAs]\r\nm = Desconecte\xA4o cabo\xA4\r\n=  \x80 \r\nlonga = a = b\r\n");
    load();
    EXPECT_EQ(tables_.CaptionNomes, (std::vector<std::string>{"FRMABOUT", "L\u00E7LTIMA"}));
    EXPECT_EQ(tables_.CaptionTextos,
              (std::vector<std::string>{"Sobre o Produto", "Informa\u00E7\u00E3o"}));
    EXPECT_EQ(tables_.Mensagens,
              (std::vector<std::string>{"Desconecte\ro cabo\r", "\u20AC", "a = b"}));
}

TEST_F(TextTablesTest, MissingFilesThrowWithTheProgramsPathAndKeepWhatWasLoaded) {
    write("Mensagens.txt", "[Portugu\xEAs]\r\na = 1\r\n");
    try {
        load();
        FAIL() << "no error";
    } catch (const TextFileError& e) {
        EXPECT_STREQ(e.what(), "File not found");
        EXPECT_EQ(e.path(), kCaptionsFile);
    }
    EXPECT_TRUE(tables_.Mensagens.empty());

    std::filesystem::remove(root_ / "Orsolite" / "Tolvan Link" / "Mensagens.txt");
    write("Captions.txt", "[Portugu\xEAs]\r\na = 1\r\n");
    try {
        load();
        FAIL() << "no error";
    } catch (const TextFileError& e) {
        EXPECT_EQ(e.path(), kMessagesFile);
    }
    EXPECT_EQ(tables_.CaptionTextos, (std::vector<std::string>{"1"}));
}

TEST_F(TextTablesTest, ShippedFilesLoadAsTheBuiltInTables) {
    write("Captions.txt", arquivoCaptionsPadrao());
    write("Mensagens.txt", arquivoMensagensPadrao());
    load();
    std::vector<std::string> expected = mensagensPadrao();
    for (std::string& m : expected) {
        for (std::size_t at; (at = m.find("\u00A4")) != std::string::npos;)
            m.replace(at, 2, "\r");
    }
    EXPECT_EQ(tables_.Mensagens, expected);
    ASSERT_EQ(tables_.CaptionNomes.size(), captionsPadrao().size());
    EXPECT_EQ(tables_.CaptionNomes[0], "FRMTOLVANLINK");
    EXPECT_EQ(tables_.CaptionTextos[7], "Porta de Comunica\u00E7\u00E3o");
}

}  // namespace
}  // namespace tolvan
