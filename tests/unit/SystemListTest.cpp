#include <gtest/gtest.h>

#include "PanelFixture.h"
#include "texts/Mensagem.h"

namespace tolvan::test {
namespace {

const std::string kHintDown = " Mais sistemas ... seta para baixo.";
const std::string kHintUp = " Mais sistemas ... seta para cima.";

class SystemListTest : public PanelTest {
  protected:
    void showList(int systems) {
        startWith(systems);
        f().lblStatus.setCaption("[Conectado]");
        on([&] { f().listaSistemas.MontaTela1(); });
    }
    std::vector<std::string> shown() { return f().lbxVisor.items(); }
    std::vector<std::string> rows(int first, int last) {
        std::vector<std::string> out;
        for (const auto& s : numberedSystems(last))
            out.push_back(s.descricao);
        return {out.begin() + (first - 1), out.end()};
    }
    void down(int times = 1) {
        for (int i = 0; i < times; ++i)
            on([&] { f().painel.btnDownClick(); });
    }
    void up(int times = 1) {
        for (int i = 0; i < times; ++i)
            on([&] { f().painel.btnUpClick(); });
    }
};

TEST_F(SystemListTest, ShortCataloguesShowEveryRowWithoutScrolling) {
    showList(3);
    EXPECT_EQ(shown(), rows(1, 3));
    EXPECT_FALSE(f().nav.Rolagem);
    EXPECT_EQ(f().nav.LinhaFim, 2);
    EXPECT_EQ(f().lblMsg.caption(), "Selecione um Sistema");
    down(5);
    EXPECT_EQ(f().lbxVisor.itemIndex(), 2);
    expectPointerConsistent(f());

    sim::TestRig six;
    six.setSystems(numberedSystems(6));
    six.start();
    six.form().dispatch([&] { six.componentes().listaSistemas.MontaTela1(); });
    for (int i = 0; i < 6; ++i)
        six.form().dispatch([&] { six.componentes().painel.btnDownClick(); });
    EXPECT_EQ(six.componentes().lbxVisor.items(), rows(1, 6));
    EXPECT_EQ(six.componentes().nav.LinhaFim, 5);
    EXPECT_EQ(six.desktop.beeps, 6);
}

TEST_F(SystemListTest, SevenRowsScrollOneRowAndHintWhereTheRestLies) {
    showList(7);
    EXPECT_TRUE(f().nav.Rolagem);
    EXPECT_EQ(shown(), rows(1, 6));
    down(5);
    EXPECT_EQ(f().lblStatus.caption(), "[Conectado]");
    down();
    EXPECT_EQ(shown(), rows(2, 7));
    EXPECT_EQ(f().lbxVisor.itemIndex(), 5);
    EXPECT_EQ(f().lblStatus.caption(), "[Conectado]" + kHintUp);
    expectPointerConsistent(f());
    // At the bottom: a beep, nothing scrolls, the hint points up.
    down();
    EXPECT_EQ(shown(), rows(2, 7));
    EXPECT_EQ(f().lblStatus.caption(), "[Conectado]" + kHintUp);
    // Leaving the edge line removes the hint.
    up();
    EXPECT_EQ(f().lblStatus.caption(), "[Conectado]");
}

TEST_F(SystemListTest, DownHintSaysDownWhileTwoOrMoreRowsRemainBelow) {
    showList(10);
    down(5);
    down();  // line 5 shows row 6; rows 7.. remain
    EXPECT_EQ(shown(), rows(2, 7));
    EXPECT_EQ(f().lblStatus.caption(), "[Conectado]" + kHintDown);
}

TEST_F(SystemListTest, ScrollingBackUpFromTheBottomHintsAsTheRowsAboveRunOut) {
    showList(10);
    down(5 + 4);  // rows 5..10 shown
    ASSERT_EQ(shown(), rows(5, 10));
    up(5);
    EXPECT_EQ(f().lbxVisor.itemIndex(), 0);
    up();  // line 0 showed row 5: scrolls to 4
    EXPECT_EQ(shown().front(), "Sistema 04");
    up();  // showed 4: scrolls to 3
    up();  // showed 3 (two rows above): scrolls to 2, more lie above
    EXPECT_EQ(shown().front(), "Sistema 02");
    EXPECT_EQ(f().lblStatus.caption(), "[Conectado]" + kHintUp);
    up();  // showed 2: scrolls to the first row, nothing more above
    EXPECT_EQ(shown(), rows(1, 6));
    EXPECT_EQ(f().lblStatus.caption(), "[Conectado]" + kHintDown);
    up();  // at the top: nothing scrolls
    EXPECT_EQ(shown(), rows(1, 6));
    EXPECT_EQ(f().lblStatus.caption(), "[Conectado]" + kHintDown);
    expectPointerConsistent(f());
}

TEST_F(SystemListTest, ArrowKeysOnTheEdgeLinesScrollThroughTheUpAndDownActions) {
    showList(8);
    for (int i = 0; i < 7; ++i) {
        on([&] {
            f().painel.lbxVisorKeyDown(kVkDown);
            f().painel.teclaNaLista(kVkDown);
        });
    }
    EXPECT_EQ(shown(), rows(3, 8));
    EXPECT_EQ(rig.desktop.beeps, 2);  // only the presses on line 5 ran the Down action
}

TEST_F(SystemListTest, ConfirmingASystemPreparesItsMainImageAndTheOperationMenu) {
    showList(9);
    down(7);  // rows 3..8 shown, line 5 is row 8
    on([&] { f().painel.btnConfirmaClick(); });
    EXPECT_EQ(f().nav.SistemaEscolhido, "Sistema 08");
    EXPECT_EQ(f().run.NomeArq, "S8.BIN");
    EXPECT_EQ(f().run.QtdSetores, 4);
    EXPECT_EQ(f().run.Endereco1, "00 32 00");
    EXPECT_EQ(f().run.Endereco2, "00 32 00");
    EXPECT_EQ(f().iLedBar1.positionMax(), 4);
    EXPECT_EQ(f().iLedBar1.sectionEnd1(), 2);
    EXPECT_EQ(f().iLedBar1.sectionEnd2(), 3);
    EXPECT_EQ(f().iLedBar1.position(), 0);
    EXPECT_EQ(f().nav.Tela, 2);
    EXPECT_EQ(f().QrTolvanLink.asString("Arquivo_L"), "S8L.BIN");

    on([&] { f().painel.btnRetornaClick(); });
    on([&] { f().painel.btnConfirmaClick(); });
    EXPECT_EQ(f().nav.SistemaEscolhido, "Sistema 01");
    EXPECT_EQ(f().run.NomeArq, "S1.BIN");
    EXPECT_EQ(f().QrTolvanLink.asString("Arquivo_L"), "S1L.BIN");
}

TEST_F(SystemListTest, ALineThatCannotBeFoundAgainLeavesTheListAsItWas) {
    rig.setSystems({{" Com brancos ", "A.BIN", 1, "AL.BIN", 1, "", 0}});
    rig.start();
    on([&] { f().listaSistemas.MontaTela1(); });
    on([&] { f().painel.btnConfirmaClick(); });
    EXPECT_EQ(rig.messages(), std::vector<std::string>{"Erro ao localizar o registro."});
    EXPECT_EQ(rig.dialogs.messages[0].kind, kErro);
    EXPECT_EQ(f().nav.Tela, 1);
}

class SelectorListTest : public SystemListTest {
  protected:
    void selectorWith(int systems, const std::string& wanted) {
        rig.setSystems(numberedSystems(systems));
        for (const auto& s : numberedSystems(systems)) {
            rig.writeImage(s.arquivo, "\x01");
            rig.writeImage(s.arquivoL, "\x01");
        }
        rig.writeFile(kSelectionFile, "primeira\r\nsegunda\r\n" + wanted + "\r\n");
        rig.dialogs.onMessage = [](const MessageDialog& d) { return d.defaultCode; };
        rig.start();
        rig.dialogs.messages.clear();
        on([&] { form().TimerMontaTelaTimer(); });
    }
};

TEST_F(SelectorListTest, SearchScrollsToTheNamedSystemAndStartsTheRun) {
    selectorWith(12, "ma 09");
    EXPECT_EQ(f().nav.SistemaSelecao, "ma 09");
    // The ninth row is only on the display once the list has scrolled.
    EXPECT_EQ(f().nav.SistemaEscolhido, "Sistema 09");
    EXPECT_EQ(f().run.NomeArq, "S9.BIN");
    EXPECT_EQ(f().nav.Tela, 2);
    EXPECT_FALSE(f().lbxVisor.enabled());  // the run has started with the panel disabled
    EXPECT_EQ(f().lbxVisor.itemIndex(), 1);
    EXPECT_EQ(rig.desktop.beeps, 0);
}

TEST_F(SelectorListTest, TheEarlierOfTwoMatchesIsChosenAndCaseCounts) {
    selectorWith(12, "Sistema 1");
    EXPECT_EQ(f().nav.SistemaEscolhido, "Sistema 10");

    sim::TestRig other;
    other.setSystems(numberedSystems(3));
    other.writeFile(kSelectionFile, "a\r\nb\r\nsistema 02\r\n");
    other.dialogs.onMessage = [](const MessageDialog& d) { return d.defaultCode; };
    other.start();
    other.dialogs.messages.clear();
    other.form().dispatch([&] { other.form().TimerMontaTelaTimer(); });
    EXPECT_EQ(other.messages(), std::vector<std::string>{"Montadora inexistente no Tolvan Link."});
    EXPECT_TRUE(other.form().closed());
}

// A row whose description has blanks at its ends is found by the search but not again by its
// trimmed text: the launcher is not left waiting for a run that cannot start.
TEST_F(SelectorListTest, ARowThatCannotBeFoundAgainClosesTheProgram) {
    auto systems = numberedSystems(3);
    systems[1].descricao = " Sistema 02 ";
    rig.setSystems(systems);
    rig.writeFile(kSelectionFile, "x\r\ny\r\nSistema 02\r\n");
    rig.dialogs.onMessage = [](const MessageDialog& d) { return d.defaultCode; };
    rig.start();
    rig.dialogs.messages.clear();
    on([&] { form().TimerMontaTelaTimer(); });
    EXPECT_EQ(rig.messages(), std::vector<std::string>{"Erro ao localizar o registro."});
    EXPECT_TRUE(form().closed());
}

TEST_F(SelectorListTest, AnUnreadableSelectionFileNamesNoSystem) {
    selectorWith(3, "Sistema 02");
    rig.dialogs.messages.clear();
    rig.removeFile(kSelectionFile);
    on([&] { form().TimerMontaTelaTimer(); });
    EXPECT_EQ(f().nav.SistemaSelecao, "");
    EXPECT_EQ(rig.messages(), std::vector<std::string>{"Montadora inexistente no Tolvan Link."});
    EXPECT_TRUE(form().closed());
}

}  // namespace
}  // namespace tolvan::test
