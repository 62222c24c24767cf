#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PanelFixture.h"
#include "link/Frames.h"
#include "link/Handshake.h"
#include "link/PortOpening.h"
#include "texts/Mensagem.h"

namespace tolvan::test {
namespace {

class HandshakeTest : public PanelTest {
  protected:
    int polls() const {
        int n = 0;
        for (const auto& w : rig.serial.writes())
            n += w.bytes == kCmdLink ? 1 : 0;
        return n;
    }
    // Confirm on "Conexão", where the main menu's pointer stands.
    void conexao() {
        on([&] { f().painel.btnConfirmaClick(); });
    }
    // One receive event `ms` from now.
    void answer(const std::string& bytes, int ms = 10) {
        rig.serial.deliver(bytes, rig.loop.nowMs() + ms);
        rig.loop.runFor(ms);
    }
    void expectConnected() {
        EXPECT_EQ(f().lblStatus.caption(), "[Conectado]");
        EXPECT_EQ(f().run.Modo, Modo::Nenhum);
        EXPECT_TRUE(f().btnConfirma.enabled());
        EXPECT_FALSE(f().conn.TimerLink->running());
        EXPECT_TRUE(f().nav.TimerMontaTela->running());
    }
    void expectGivenUp() {
        EXPECT_EQ(f().lblStatus.caption(), "[Desconectado] Erro na Conexão.");
        EXPECT_EQ(f().nav.Tela, 0);
        EXPECT_TRUE(f().btnConfirma.enabled());
        EXPECT_FALSE(f().conn.TimerLink->running());
    }
    // After the handshake has ended without a connection, late bytes are not answers.
    void expectLateBytesIgnored() {
        const int pollsBefore = polls();
        const std::size_t messagesBefore = rig.messages().size();
        const std::string parcial = f().conn.RespostaParcial;
        for (int k = 0; k < 12; ++k)
            answer("\x07");
        answer(std::string("\x00\x03\x01", 3));
        rig.loop.runFor(1000);
        EXPECT_EQ(polls(), pollsBefore);
        EXPECT_EQ(rig.messages().size(), messagesBefore);
        EXPECT_EQ(f().conn.RespostaParcial, parcial);
        EXPECT_FALSE(f().nav.TimerMontaTela->running());
        expectGivenUp();
    }
};

TEST_F(HandshakeTest, SilentDeviceGets399PollsPerQuestionAndYesGivesUp) {
    startWith(3);
    std::vector<int> pollsAtQuestion;
    rig.dialogs.onMessage = [&](const MessageDialog& d) {
        if (d.text != kMsgAbandonarConexao) return kResultOk;
        pollsAtQuestion.push_back(polls());
        return pollsAtQuestion.size() == 1 ? kResultNao : kResultSim;
    };
    conexao();
    EXPECT_EQ(rig.messages().at(0), kMsgDesconecteCabo);
    EXPECT_EQ(f().lblStatus.caption(), "[Desconectado] Conectando ...");
    EXPECT_FALSE(f().btnConfirma.enabled());

    rig.loop.runFor(10000);
    EXPECT_EQ(pollsAtQuestion, (std::vector<int>{399, 798}));
    EXPECT_EQ(rig.messages().size(), 3u);  // the replug message and two questions, no other
    expectGivenUp();
    expectLateBytesIgnored();
    EXPECT_EQ(f().run.Modo, Modo::Link);
}

struct Arrival {
    std::vector<std::string> events;
    int naoCasados;
};

class HandshakeArrivalTest : public HandshakeTest, public ::testing::WithParamInterface<Arrival> {};

TEST_P(HandshakeArrivalTest, AnswerConnectsWhateverTheSplit) {
    startWith(8);
    conexao();
    rig.loop.runFor(50);
    for (const std::string& event : GetParam().events)
        answer(event);
    expectConnected();
    EXPECT_EQ(f().conn.Tentativas, GetParam().naoCasados);
    EXPECT_EQ(f().conn.RespostaParcial, "");

    const int pollsAtConnection = polls();
    rig.loop.runFor(500);
    EXPECT_EQ(polls(), pollsAtConnection);
    EXPECT_EQ(f().nav.Tela, 1);  // the system list, half a second after the connection
}

INSTANTIATE_TEST_SUITE_P(Rows, HandshakeArrivalTest,
                         ::testing::Values(Arrival{{std::string("\x00\x03\x01", 3)}, 0},
                                           Arrival{{std::string("\x00", 1), "\x03\x01"}, 1},
                                           Arrival{{std::string("\x00\x03", 2), "\x01"}, 1},
                                           Arrival{{std::string("\x00", 1), "\x03", "\x01"}, 2}));

TEST_F(HandshakeTest, TenWrongAnswersAreToleratedAndTheEleventhFailsOnce) {
    startWith(3);
    conexao();
    for (int k = 0; k < 10; ++k)
        answer(std::string("\x00\x03\x01\x00\x03\x01", 6));  // two answers in one event
    EXPECT_EQ(f().conn.Tentativas, 10);
    EXPECT_TRUE(f().conn.TimerLink->running());
    EXPECT_EQ(rig.messages().size(), 1u);

    answer(std::string("\x00", 1));  // the eleventh: a partial answer counts as wrong
    EXPECT_EQ(rig.messages().back(), kMsgErroConexao);
    EXPECT_EQ(rig.messages().size(), 2u);
    expectGivenUp();
    EXPECT_EQ(f().conn.RespostaParcial, "00");
    expectLateBytesIgnored();

    // The partial answer outlives the failure: the next handshake completes it at once.
    conexao();
    EXPECT_EQ(f().conn.Tentativas, 0);
    answer("\x03\x01");
    expectConnected();
}

// While the question is open receive events go on: when one ends the handshake, connected or
// failed, the question closes by itself, unanswered, and the handshake goes on as it would have.
class QuestionTest : public HandshakeTest, public ::testing::WithParamInterface<bool> {};

TEST_P(QuestionTest, ClosesItselfWhenTheHandshakeEndsUnderIt) {
    const bool connects = GetParam();
    startWith(3);
    std::int64_t closedAt = -1;
    rig.dialogs.onMessage = [&](const MessageDialog& d) {
        if (d.text != kMsgAbandonarConexao) return kResultOk;
        answer(connects ? std::string("\x00\x03\x01", 3) : "\x05", 100);
        if (rig.dialogs.staysOpenFor(rig.loop, 60000)) closedAt = rig.loop.nowMs();
        return kResultSim;  // the operator's late answer, which must change nothing
    };
    conexao();
    if (!connects) f().conn.Tentativas = 10;  // the next wrong answer is the eleventh
    rig.loop.runFor(2500);
    EXPECT_EQ(rig.dialogs.dismissals, 1);
    EXPECT_GE(closedAt, 0) << "the question stayed open";
    EXPECT_LT(closedAt, 2500);
    if (connects) {
        expectConnected();
        rig.loop.runFor(500);
        EXPECT_EQ(f().nav.Tela, 1);
        EXPECT_EQ(rig.messages(),
                  (std::vector<std::string>{kMsgDesconecteCabo, kMsgAbandonarConexao}));
    } else {
        expectGivenUp();
        EXPECT_EQ(rig.messages(), (std::vector<std::string>{
                                      kMsgDesconecteCabo, kMsgAbandonarConexao, kMsgErroConexao}));
    }
}

INSTANTIATE_TEST_SUITE_P(Endings, QuestionTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Connected" : "Failed"; });

// A port that cannot be opened fails the first poll: the handshake ends there with one
// message and one line on stderr, instead of a failure every 5 ms.
TEST_F(HandshakeTest, PortThatCannotBeOpenedEndsTheHandshakeOnce) {
    startWith(3);
    on([&] { f().ComPort.setOpen(false); });
    rig.serial.setInUse(rig.serial.openedDevice(), true);
    conexao();
    rig.loop.runFor(3000);
    EXPECT_EQ(rig.messages().back(), kMsgFalhaNaPorta);
    EXPECT_EQ(rig.desktop.errors.size(), 1u);
    EXPECT_FALSE(f().conn.Conectando);
    expectGivenUp();
}

class SelectorHandshakeTest : public HandshakeTest {
  protected:
    // Selector mode presses Confirm by itself at start: the handshake is under way.
    void startSelector() {
        rig.setSystems(numberedSystems(3));
        rig.writeFile(kSelectionFile, "x\r\ny\r\nSistema 02\r\n");
        rig.start();
        EXPECT_EQ(f().lblMsg2.caption(), "Conectando ... ");
        EXPECT_TRUE(f().conn.TimerLink->running());
    }
};

TEST_F(SelectorHandshakeTest, EleventhWrongAnswerClosesWithoutAMessage) {
    startSelector();
    const std::size_t messages = rig.messages().size();
    for (int k = 0; k < 11; ++k)
        answer("\x05");
    EXPECT_TRUE(form().closed());
    EXPECT_EQ(f().lblMsg2.caption(), "Erro na Conexão.");
    EXPECT_EQ(rig.messages().size(), messages);
}

// The device answers under the question: the run starts only once the question has gone.
TEST_F(SelectorHandshakeTest, RunStartsAfterTheQuestionHasClosedItself) {
    Modo modoAoFechar = Modo::Gravacao;
    rig.dialogs.onMessage = [&](const MessageDialog& d) {
        if (d.text != kMsgAbandonarConexao) return kResultOk;
        answer(std::string("\x00\x03\x01", 3), 100);
        EXPECT_TRUE(rig.dialogs.staysOpenFor(rig.loop, 60000));
        modoAoFechar = f().run.Modo;
        return kResultSim;
    };
    rig.writeImage("S2.BIN", "\x01\x02");
    rig.writeImage("S2L.BIN", "\x03");
    startSelector();
    rig.loop.runFor(3500);
    EXPECT_EQ(modoAoFechar, Modo::Nenhum);
    EXPECT_EQ(f().run.Modo, Modo::Gravacao);
    EXPECT_FALSE(form().closed());
}

TEST_F(SelectorHandshakeTest, GivingUpAtTheQuestionCloses) {
    rig.dialogs.onMessage = [](const MessageDialog& d) {
        return d.text == kMsgAbandonarConexao ? kResultSim : kResultOk;
    };
    startSelector();
    rig.loop.runFor(2500);
    EXPECT_TRUE(form().closed());
    EXPECT_EQ(f().lblMsg2.caption(), "Erro na Conexão.");
    EXPECT_EQ(polls(), 399);
}

}  // namespace
}  // namespace tolvan::test
