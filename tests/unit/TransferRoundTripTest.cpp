#include <gtest/gtest.h>

#include "TransferFixture.h"
#include "sim/SimDevice.h"

namespace tolvan::test {
namespace {

const std::string kSemErros = " ARQUIVO VERIFICADO SEM ERROS \r\r O Tolvan Link será executado. ";

// Programming and verification against the emulated device on a paced line: what is written
// reads back equal, and a flipped byte in the device's answer is found.
class TransferRoundTripTest : public TransferTest {
  protected:
    void run(emu::DeviceOptions options) {
        sim::SimDevice emulated(rig.loop, rig.serial, options);
        writeImage("M.BIN", bytes({0x00, 0xFF}) + pattern(1000));
        writeImage("L.BIN", pattern(300, 2));
        writeImage("L2.BIN", pattern(256, 3));
        runOperation({"Sistema", "M.BIN", 4, "L.BIN", 2, "L2.BIN", 1}, 1);
        main = emulated.store().image(emu::kMainImage);
    }
    std::string main;
};

TEST_F(TransferRoundTripTest, WrittenImagesReadBackEqual) {
    run({});
    EXPECT_EQ(main.substr(0, 1000), pattern(1000));  // the leading 00 FF skipped
    EXPECT_EQ(rig.messages(), std::vector<std::string>{kSemErros});
    EXPECT_EQ(f().Tela, 0);
}

TEST_F(TransferRoundTripTest, FlippedByteIsReported) {
    emu::DeviceOptions options;
    options.corruptions.push_back({emu::kLImage, 290});
    run(options);
    EXPECT_EQ(rig.messages(), std::vector<std::string>{" ARQUIVO VERIFICADO COM ERROS "});
    EXPECT_EQ(f().Tela, 2);
}

}  // namespace
}  // namespace tolvan::test
