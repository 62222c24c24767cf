#include <gtest/gtest.h>

#include <csignal>
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include "PanelFixture.h"
#include "link/PortDialog.h"
#include "texts/Mensagem.h"

namespace tolvan::test {
namespace {

class ScreensTest : public PanelTest {
  protected:
    void useRegistry(const std::vector<std::string>& names) {
        rig.registry.entries.clear();
        for (const std::string& name : names) {
            rig.registry.entries.push_back({name, "/dev/" + name});
            rig.serial.addDevice("/dev/" + name);
        }
    }
    void openPortList() {
        on([&] {
            f().painel.cliqueVisor(2);
            f().painel.btnConfirmaClick();
        });
    }
};

TEST_F(ScreensTest, PortListPointsAtTheCurrentPortAndOnlyPortLinesAreSelectable) {
    useRegistry({"COM1", "COM3"});
    rig.writeFile(kPortFile, "3\r\n");
    startWith(1);
    openPortList();
    EXPECT_EQ(f().nav.Tela, 3);
    EXPECT_EQ(f().lbxVisor.items(), (std::vector<std::string>{"COM1", "COM3", "", "", "", ""}));
    EXPECT_EQ(f().lblMsg.caption(), "Selecione a Porta de Comunicação");
    EXPECT_EQ(f().nav.LinhaFim, 1);
    EXPECT_EQ(f().lbxVisor.itemIndex(), 1);
    expectPointerConsistent(f());
    on([&] { f().painel.cliqueVisor(4); });
    EXPECT_EQ(f().lbxVisor.itemIndex(), 1);
}

TEST_F(ScreensTest, PortNumbersAreReadWholeFromCom10On) {
    useRegistry({"COM1", "COM10", "COM12"});
    rig.writeFile(kPortFile, "1\r\n");
    startWith(1);
    openPortList();
    EXPECT_EQ(f().lbxVisor.itemIndex(), 0);  // COM10 is port 10, not port 1
    expectPointerConsistent(f());

    on([&] {
        f().painel.cliqueVisor(2);
        f().painel.btnConfirmaClick();
    });
    EXPECT_EQ(rig.serial.openedDevice(), "/dev/COM12");
    EXPECT_EQ(f().ComPort.comNumber(), 12);
    EXPECT_EQ(rig.readFile(kPortFile), "12\r\n");
    EXPECT_EQ(f().nav.Tela, 0);
}

// A port file that cannot be rewritten (a full disk; here a file size limit of nothing) keeps
// the number it held, and the failure is told.
TEST_F(ScreensTest, APortFileThatCannotBeRewrittenKeepsItsNumber) {
#ifdef _WIN32
    GTEST_SKIP() << "a file size limit (setrlimit) is POSIX's; Windows has no such limit to set";
#else
    useRegistry({"COM1", "COM12"});
    rig.writeFile(kPortFile, "1\r\n");
    startWith(1);
    openPortList();
    struct rlimit before {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
    const auto formerHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit none = before;
    none.rlim_cur = 0;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &none), 0);
    on([&] {
        f().painel.cliqueVisor(2);
        f().painel.btnConfirmaClick();
    });
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, formerHandler);
    EXPECT_EQ(f().ComPort.comNumber(), 12);
    EXPECT_EQ(rig.readFile(kPortFile), "1\r\n");
    ASSERT_FALSE(rig.desktop.errors.empty());
    EXPECT_NE(rig.desktop.errors.back().find("Cannot write the port file"), std::string::npos);
    EXPECT_NE(rig.desktop.errors.back().find("File too large"), std::string::npos);
#endif
}

