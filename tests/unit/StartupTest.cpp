#include <gtest/gtest.h>
#include <unistd.h>

#include "PanelFixture.h"
#include "link/PortDialog.h"
#include "texts/Mensagem.h"

namespace tolvan::test {
namespace {

const std::string kNoSystem =
    "Nenhum sistema foi encontrado. \r\rSe houver interesse em adquirir \ralgum, favor entrar em "
    "contato  \rcom a Orsolite. ";

using StartupTest = PanelTest;

TEST_F(StartupTest, FirstStartCreatesThePortFileWithPort2AndShowsTheMainMenu) {
    startWith(3);
    EXPECT_EQ(rig.readFile(kPortFile), "2\r\n");
    EXPECT_EQ(rig.serial.openedDevice(), "/dev/sim2");
    EXPECT_TRUE(rig.serial.isOpen());
    EXPECT_FALSE(form().closed());
    EXPECT_EQ(f().nav.Tela, 0);
    EXPECT_EQ(f().lbxVisor.items(),
              (std::vector<std::string>{"", "Conexão", "Porta de Comunicação", "Sobre o Produto",
                                        "Sair do Programa", ""}));
    EXPECT_EQ(f().lblStatus.caption(), "[Desconectado]");
    EXPECT_EQ(f().lblMsg.caption(), "Vessaro");
    expectPointerConsistent(f());
    EXPECT_EQ(f().frmAbout.lbxSisInstall,
              (std::vector<std::string>{"Sistema 01", "Sistema 02", "Sistema 03"}));
    EXPECT_TRUE(rig.messages().empty());
    // Ends in the machine's own separator.
    EXPECT_EQ(f().DirPrograma, (rig.root / "Orsolite" / "Tolvan Link" / "").string());
}

TEST_F(StartupTest, PortFileNumberIsUsedAndAnUnreadableOneStartsAgainFromPort2) {
    rig.setSystems(numberedSystems(1));
    rig.writeFile(kPortFile, " 3 \r\n");
    rig.start();
    EXPECT_EQ(rig.serial.openedDevice(), "/dev/sim3");

    sim::TestRig other;
    other.setSystems(numberedSystems(1));
    other.writeFile(kPortFile, "COM4\r\n");
    other.start();
    EXPECT_EQ(other.serial.openedDevice(), "/dev/sim2");
    EXPECT_EQ(other.readFile(kPortFile), "2\r\n");
}

// Every operator's port goes into the same shared file: it is rewritten in place, a shorter
// number leaving nothing of a longer one, and a link put in its place is not written through.
TEST_F(StartupTest, ThePortFileIsRewrittenInPlaceAndNeverThroughALink) {
    startWith(1);
    rig.writeFile(kPortFile, "12345\r\n");
    on([&] { f().portas.gravaPortFile(3); });
    EXPECT_EQ(rig.readFile(kPortFile), "3\r\n");
    EXPECT_TRUE(rig.desktop.errors.empty());

    rig.writeFile("\\Alvo.txt", "7\r\n");
    rig.removeFile(kPortFile);
    std::error_code ec;
    std::filesystem::create_symlink(rig.path("\\Alvo.txt"), rig.path(kPortFile), ec);
    if (ec) GTEST_SKIP() << "no symbolic link can be made here: " << ec.message();
    on([&] { f().portas.gravaPortFile(4); });
    EXPECT_EQ(rig.readFile("\\Alvo.txt"), "7\r\n");
    ASSERT_EQ(rig.desktop.errors.size(), 1u);
    EXPECT_EQ(rig.desktop.errors[0].rfind("Cannot write the port file ", 0), 0u);
}

TEST_F(StartupTest, WithoutACatalogueTheNoSystemScreenIsShownAndTheProgramEnds) {
    rig.start();
    EXPECT_EQ(rig.messages(), std::vector<std::string>{kNoSystem});
    EXPECT_EQ(rig.dialogs.messages[0].kind, kInformacao);
    EXPECT_TRUE(form().closed());
    EXPECT_EQ(rig.desktop.quitCalls, 1);
    EXPECT_EQ(f().lbxVisor.items(),
              (std::vector<std::string>{"", "Nenhum", "Sistema", "Encontrado", "", ""}));
    EXPECT_EQ(pointers(f()), 0);
    EXPECT_EQ(f().lblStatus.caption(), "O programa será encerrado.");
    EXPECT_EQ(f().frmAbout.lbxSisInstall,
              (std::vector<std::string>{"Nenhum sistema foi encontrado.",
                                        "Se houver interesse em adquirir",
                                        "algum, favor entrar em contato", "com a Orsolite. "}));
}

TEST_F(StartupTest, ACatalogueWithNoRowsIsTheNoSystemPathToo) {
    rig.setSystems({});
    rig.start();
    EXPECT_EQ(rig.messages(), std::vector<std::string>{kNoSystem});
    EXPECT_TRUE(form().closed());
}

TEST_F(StartupTest, AFileThatIsNoCatalogueIsNamedBeforeTheNoSystemMessage) {
    rig.writeFile(kCatalogueFile, "old table");
    rig.catalogue.forced =
        CatalogueOpenResult{std::nullopt, CatalogueProblem::Paradox, "convert it with the tool"};
    rig.start();
    ASSERT_EQ(rig.messages().size(), 2u);
    EXPECT_NE(rig.messages()[0].find("convert it with the tool"), std::string::npos);
    EXPECT_EQ(rig.dialogs.messages[0].kind, kErro);
    EXPECT_EQ(rig.messages()[1], kNoSystem);
    ASSERT_EQ(rig.desktop.errors.size(), 1u);
    EXPECT_TRUE(form().closed());
}

TEST_F(StartupTest, DebugFileInTheCurrentDirectoryShowsTheReceiveLog) {
    rig.writeFile("debug.txt", "");
    startWith(1);
    EXPECT_TRUE(f().Memo1.visible());

    sim::TestRig plain;
    plain.setSystems(numberedSystems(1));
    plain.start();
    EXPECT_FALSE(plain.componentes().Memo1.visible());
}

TEST_F(StartupTest, AMissingTextFileIsReportedAndTheDialogsKeepTheirBuiltInTexts) {
    rig.removeFile(kCaptionsFile);
    startWith(1);
    ASSERT_EQ(rig.messages().size(), 1u);
    const MessageDialog& shown = rig.dialogs.messages[0];
    EXPECT_NE(shown.text.find("Captions.txt"), std::string::npos);
    ASSERT_EQ(shown.buttons.size(), 1u);
    EXPECT_EQ(shown.buttons[0].caption, "OK");
    EXPECT_EQ(shown.title, "Erro");
    EXPECT_FALSE(form().closed());
    EXPECT_EQ(f().nav.Tela, 0);
}

TEST_F(StartupTest, PortThatCannotBeOpenedOffersThePortDialogUntilOneOpens) {
    rig.setSystems(numberedSystems(1));
    rig.serial.setInUse("/dev/sim2", true);
    rig.dialogs.onMessage = [](const MessageDialog& d) {
        return d.kind == kConfirmacao ? kResultSim : kResultOk;
    };
    rig.dialogs.onPortDialog = [](PortDialog& d) {
        d.lbxPortaClick(2);  // COM3
        d.btnOkClick();
    };
    rig.start();
    EXPECT_EQ(rig.messages(), (std::vector<std::string>{"Porta de Comunicação Inválida! ",
                                                        "Deseja selecionar outra porta? "}));
    EXPECT_EQ(rig.serial.openedDevice(), "/dev/sim3");
    EXPECT_EQ(rig.readFile(kPortFile), "3\r\n");
    EXPECT_FALSE(rig.desktop.busyCursor);
    EXPECT_EQ(f().nav.Tela, 0);
}

TEST_F(StartupTest, DecliningAnotherPortClosesTheProgramAfterTheRestOfStartUp) {
    rig.setSystems(numberedSystems(2));
    rig.writeFile(kPortFile, "9\r\n");  // no such port
    rig.dialogs.onMessage = [](const MessageDialog& d) {
        return d.kind == kConfirmacao ? kResultNao : kResultOk;
    };
    rig.start();
    EXPECT_TRUE(form().closed());
    EXPECT_EQ(rig.dialogs.portDialogsShown, 0);
    // The rest of the activation still ran.
    EXPECT_EQ(f().frmAbout.lbxSisInstall.size(), 2u);
    EXPECT_TRUE(f().frmCarregando.recolhido);
}

TEST_F(StartupTest, AMessageAfterTheWindowClosedReturns2WithoutShowing) {
    startWith(1);
    on([&] { form().lblFecharClick(); });
    EXPECT_TRUE(form().closed());
    EXPECT_EQ(form().Mensagem(MessageId::Outra, "x", kConfirmacao, kBotoesSimNao),
              kClosedByTitleBar);
    EXPECT_TRUE(rig.dialogs.messages.empty());
}

TEST_F(StartupTest, WindowIsCentredWithTheHalvesRoundedTowardZero) {
    startWith(1);
    form().centra(1024, 768);
    EXPECT_EQ(f().janela.left(), 217);
    EXPECT_EQ(f().janela.top(), 240);
    form().centra(500, 200);
    EXPECT_EQ(f().janela.left(), -44);
    EXPECT_EQ(f().janela.top(), -44);
}

class SelectorStartupTest : public PanelTest {
  protected:
    void SetUp() override {
        rig.setSystems(numberedSystems(3));
        rig.writeFile(kSelectionFile, "x\r\ny\r\nSistema 02\r\n");
    }
};

TEST_F(SelectorStartupTest, SelectorModeShrinksTheWindowToTheBarAndCaption) {
    rig.writeFile(kBackgroundPicture, "jpeg");
    rig.dialogs.onMessage = [](const MessageDialog&) { return kResultOk; };
    rig.start();
    Componentes& form = f();
    EXPECT_TRUE(form.ModoSelecao);
    EXPECT_EQ(form.janela.width(), 800);
    EXPECT_EQ(form.janela.height(), 600);
    EXPECT_EQ(form.janela.region(), (std::vector<Rect>{{500, 72, 790, 88}, {500, 50, 653, 69}}));
    EXPECT_FALSE(form.btnUp.visible());
    EXPECT_FALSE(form.btnDown.visible());
    EXPECT_TRUE(form.lblMsg2.visible());
    EXPECT_TRUE(form.lblMsg2.transparent());
    EXPECT_TRUE(form.iLedBar1.transparent());
    EXPECT_EQ(form.iLedBar1.left(), 500);
    EXPECT_EQ(form.iLedBar1.top(), 72);
    EXPECT_EQ(form.lbxVisor.top(), 300);
    EXPECT_EQ(form.ImgTolvanLink.jpegFile(), rig.path(kBackgroundPicture).string());
}

TEST_F(SelectorStartupTest, AMissingBackgroundIsNamedWithoutADriveAndSelectorModeGoesOn) {
    rig.dialogs.onMessage = [](const MessageDialog&) { return kResultOk; };
    rig.start();
    ASSERT_FALSE(rig.messages().empty());
    EXPECT_EQ(
        rig.messages()[0],
        "Não foi possível encontrar o arquivo: \\Orsolite\\TolvanFlex\\Imagens\\FundoComum.jpg");
    EXPECT_TRUE(f().ModoSelecao);
    EXPECT_TRUE(f().ImgTolvanLink.jpegFile().empty());
}

TEST_F(SelectorStartupTest, CloseDeletesTheSelectionFileAndClosesOnlyTheLauncherWindow) {
    rig.desktop.windowTitles = {"Tolvan Flex Selecionador", "Tolvan Flex Selecionador 2"};
    rig.dialogs.onMessage = [](const MessageDialog&) { return kResultOk; };
    rig.start();
    on([&] { form().Close(); });
    EXPECT_FALSE(rig.exists(kSelectionFile));
    EXPECT_EQ(rig.desktop.closeRequests, std::vector<std::string>{"Tolvan Flex Selecionador"});
    EXPECT_EQ(rig.desktop.windowTitles, std::set<std::string>{"Tolvan Flex Selecionador 2"});
}

// Another operator's selection file in the shared folder steers nobody else's program.
TEST_F(SelectorStartupTest, ASelectionFileOfAnotherUserIsPassedOver) {
#ifdef _WIN32
    GTEST_SKIP() << "giving a file to another owner takes a privilege the tests do not hold";
#else
    if (::geteuid() != 0) GTEST_SKIP() << "only root can give a file to another user";
    ASSERT_EQ(::chown(rig.path(kSelectionFile).c_str(), 65534, 65534), 0);
    rig.start();
    EXPECT_FALSE(f().ModoSelecao);
    EXPECT_EQ(f().nav.Tela, 0);
    ASSERT_EQ(rig.desktop.errors.size(), 1u);
    EXPECT_NE(rig.desktop.errors[0].find("belongs to another user"), std::string::npos);
    on([&] { form().Close(); });
    EXPECT_TRUE(rig.exists(kSelectionFile));  // not this program's to delete
#endif
}

TEST_F(SelectorStartupTest, TheMarkerFileLeavesTheLauncherWindowAlone) {
    rig.writeFile(kMarkerFile, "");
    rig.desktop.windowTitles = {"Tolvan Flex Selecionador"};
    rig.dialogs.onMessage = [](const MessageDialog&) { return kResultOk; };
    rig.start();
    on([&] { form().Close(); });
    EXPECT_TRUE(rig.desktop.closeRequests.empty());
    EXPECT_FALSE(rig.exists(kSelectionFile));
}

}  // namespace
}  // namespace tolvan::test
