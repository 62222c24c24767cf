#include <gtest/gtest.h>

#include "Harness.h"
#include "platform/SqliteCatalogueStore.h"
#include "texts/Cp1252.h"

namespace tolvan::e2e {
namespace {

// The generated installation is what the program reads: the catalogue through its own store,
// the texts in Windows-1252, image files as long as their sector counts.
TEST(InstallTreeTest, TheProgramCanReadWhatIsGenerated) {
    const std::filesystem::path root = makeTempDir("tolvan-install-");
    install::InstallOptions o;
    o.root = root;
    o.systems = install::demoSystems();
    o.ports = {{"COM2", "/dev/pts/9"}};
    o.selection = "Horizonte";
    install::writeInstallation(o);
    const std::filesystem::path dir = install::programDir(root);

    SqliteCatalogueStore store;
    const CatalogueOpenResult opened = store.open(dir / "Tabelas" / "TolvanLink.db");
    ASSERT_TRUE(opened.table) << opened.detail;
    ASSERT_EQ(opened.table->rows.size(), o.systems.size());
    EXPECT_EQ(opened.table->rows.front().front().text, "Aurora Motores");

    const std::string captions = readFile(dir / "Captions.txt");
    EXPECT_NE(cp1252ToUtf8(captions).find("[Português]"), std::string::npos);
    EXPECT_NE(captions.find("\r\n"), std::string::npos);

    for (const install::SystemSpec& s : o.systems) {
        const std::string main = readFile(dir / "bin" / s.arquivo);
        const std::size_t skipped = main.find_first_not_of(std::string("\xFF\x00", 2));
        ASSERT_NE(skipped, std::string::npos) << s.arquivo;
        const std::size_t kept = main.size() - skipped;
        EXPECT_LE(kept, static_cast<std::size_t>(s.setor) * 256) << s.arquivo;
        EXPECT_GT(kept, static_cast<std::size_t>(s.setor - 1) * 256) << s.arquivo;
        EXPECT_EQ(readFile(dir / "bin" / s.arquivoL).size(), std::size_t(s.setorL) * 256);
    }
    EXPECT_NE(readFile(install::commonDir(root) / "SerialComm.txt").find("COM2=/dev/pts/9\n"),
              std::string::npos);
    EXPECT_EQ(readFile(install::commonDir(root) / "Comm.txt"), "2\r\n");
    EXPECT_EQ(readFile(install::commonDir(root) / "Selecao"),
              "TolvanFlex\r\nSelecionador\r\nHorizonte\r\n");
    std::filesystem::remove_all(root);
}

}  // namespace
}  // namespace tolvan::e2e