TEST_F(ScreensTest, RefusedPortOnThePortListCanBeGivenUpOrReplaced) {
    useRegistry({"COM1", "COM2", "COM3"});
    startWith(1);
    rig.serial.setInUse("/dev/COM3", true);
    openPortList();
    rig.dialogs.onMessage = [](const MessageDialog& d) {
        return d.kind == kConfirmacao ? kResultNao : kResultOk;
    };
    on([&] {
        f().painel.cliqueVisor(2);
        f().painel.btnConfirmaClick();
    });
    EXPECT_EQ(rig.messages(), (std::vector<std::string>{"Porta de Comunicação Inválida! ",
                                                        "Deseja selecionar outra porta? "}));
    // Given up: the failed number is what the port file now holds, and the main menu follows.
    EXPECT_EQ(rig.readFile(kPortFile), "3\r\n");
    EXPECT_FALSE(rig.serial.isOpen());
    EXPECT_EQ(f().nav.Tela, 0);
    EXPECT_FALSE(form().closed());

    openPortList();
    rig.dialogs.onMessage = [](const MessageDialog& d) {
        return d.kind == kConfirmacao ? kResultSim : kResultOk;
    };
    rig.dialogs.onPortDialog = [](PortDialog& d) {
        d.lbxPortaClick(0);
        d.btnOkClick();
    };
    on([&] {
        f().painel.cliqueVisor(2);
        f().painel.btnConfirmaClick();
    });
    EXPECT_EQ(rig.serial.openedDevice(), "/dev/COM1");
    EXPECT_EQ(rig.readFile(kPortFile), "1\r\n");
}

TEST_F(ScreensTest, AnEmptyPortListDoesNotCrashConfirm) {
    startWith(1);
    useRegistry({});
    openPortList();
    EXPECT_EQ(f().nav.LinhaFim, -1);
    rig.dialogs.onMessage = [](const MessageDialog& d) {
        return d.kind == kConfirmacao ? kResultNao : kResultOk;
    };
    on([&] { f().painel.btnConfirmaClick(); });
    EXPECT_EQ(rig.messages().front(), "Porta de Comunicação Inválida! ");
    EXPECT_EQ(f().nav.Tela, 0);
}

TEST_F(ScreensTest, EveryKeyRewritesThePortFileButTheReturnButtonDoesNot) {
    startWith(1);
    openPortList();
    rig.removeFile(kPortFile);
    on([&] { f().painel.btnRetornaClick(); });
    EXPECT_EQ(f().nav.Tela, 0);
    EXPECT_FALSE(rig.exists(kPortFile));
    for (int key : {kVkDown, kVkEscape, 65 /* A */}) {
        rig.removeFile(kPortFile);
        rig.dialogs.onMessage = [](const MessageDialog&) { return kResultNao; };
        on([&] { f().telas.FormKeyDown(key); });
        EXPECT_EQ(rig.readFile(kPortFile), "2\r\n") << key;
    }
}

TEST_F(ScreensTest, F1AsksForTheManualAndF5ShowsTheAboutBox) {
    startWith(1);
    on([&] { f().telas.FormKeyDown(kVkF1); });
    ASSERT_EQ(rig.desktop.helpRequests.size(), 1u);
    const HelpRequest& help = rig.desktop.helpRequests[0];
    EXPECT_EQ(help.file, f().DirPrograma + "\\manual\\Vessaro.chm>Conteúdo");
    EXPECT_EQ(help.manual, rig.root / "Orsolite" / "Tolvan Link" / "manual" / "Vessaro.chm");
    EXPECT_EQ(help.command, 0);
    EXPECT_EQ(help.topic, "Index.html");

    on([&] { f().telas.FormKeyDown(kVkF5); });
    EXPECT_EQ(rig.dialogs.aboutShown, 1);
    EXPECT_FALSE(rig.desktop.busyCursor);
}

TEST_F(ScreensTest, F6ChoosesAPortAndARefusedOneEndsTheProgram) {
    startWith(1);
    rig.dialogs.onPortDialog = [](PortDialog& d) {
        d.lbxPortaClick(3);
        d.btnOkClick();
    };
    on([&] { f().telas.FormKeyDown(kVkF6); });
    EXPECT_EQ(rig.serial.openedDevice(), "/dev/sim4");
    EXPECT_EQ(rig.readFile(kPortFile), "4\r\n");

    rig.serial.setInUse("/dev/sim1", true);
    rig.dialogs.onPortDialog = [](PortDialog& d) {
        d.lbxPortaClick(0);
        d.btnOkClick();
    };
    on([&] { f().telas.FormKeyDown(kVkF6); });
    EXPECT_EQ(rig.messages().back(), "Porta de Comunicação Inválida! \r\rSelecione outra porta.");
    EXPECT_TRUE(form().closed());
    EXPECT_EQ(rig.readFile(kPortFile), "1\r\n");
}

