#include <gtest/gtest.h>

#include "TransferFixture.h"
#include "texts/Mensagem.h"

namespace tolvan::test {
namespace {

const std::string kFimDaGravacao = " FIM DA GRAVAÇÃO \r\r O Tolvan Link será executado. ";

class ProgrammingTest : public TransferTest {
  protected:
    // A system whose main image is `main` and whose L image is 20 bytes.
    void program(const std::string& main, int linha = 2, const std::string& l2 = "") {
        writeImage("M.BIN", main);
        writeImage("L.BIN", pattern(20, 3));
        runOperation({"Sistema", "M.BIN", 2, "L.BIN", 1, l2, 1}, linha);
    }
    std::string fill(std::size_t n) { return std::string(n, '\0'); }
};

// The kept entries of the main image go out 256 per frame after the held byte; consecutive
// frames overlap by one entry and the last one is filled with 00.
class FrameLayoutTest : public ProgrammingTest,
                        public ::testing::WithParamInterface<std::size_t> {};

TEST_P(FrameLayoutTest, SectorFramesCarryTheKeptBytesWithOverlapAndFill) {
    const std::size_t kept = GetParam();
    const std::string e = pattern(kept);
    program(bytes({0xFF, 0x00, 0xFF}) + e);
    std::vector<std::string> w = device.sectorWrites();
    w.pop_back();  // the L image's frame
    if (kept == 300) {
        ASSERT_EQ(w.size(), 2u);
        EXPECT_EQ(w[0], e.substr(0, 257));
        EXPECT_EQ(w[1], e.substr(256) + fill(213));
        // From the last byte of frame 1 on, the status names sector 2.
        EXPECT_EQ(device.frames[5].statusAtStart, "[Conectado] Gravando ... ");
        EXPECT_EQ(device.frames[6].statusAtStart, "[Conectado] Setor: 2/2");
    } else if (kept == 257) {
        ASSERT_EQ(w.size(), 1u);
        EXPECT_EQ(w[0], e);
    } else {
        ASSERT_EQ(w.size(), 2u);
        EXPECT_EQ(w[1], e.substr(256));
    }
}

INSTANTIATE_TEST_SUITE_P(KeptBytes, FrameLayoutTest, ::testing::Values(300u, 257u, 513u));

TEST_F(ProgrammingTest, GravacaoOfThreeImagesEndsWithOneMessageAndCmdExecuta) {
    writeImage("L2.BIN", pattern(600, 5));
    int executaBeforeMessage = -1;
    rig.dialogs.onMessage = [&](const MessageDialog&) {
        executaBeforeMessage = device.count(0x0B);
        return kResultOk;
    };
    program(pattern(300), 2, "L2.BIN");

    EXPECT_EQ(device.count(0x01), 3);  // CmdLink before each image
    EXPECT_EQ(device.count(0x02), 3);  // three set-up sequences
    EXPECT_EQ(device.count(0x06), 2 + 1 + 3);
    EXPECT_EQ(device.images[2], pattern(600, 5) + fill(168));
    EXPECT_EQ(rig.messages(), std::vector<std::string>{kFimDaGravacao});
    EXPECT_EQ(executaBeforeMessage, 0);
    EXPECT_EQ(device.count(0x0B), 1);
    EXPECT_EQ(device.frames.back().code, 0x0B);
    EXPECT_EQ(f().nav.Tela, 0);
    EXPECT_TRUE(f().lbxVisor.enabled());
    EXPECT_EQ(f().run.Modo, Modo::Gravacao);
    // Back on the main image.
    EXPECT_EQ(f().run.NomeArq, "M.BIN");
    EXPECT_EQ(f().run.Endereco2, "00 32 00");
    EXPECT_EQ(f().iLedBar1.positionMax(), 2);
    // 200 + 200 ms around each CmdLink and 400 ms after each of the six frames.
    EXPECT_EQ(rig.loop.pausedMs(), 3 * 400 + 6 * 400);
}

TEST_F(ProgrammingTest, BlankL2ColumnEndsAfterTheLImage) {
    program(pattern(10), 2, "   ");
    EXPECT_EQ(device.count(0x01), 2);
    EXPECT_EQ(rig.messages(), std::vector<std::string>{kFimDaGravacao});
}

TEST_F(ProgrammingTest, GravacaoEVerificacaoGoesStraightOnToVerification) {
    program(pattern(300), 1);
    // No end message in between: the one message is verification's.
    EXPECT_EQ(rig.messages(),
              std::vector<std::string>{
                  " ARQUIVO VERIFICADO SEM ERROS \r\r O Tolvan Link será executado. "});
    EXPECT_EQ(device.count(0x01), 4);
    EXPECT_EQ(device.count(0x09), 2 + 1);
    EXPECT_EQ(device.count(0x0B), 1);
}

TEST_F(ProgrammingTest, OnlyKeptByteBeingTheLastGoesOutWithTheFill) {
    program(bytes({0x00, 0xFF, 0x00, 0x42}));
    EXPECT_EQ(device.sectorWrites().front(), bytes({0x42}) + fill(256));
    EXPECT_EQ(device.count(0x06), 2);
    EXPECT_EQ(rig.messages(), std::vector<std::string>{kFimDaGravacao});
}

// An image emptied while the run is under way ends it with a message when its turn comes;
// nothing more goes out, and no time-out follows.
TEST_F(ProgrammingTest, ImageEmptiedDuringTheRunAbandonsIt) {
    writeImage("M.BIN", "abc");
    writeImage("L.BIN", "x");
    rig.serial.onHostWrite = [&, previous = rig.serial.onHostWrite](std::string_view b) {
        if (device.count(0x06) == 1) writeImage("L.BIN", "");
        previous(b);
    };
    runOperation({"Sistema", "M.BIN", 1, "L.BIN", 1, "", 0}, 1);
    EXPECT_EQ(rig.messages(), std::vector<std::string>{"Arquivo vazio: " + built("L.BIN")});
    EXPECT_EQ(rig.dialogs.messages.back().kind, kErro);
    EXPECT_EQ(device.count(0x06), 1);
    EXPECT_EQ(device.frames.back().code, 0x05);  // the L image's set-up, then nothing
    EXPECT_EQ(f().nav.Tela, 0);
    EXPECT_TRUE(f().lbxVisor.enabled());
    EXPECT_FALSE(form().closed());
}

TEST_F(ProgrammingTest, MissingImageClosesTheProgramWithItsPath) {
    writeImage("L.BIN", "x");
    runOperation({"Sistema", "NADA.BIN ", 1, "L.BIN", 1, "", 0}, 2);
    EXPECT_EQ(rig.messages(),
              std::vector<std::string>{"Arquivo não encontrado: " + built("NADA.BIN")});
    EXPECT_TRUE(form().closed());
    EXPECT_EQ(device.count(0x06), 0);
}

}  // namespace
}  // namespace tolvan::test
