#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "Bytes.h"
#include "RunRecorder.h"
#include "device/Commands.h"
#include "link/Frames.h"
#include "link/PortOpening.h"
#include "sim/ScriptedDevice.h"
#include "sim/SimDevice.h"
#include "sim/TestRig.h"
#include "texts/Mensagem.h"
#include "transfer/Receiver.h"

namespace tolvan {
namespace {

using test::bytes;
using test::pattern;

using sim::ScriptedDevice;

constexpr int kGravacaoEVerificacao = 1;
constexpr int kGravacao = 2;
constexpr int kVerificacao = 3;

const char* const kSemErros = " ARQUIVO VERIFICADO SEM ERROS \r\r O Tolvan Link será executado. ";

class ReceiverTest : public ::testing::Test {
  protected:
    Componentes& f() { return rig.componentes(); }
    FrmTolvanLink& form() { return rig.form(); }
    template <typename Handler>
    void on(Handler&& handler) {
        form().dispatch(handler);
    }

    // A system of a main image of `main` bytes and an L image of `l` bytes, their files in bin
    // and the same bytes in the device.
    void system(std::size_t main, std::size_t l) {
        mainImage = pattern(main, 1);
        lImage = pattern(l, 2);
        const auto sectors = [](std::size_t n) { return static_cast<int>((n + 255) / 256); };
        rig.setSystems({{"Sistema", "MAIN.BIN", sectors(main), "L.BIN", sectors(l), "", 0}});
        writeImage("MAIN.BIN", mainImage);
        writeImage("L.BIN", lImage);
        device.images[0] = mainImage;
        device.images[1] = lImage;
    }
    void writeImage(const std::string& name, const std::string& content) {
        const auto bin = rig.root / "Orsolite" / "Tolvan Link" / "bin";
        std::filesystem::create_directories(bin);
        std::ofstream(bin / name, std::ios::binary) << content;
    }
    // Connects, chooses the system and confirms operation menu line `linha`.
    void start(int linha) {
        rig.start();
        on([&] { f().painel.btnConfirmaClick(); });
        rig.loop.runFor(1000);
        ASSERT_EQ(f().nav.Tela, 1);
        on([&] { f().painel.btnConfirmaClick(); });
        ASSERT_EQ(f().nav.Tela, 2);
        device.frames.clear();
        rig.dialogs.messages.clear();
        on([&] {
            f().painel.cliqueVisor(linha);
            f().painel.btnConfirmaClick();
        });
    }
    const ScriptedDevice::Frame& frame(std::uint8_t code, int nth = 0) {
        for (const auto& fr : device.frames)
            if (fr.code == code && nth-- == 0) return fr;
        throw std::out_of_range("frame not sent");
    }
    std::string lidos() {
        return std::string(f().run.BytesLidos.begin(), f().run.BytesLidos.end());
    }

