#include <gtest/gtest.h>

#include "TransferFixture.h"
#include "texts/Mensagem.h"

namespace tolvan::test {
namespace {

const std::string kSemErros = " ARQUIVO VERIFICADO SEM ERROS \r\r O Tolvan Link será executado. ";
const std::string kComErros = " ARQUIVO VERIFICADO COM ERROS ";

class VerificationTest : public TransferTest {
  protected:
    // A system of three images that the device already holds as they are on disk.
    void setUpThreeImages() {
        writeImage("M.BIN", bytes({0xFF, 0x00}) + main);
        writeImage("L.BIN", l);
        writeImage("L2.BIN", l2);
        device.images = {{0, main}, {1, l}, {2, l2}};
    }
    // The address byte of every read sequence, in order.
    std::vector<int> imagesRead() const {
        std::vector<int> out;
        for (const auto& fr : device.frames)
            if (fr.code == 0x07) out.push_back(fr.bytes[3]);
        return out;
    }
    const sim::FakeCatalogueStore::System system{"Sistema", "M.BIN", 2, "L.BIN", 1, "L2.BIN", 1};
    std::string main = pattern(300), l = pattern(40, 2), l2 = pattern(30, 3);
};

TEST_F(VerificationTest, IdenticalImagesEndWithTheMessageAndCmdExecuta) {
    setUpThreeImages();
    int executaBeforeMessage = -1;
    rig.dialogs.onMessage = [&](const MessageDialog&) {
        executaBeforeMessage = device.count(0x0B);
        return kResultOk;
    };
    runOperation(system, 3);

    EXPECT_EQ(imagesRead(), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(device.count(0x01), 3);
    EXPECT_EQ(rig.messages(), std::vector<std::string>{kSemErros});
    EXPECT_EQ(rig.dialogs.messages[0].kind, kInformacao);
    EXPECT_EQ(executaBeforeMessage, 0);
    EXPECT_EQ(device.frames.back().code, 0x0B);
    EXPECT_EQ(f().nav.Tela, 0);
    EXPECT_EQ(f().iLedBar1.position(), 2);  // full bar of the main image
    EXPECT_EQ(f().iLedBar1.positionMax(), 2);
    EXPECT_FALSE(f().run.TimeOut->running());
    // The lists were emptied before L and before L2: only L2's lines remain.
    EXPECT_EQ(f().diagnostico.ListBox1.count(), l2.size());
    EXPECT_EQ(f().diagnostico.ListBox2.count(), 256u);
    EXPECT_EQ(f().diagnostico.ListBox1.line(0).byte, static_cast<std::uint8_t>(l2[0]));
}

// One differing byte ends the run at once; the operation menu stays for another try, and the
// diagnostic lists show where.
TEST_F(VerificationTest, DifferenceInTheMainImageEndsTheRunWithErrors) {
    setUpThreeImages();
    device.images[0][100] ^= 0x55;
    runOperation(system, 3);

    EXPECT_EQ(rig.messages(), std::vector<std::string>{kComErros});
    EXPECT_EQ(imagesRead(), std::vector<int>{0});
    EXPECT_EQ(device.count(0x0B), 0);
    EXPECT_EQ(f().nav.Tela, 2);
    EXPECT_EQ(f().iLedBar1.position(), 0);
    EXPECT_TRUE(f().lbxVisor.enabled());
    EXPECT_EQ(f().lblStatus.caption(), "[Conectado]");

    on([&] { f().diagnostico.Button1Click(); });
    EXPECT_EQ(f().diagnostico.ListBox1.itemIndex(), 100);
    EXPECT_EQ(f().diagnostico.ListBox2.itemIndex(), 100);
    EXPECT_EQ(rig.dialogs.plainMessages, std::vector<std::string>{"Fim"});
}

// Only the bytes both sides have are compared: the fill of the last sector read back, or a file
// longer than the sectors the catalogue names. Parameters: file size, sectors.
class ShorterSideTest : public VerificationTest,
                        public ::testing::WithParamInterface<std::pair<int, int>> {};

TEST_P(ShorterSideTest, BytesBeyondTheShorterSideAreNotCompared) {
    const auto [size, sectors] = GetParam();
    main = pattern(size);
    setUpThreeImages();
    device.images[0].resize(sectors * 256);
    runOperation({"Sistema", "M.BIN", sectors, "L.BIN", 1, "", 0}, 3);
    EXPECT_EQ(rig.messages(), std::vector<std::string>{kSemErros});
}

INSTANTIATE_TEST_SUITE_P(Sizes, ShorterSideTest,
                         ::testing::Values(std::pair{300, 2}, std::pair{600, 1}));

TEST_F(VerificationTest, MainImageOfOnlyLeadingBytesPassesAndTheLImageFollows) {
    writeImage("M.BIN", bytes({0xFF, 0x00, 0xFF}));
    writeImage("L.BIN", l);
    device.images = {{0, "garbage"}, {1, l}};
    runOperation({"Sistema", "M.BIN", 1, "L.BIN", 1, "", 0}, 3);
    EXPECT_EQ(imagesRead(), (std::vector<int>{0, 1}));
    EXPECT_EQ(rig.messages(), std::vector<std::string>{kSemErros});
}

}  // namespace
}  // namespace tolvan::test
