#include <gtest/gtest.h>

#include <random>

#include "PanelFixture.h"
#include "texts/Mensagem.h"

namespace tolvan::test {
namespace {

using NavigationTest = PanelTest;

TEST_F(NavigationTest, UpAndDownStayInsideTheMainMenuAndBeepOnEveryPress) {
    startWith(2);
    for (int i = 0; i < 5; ++i)
        on([&] { f().painel.btnDownClick(); });
    EXPECT_EQ(f().lbxVisor.itemIndex(), 4);
    expectPointerConsistent(f());
    for (int i = 0; i < 5; ++i)
        on([&] { f().painel.btnUpClick(); });
    EXPECT_EQ(f().lbxVisor.itemIndex(), 1);
    expectPointerConsistent(f());
    EXPECT_EQ(rig.desktop.beeps, 10);
}

TEST_F(NavigationTest, ClicksOnTheBlankEdgeLinesComeBackIntoTheWindow) {
    startWith(2);
    on([&] { f().painel.cliqueVisor(0); });
    EXPECT_EQ(f().lbxVisor.itemIndex(), 1);
    expectPointerConsistent(f());
    on([&] { f().painel.cliqueVisor(5); });
    EXPECT_EQ(f().lbxVisor.itemIndex(), 4);
    expectPointerConsistent(f());
    on([&] { f().painel.cliqueSinalizador(0); });
    EXPECT_EQ(f().lbxVisor.itemIndex(), 1);
    expectPointerConsistent(f());
    EXPECT_EQ(rig.desktop.beeps, 0);
}

TEST_F(NavigationTest, MovingCutsTheStatusLineBackToItsBracketedState) {
    startWith(2);
    f().lblStatus.setCaption("[Desconectado] Erro na Conexão.");
    on([&] { f().painel.btnDownClick(); });
    EXPECT_EQ(f().lblStatus.caption(), "[Desconectado]");
    f().lblStatus.setCaption("sem colchete");
    on([&] { f().painel.cliqueVisor(2); });
    EXPECT_EQ(f().lblStatus.caption(), "");
    // The pointer column's click leaves the status alone.
    f().lblStatus.setCaption("[Conectado] Setor: 1/2");
    on([&] { f().painel.cliqueSinalizador(3); });
    EXPECT_EQ(f().lblStatus.caption(), "[Conectado] Setor: 1/2");
}

TEST_F(NavigationTest, DoubleClickOnTheBlankFirstLineConfirmsConexao) {
    startWith(2);
    on([&] {
        f().painel.cliqueVisor(0);
        f().painel.lbxVisorDblClick();
    });
    EXPECT_EQ(f().conn.Tentativas, 0);
    EXPECT_FALSE(rig.messages().empty());
    EXPECT_EQ(rig.messages()[0].rfind("Desconecte o cabo", 0), 0u);
}

TEST_F(NavigationTest, EscapeOnTheMainMenuAsksBeforeLeaving) {
    startWith(2);
    rig.dialogs.onMessage = [](const MessageDialog&) { return kResultNao; };
    on([&] { f().painel.lbxVisorKeyDown(kVkEscape); });
    EXPECT_EQ(rig.messages(), std::vector<std::string>{"Deseja realmento sair do Tolvan Link? "});
    EXPECT_FALSE(form().closed());
    EXPECT_EQ(f().lbxVisor.itemIndex(), 1);

    // The title bar's close box is no Yes either.
    rig.dialogs.onMessage = [](const MessageDialog&) { return kClosedByTitleBar; };
    on([&] { f().painel.btnRetornaClick(); });
    EXPECT_FALSE(form().closed());

    rig.dialogs.onMessage = [](const MessageDialog&) { return kResultSim; };
    on([&] { f().painel.btnRetornaClick(); });
    EXPECT_TRUE(form().closed());
}

TEST_F(NavigationTest, ArrowKeysMoveTheListWithoutBeepingAndKeepThePointerInside) {
    startWith(2);
    for (int key : {kVkDown, kVkDown, kVkDown, kVkDown, kVkDown}) {
        on([&] {
            f().painel.lbxVisorKeyDown(key);
            f().painel.teclaNaLista(key);
        });
    }
    EXPECT_EQ(f().lbxVisor.itemIndex(), 4);
    on([&] { f().painel.teclaNaLista(kVkHome); });
    EXPECT_EQ(f().lbxVisor.itemIndex(), 1);
    on([&] { f().painel.teclaNaLista(kVkEnd); });
    EXPECT_EQ(f().lbxVisor.itemIndex(), 4);
    expectPointerConsistent(f());
    EXPECT_EQ(rig.desktop.beeps, 0);
}

TEST_F(NavigationTest, SelectorModeMakesNoSound) {
    rig.setSystems(numberedSystems(2));
    rig.writeFile(kSelectionFile, "a\r\nb\r\nnada\r\n");
    rig.dialogs.onMessage = [](const MessageDialog&) { return kResultOk; };
    rig.start();
    on([&] {
        f().painel.btnUpClick();
        f().painel.btnDownClick();
        f().painel.btnConfirmaClick();
        f().painel.btnRetornaClick();
    });
    EXPECT_EQ(rig.desktop.beeps, 0);
}

TEST_F(NavigationTest, AtivaFuncoesSwitchesTheWholePanelAndTheCloseMarksOutline) {
    startWith(2);
    f().painel.AtivaFuncoes(false);
    for (const Control* c : std::initializer_list<const Control*>{
             &f().lblFechar, &f().lbxSinalizador, &f().lbxVisor, &f().btnConfirma, &f().btnRetorna,
             &f().btnUp, &f().btnDown}) {
        EXPECT_FALSE(c->enabled());
    }
    EXPECT_EQ(f().lblFechar.onMouseBorderWidth(), 0);
    EXPECT_TRUE(f().lblMsg.enabled());
    f().painel.AtivaFuncoes(true);
    EXPECT_TRUE(f().btnDown.enabled());
    EXPECT_EQ(f().lblFechar.onMouseBorderWidth(), 1);
}

// Whatever the operator does on the menus, the pointer column shows exactly one ">" on the
// selected line inside the selectable window.
TEST_F(NavigationTest, RandomOperatorNeverBreaksThePointer) {
    startWith(9);
    rig.dialogs.onMessage = [](const MessageDialog&) { return kResultNao; };
    std::mt19937 random(12345);
    for (int step = 0; step < 2000 && !form().closed(); ++step) {
        const int screen = static_cast<int>(random() % 4);
        on([&] {
            if (screen == 0) f().telas.MontaTela0();
            if (screen == 1) f().listaSistemas.MontaTela1();
            if (screen == 2) f().telas.MontaTela2();
            if (screen == 3) f().telas.MontaTela3();
        });
        for (int k = 0; k < 12; ++k) {
            const int row = static_cast<int>(random() % 7) - 1;
            on([&] {
                switch (random() % 6) {
                    case 0:
                        f().painel.btnUpClick();
                        break;
                    case 1:
                        f().painel.btnDownClick();
                        break;
                    case 2:
                        f().painel.cliqueVisor(row);
                        break;
                    case 3:
                        f().painel.cliqueSinalizador(row);
                        break;
                    case 4:
                        f().painel.lbxVisorKeyDown(kVkUp);
                        f().painel.teclaNaLista(kVkUp);
                        break;
                    default:
                        f().painel.lbxVisorKeyDown(kVkDown);
                        f().painel.teclaNaLista(kVkNext);
                        break;
                }
            });
            expectPointerConsistent(f());
            if (HasFailure()) return;
        }
    }
}

}  // namespace
}  // namespace tolvan::test