    sim::TestRig rig;
    ScriptedDevice device{rig};
    std::string mainImage;
    std::string lImage;
};

TEST_F(ReceiverTest, ReadingSendsOneSetUpFrame200MsAfterEachAnswer) {
    system(512, 100);
    start(kVerificacao);
    rig.loop.runUntil([&] { return device.count(0x09) == 2; }, 5000);

    const auto& c = device.frames;
    ASSERT_GE(c.size(), 7u);
    const std::vector<int> codes = device.codes();
    EXPECT_EQ(std::vector<int>(codes.begin(), codes.begin() + 7),
              (std::vector<int>{0x01, 0x02, 0x03, 0x07, 0x08, 0x09, 0x09}));
    EXPECT_EQ(c[1].bytes, bytes({0, 0x0F, 2}) + "MAIN.BIN" + std::string(5, '\0'));
    EXPECT_EQ(c[2].bytes, bytes({0, 6, 3, 0, 0x20, 0}));
    EXPECT_EQ(c[3].bytes, bytes({0, 6, 7, 0, 0x20, 0}));
    EXPECT_EQ(c[4].bytes, bytes({0, 5, 8, 0, 2}));
    for (int k = 2; k <= 5; ++k)
        EXPECT_EQ(c[k].at, c[k - 1].at + device.delayMs + 200) << k;
    // The whole first sector in one event: the next request 100 ms after it.
    EXPECT_EQ(c[6].at, c[5].at + device.delayMs + 100);
    EXPECT_EQ(c[6].storedWhenSent, 256);
    EXPECT_EQ(f().lblStatus.caption(), "[Conectado] Setor: 2/2");
    EXPECT_EQ(f().iLedBar1.position(), 2);

    rig.loop.runFor(10000);
    EXPECT_EQ(rig.messages(), std::vector<std::string>{kSemErros});
    EXPECT_EQ(device.codes().back(), 0x0B);
    EXPECT_EQ(f().nav.Tela, 0);
}

struct Split {
    const char* name;
    std::vector<std::size_t> sizes;
};

class SectorSplitTest : public ReceiverTest, public ::testing::WithParamInterface<Split> {};

// Whatever the events hold, each sector stores exactly its 256 data bytes, and the next sector
// is asked for only once they are all in.
TEST_P(SectorSplitTest, EverySectorStoresItsDataBytesAndNoMore) {
    system(768, 300);
    // Data that read as a sector head in decimal text ("21 3 9", "1 3 90", "1 3 9") at the
    // start of later events and inside them.
    for (std::size_t at : {100u, 200u, 356u, 600u}) {
        const std::string trap = at == 200   ? bytes({0x01, 0x03, 0x5A})
                                 : at == 100 ? bytes({0x15, 0x03, 0x09})
                                             : bytes({0x01, 0x03, 0x09});
        mainImage.replace(at, 3, trap);
    }
    writeImage("MAIN.BIN", mainImage);
    device.images[0] = mainImage;
    device.split = GetParam().sizes;

    start(kVerificacao);
    rig.loop.runUntil([&] { return f().run.Endereco2 == "01 00 00"; }, 20000);
    // The main image passed: the L image's reading has begun.
    EXPECT_EQ(device.count(0x09), 3);
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(frame(0x09, k).storedWhenSent, 256 * k) << k;

    rig.loop.runFor(20000);
    EXPECT_EQ(rig.messages(), std::vector<std::string>{kSemErros});
    // The L image's two sectors (the last one's bytes after its completion go unstored).
    EXPECT_EQ(lidos().substr(0, lImage.size()), lImage);
}

INSTANTIATE_TEST_SUITE_P(
    Splits, SectorSplitTest,
    ::testing::Values(Split{"Whole", {259}}, Split{"HeadSplit", {2, 257}},
                      Split{"HeadByteByByte", {1, 1, 1, 256}},
                      Split{"HeadWithDataThenPieces", {103, 100, 56}},
                      Split{"SecondEventPassesTheThreshold", {253, 6}},
                      Split{"BytesAfterCompletionStillBelongToTheSector", {254, 5}}),
    [](const ::testing::TestParamInfo<Split>& info) { return info.param.name; });

TEST_F(ReceiverTest, ExactlyTwoHundredFiftyDataBytesDoNotCompleteASector) {
    system(512, 100);
    device.split = {253, 6};
    device.gapMs = 1000;
    start(kVerificacao);
    rig.loop.runUntil([&] { return device.count(0x09) == 1; }, 5000);
    const std::int64_t asked = frame(0x09).at;

    rig.loop.runUntil(asked + device.delayMs + 999);
    EXPECT_EQ(f().run.QtdBytesLidos, 250);
    EXPECT_EQ(f().run.BytesBloco, 250);
    EXPECT_EQ(device.count(0x09), 1);
    // The event that brings it above 250 completes it: the next request follows 100 ms later.
    rig.loop.runUntil([&] { return device.count(0x09) == 2; }, 5000);
    EXPECT_EQ(frame(0x09, 1).at, asked + device.delayMs + 1000 + 100);
    EXPECT_EQ(frame(0x09, 1).storedWhenSent, 256);
    rig.loop.runFor(10000);
    EXPECT_EQ(rig.messages(), std::vector<std::string>{kSemErros});
}

TEST_F(ReceiverTest, SingleSectorImagesGoStraightToTheComparison) {
    system(200, 100);
    start(kVerificacao);
    rig.loop.runFor(10000);
    EXPECT_EQ(rig.loop.ticks("TimerRead"), 0);
    EXPECT_EQ(device.count(0x09), 2);
    EXPECT_EQ(rig.messages(), std::vector<std::string>{kSemErros});
}

// Against the device emulator on a line at 19200 baud: every answer reaches the host in
// 16-byte pieces, and the sector answers are cut once more after their first two bytes.
TEST_F(ReceiverTest, OneEventEndsAnImageAndStartsTheNext) {
    system(300, 100);
    emu::DeviceOptions options;
    options.splits = {2};
    options.splitCodes = {0x09};
    sim::SimDevice emulator(rig.loop, rig.serial, options);
    start(kGravacaoEVerificacao);
    rig.loop.runFor(30000);
    // The answer to each image's last sector frame starts the next image, and after the L
    // image the verification, from inside the receive handler: nothing else goes in between.
    std::vector<int> expected;
    for (std::vector<int> image : {std::vector<int>{1, 2, 3, 4, 5, 6, 6},
                                   {1, 2, 3, 4, 5, 6},
                                   {1, 2, 3, 7, 8, 9, 9},
                                   {1, 2, 3, 7, 8, 9}})
        expected.insert(expected.end(), image.begin(), image.end());
    expected.push_back(0x0B);
    const std::vector<std::uint8_t> heard = emulator.framesHeard();
    EXPECT_EQ(std::vector<int>(heard.begin() + 1, heard.end()), expected);  // after the poll
    EXPECT_EQ(rig.messages(), std::vector<std::string>{kSemErros});
}

class TimeOutTest : public ReceiverTest {
  protected:
    // The message is open for a second while the device's late answers arrive.
    void lateAnswersWhileTheMessageIsOpen(const std::string& late) {
        rig.dialogs.onMessage = [this, late](const MessageDialog& d) {
            if (d.text == kMsgSemComunicacao) {
                timeOutAt = rig.loop.nowMs();
                framesAtTimeOut = device.frames.size();
                storedAtTimeOut = f().run.QtdBytesLidos;
                rig.serial.deliver(late, rig.loop.nowMs() + 10);
                rig.serial.deliver(late, rig.loop.nowMs() + 20);
                rig.loop.runFor(1000);
            }
            return d.defaultCode;
        };
    }
    void expectAbandoned() {
        EXPECT_EQ(rig.messages(), std::vector<std::string>{kMsgSemComunicacao});
        EXPECT_TRUE(f().btnConfirma.enabled());
        EXPECT_EQ(f().nav.Tela, 0);
        rig.serial.deliver(std::string(300, '\x01'), rig.loop.nowMs() + 10);
        rig.loop.runFor(10000);
        EXPECT_EQ(device.frames.size(), framesAtTimeOut);
        EXPECT_EQ(f().run.QtdBytesLidos, storedAtTimeOut);
        EXPECT_EQ(rig.messages().size(), 1u);
    }