TEST_F(ScreensTest, AboutLineShowsTheAboutBoxAndLeavesTheMenu) {
    startWith(1);
    on([&] {
        f().painel.cliqueVisor(3);
        f().painel.btnConfirmaClick();
    });
    EXPECT_EQ(rig.dialogs.aboutShown, 1);
    EXPECT_EQ(f().nav.Tela, 0);
    EXPECT_EQ(f().lbxVisor.itemIndex(), 3);
}

TEST_F(ScreensTest, OperationMenuIsTitledAfterTheChosenSystemAndReturnRebuildsTheList) {
    startWith(8);
    on([&] { f().listaSistemas.MontaTela1(); });
    on([&] {
        f().painel.cliqueVisor(2);
        f().painel.btnConfirmaClick();
    });
    EXPECT_EQ(f().nav.Tela, 2);
    EXPECT_EQ(f().lblMsg.caption(), "Sistema Sistema 03");
    EXPECT_EQ(f().lbxVisor.items(), (std::vector<std::string>{"", "Gravação & Verificação",
                                                              "Gravação", "Verificação", "", ""}));
    EXPECT_EQ(f().nav.LinhaFim, 3);
    expectPointerConsistent(f());
    on([&] { f().painel.btnRetornaClick(); });
    EXPECT_EQ(f().nav.Tela, 1);
    EXPECT_EQ(f().lbxVisor.item(0), "Sistema 01");
    expectPointerConsistent(f());
    on([&] { f().painel.btnRetornaClick(); });
    EXPECT_EQ(f().nav.Tela, 0);
}

TEST(PortDialogTest, PreselectsThePortsOwnLineAndReadsWholeNumbers) {
    sim::FakePortRegistry registry;
    for (const char* name : {"COM1", "COM2", "COM10"})
        registry.entries.push_back({name, ""});
    PortDialog dialog(registry);
    dialog.Porta = 1;
    dialog.FormActivate();
    EXPECT_EQ(dialog.lines(), (std::vector<std::string>{"COM1", "COM2", "COM10", "", "", ""}));
    EXPECT_EQ(dialog.selected(), 0);
    dialog.Porta = 10;
    dialog.FormActivate();
    EXPECT_EQ(dialog.selected(), 2);
    dialog.btnOkClick();
    EXPECT_EQ(dialog.Porta, 10);
    dialog.Porta = 3;
    dialog.FormActivate();
    EXPECT_EQ(dialog.selected(), 0);

    dialog.lbxPortaClick(1);
    EXPECT_EQ(dialog.Porta, 2);
    dialog.lbxPortaClick(4);  // a blank line counts by its place
    EXPECT_EQ(dialog.Porta, 5);
    dialog.btnOkClick();
    EXPECT_EQ(dialog.Porta, 1);
}

TEST(PortDialogTest, PortNamesGiveTheirWholeNumberOrNone) {
    EXPECT_EQ(numeroDaPorta("COM1"), 1);
    EXPECT_EQ(numeroDaPorta("COM12"), 12);
    EXPECT_EQ(numeroDaPorta("com3"), 3);
    EXPECT_EQ(numeroDaPorta(""), -1);
    EXPECT_EQ(numeroDaPorta("COM"), -1);
    EXPECT_EQ(numeroDaPorta("COMA"), -1);
    EXPECT_EQ(numeroDaPorta("LPT1"), -1);
    EXPECT_EQ(numeroDaPorta("COM99999999999"), -1);
}

}  // namespace
}  // namespace tolvan::test