    std::int64_t timeOutAt = -1;
    std::size_t framesAtTimeOut = 0;
    std::int32_t storedAtTimeOut = -1;
};

TEST_F(TimeOutTest, ReadingIsAbandonedFiveSecondsAfterTheRequestEvenWhileBytesTrickleIn) {
    system(768, 100);
    // The second sector's answer: its head and 90 data bytes, one event a second.
    device.silentOn = [&](const ScriptedDevice::Frame& fr) {
        if (fr.code != 0x09 || device.count(0x09) != 2) return false;
        for (int k = 1; k <= 3; ++k)
            rig.serial.deliver(
                k == 1 ? bytes({1, 3, 9}) + std::string(30, '\x11') : std::string(30, '\x22'),
                rig.loop.nowMs() + 1000 * k);
        return true;
    };
    lateAnswersWhileTheMessageIsOpen(std::string(259, '\x33'));
    start(kVerificacao);
    rig.loop.runUntil([&] { return !rig.messages().empty(); }, 20000);
    EXPECT_EQ(timeOutAt, frame(0x09, 1).at + 5000);
    EXPECT_EQ(storedAtTimeOut, 256 + 90);
    expectAbandoned();
}

TEST_F(TimeOutTest, ProgrammingIsAbandonedAndTheImageClosed) {
    system(1024, 100);
    device.silentOn = [&](const ScriptedDevice::Frame& fr) {
        return fr.code == 0x06 && device.count(0x06) == 2;
    };
    lateAnswersWhileTheMessageIsOpen(bytes({0, 3, 6}));
    test::RunRecorder heard(rig.sessao());
    start(kGravacao);
    rig.loop.runUntil([&] { return !rig.messages().empty(); }, 30000);
    EXPECT_EQ(heard.desfechos, std::vector<Desfecho>{Desfecho::SemComunicacao});
    EXPECT_FALSE(f().run.ArqBin.isOpen());
    EXPECT_EQ(device.count(0x06), 2);
    expectAbandoned();
    EXPECT_FALSE(form().closed());
}

TEST_F(TimeOutTest, SetUpWithoutAnswerIsAbandonedAndSelectorModeCloses) {
    system(300, 100);
    rig.writeFile(kSelectionFile, "x\r\ny\r\nSistema\r\n");
    device.silentOn = [](const ScriptedDevice::Frame& fr) { return fr.code == 0x03; };
    rig.start();  // selector mode connects, chooses and programs by itself
    rig.loop.runFor(30000);
    EXPECT_EQ(rig.messages().back(), kMsgSemComunicacao);
    EXPECT_TRUE(form().closed());
    EXPECT_EQ(device.codes().back(), 0x03);
}

// A failure that escapes a handler in the middle of a run (here the line refuses the sector
// frame) ends the run through the same abandon as a time-out: one message, nothing more sent,
// the panel back on the main menu, no time-out afterwards.
TEST_F(TimeOutTest, FailureInsideARunAbandonsIt) {
    system(1024, 100);
    device.silentOn = [&](const ScriptedDevice::Frame& fr) {
        if (fr.code == 0x05) rig.serial.setBroken(true);  // the first sector frame is refused
        return false;
    };
    test::RunRecorder heard(rig.sessao());
    start(kGravacao);
    rig.loop.runFor(20000);
    EXPECT_EQ(heard.desfechos, std::vector<Desfecho>{Desfecho::FalhaDePorta});
    EXPECT_EQ(rig.messages(), std::vector<std::string>{kMsgFalhaNaPorta});
    EXPECT_EQ(rig.dialogs.messages.back().kind, kErro);
    EXPECT_EQ(rig.desktop.errors.size(), 1u);
    EXPECT_FALSE(f().run.emCurso());
    EXPECT_FALSE(f().run.ArqBin.isOpen());
    EXPECT_EQ(f().nav.Tela, 0);
    EXPECT_TRUE(f().btnConfirma.enabled());
}

// The adapter pulled out: at the operation menu, while polling, while programming, while
// reading back. What is under way ends at once with the port's message (no time-out, no poll
// more), and once the adapter is back the next "Conexão" or operation opens the port again.
enum class Momento { Menu, Conexao, Gravacao, Verificacao };
class UnplugTest : public ReceiverTest, public ::testing::WithParamInterface<Momento> {
  protected:
    void conexao() {
        on([&] {
            f().painel.cliqueVisor(1);
            f().painel.btnConfirmaClick();
        });
    }
    void operacao(int linha) {
        on([&] {
            f().painel.cliqueVisor(linha);
            f().painel.btnConfirmaClick();
        });
    }
};

TEST_P(UnplugTest, EndsWhatIsUnderWayOnceAndTheNextOperationOpensAgain) {
    const Momento m = GetParam();
    system(1024, 100);
    test::RunRecorder heard(rig.sessao());
    if (m == Momento::Conexao) device.silentOn = [](const ScriptedDevice::Frame&) { return true; };
    rig.start();
    const std::string path = rig.serial.openedDevice();
    conexao();
    if (m != Momento::Conexao) {
        rig.loop.runFor(1000);
        on([&] { f().painel.btnConfirmaClick(); });  // the system: the operation menu
        ASSERT_EQ(f().nav.Tela, 2);
    }
    if (m == Momento::Gravacao) operacao(kGravacao);
    if (m == Momento::Verificacao) operacao(kVerificacao);
    rig.loop.runFor(1500);
    rig.dialogs.messages.clear();
    rig.serial.unplug(rig.loop.nowMs() + 10);
    rig.loop.runFor(20);
    rig.serial.clearWrites();
    rig.loop.runFor(10000);

    EXPECT_TRUE(rig.serial.writes().empty()) << rig.serial.writes().size() << " writes";
    EXPECT_FALSE(f().ComPort.isOpen());
    EXPECT_EQ(rig.desktop.errors.size(), 1u);
    if (m == Momento::Menu) {
        EXPECT_TRUE(rig.messages().empty());
        EXPECT_EQ(f().lblStatus.caption(), "[Desconectado]");
        // Not back yet: the operation is refused with the port's message.
        operacao(kVerificacao);
        EXPECT_EQ(heard.desfechos.back(), Desfecho::FalhaDePorta);
    } else {
        EXPECT_EQ(heard.desfechos.back(), Desfecho::FalhaDePorta);
    }
    EXPECT_EQ(rig.messages(), std::vector<std::string>{kMsgFalhaNaPorta});
    EXPECT_EQ(f().nav.Tela, 0);
    EXPECT_TRUE(f().btnConfirma.enabled());
    EXPECT_FALSE(f().run.emCurso());
    EXPECT_FALSE(f().conn.Conectando);

    // Put back under the same name: "Conexão" opens it again, and a run verifies.
    rig.serial.plugIn(path);
    device.silentOn = [](const ScriptedDevice::Frame&) { return false; };
    const int openings = rig.serial.openCount();
    conexao();
    rig.loop.runFor(1000);
    EXPECT_EQ(rig.serial.openCount(), openings + 1);
    ASSERT_EQ(f().nav.Tela, 1);
    on([&] { f().painel.btnConfirmaClick(); });
    operacao(kGravacaoEVerificacao);
    rig.loop.runFor(60000);
    EXPECT_EQ(rig.messages().back(), kSemErros);
}

std::string nomeDo(const ::testing::TestParamInfo<Momento>& info) {
    const char* names[] = {"OperationMenu", "Polling", "Programming", "Verifying"};
    return names[static_cast<int>(info.param)];
}
INSTANTIATE_TEST_SUITE_P(Moments, UnplugTest,
                         ::testing::Values(Momento::Menu, Momento::Conexao, Momento::Gravacao,
                                           Momento::Verificacao),
                         nomeDo);

}  // namespace
}  // namespace tolvan
