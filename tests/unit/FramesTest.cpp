#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "link/Frames.h"
#include "link/SerialPort.h"
#include "sim/TestRig.h"

namespace tolvan {
namespace {

std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values)
        out += static_cast<char>(v);
    return out;
}

// A port on the simulated line, without a main window around it.
class FramesTest : public ::testing::Test {
  protected:
    FramesTest() : port(rig.serial, rig.registry, rig.dialogs, rig.loop) {
        port.setComNumber(1);
        port.setOpen(true);
        rig.serial.clearWrites();
    }

    // Every byte of a composed frame goes out as a write of its own.
    std::string sentOneByteAtATime() const {
        for (const auto& w : rig.serial.writes())
            EXPECT_EQ(w.bytes.size(), 1u);
        return rig.serial.written();
    }

    sim::TestRig rig;
    SerialPort port;
};

TEST_F(FramesTest, DigitPairsAreDecimalAndAnOddLastDigitIsDropped) {
    MandaStr(port, "000306");
    EXPECT_EQ(sentOneByteAtATime(), bytes({0x00, 0x03, 0x06}));
    rig.serial.clearWrites();
    MandaStr(port, "00150");
    EXPECT_EQ(sentOneByteAtATime(), bytes({0x00, 0x0F}));
    rig.serial.clearWrites();
    MandaStr(port, "");
    MandaStr2(port, "");
    EXPECT_TRUE(rig.serial.writes().empty());
}

TEST_F(FramesTest, NumberListsSkipEmptyTokensAndKeepTheLowEightBits) {
    MandaStr2(port, std::string("00 06 03 ") + "00 32 00");
    EXPECT_EQ(sentOneByteAtATime(), bytes({0x00, 0x06, 0x03, 0x00, 0x20, 0x00}));
    rig.serial.clearWrites();
    MandaStr2(port, "1 2 ");
    EXPECT_EQ(sentOneByteAtATime(), bytes({0x01, 0x02}));
    rig.serial.clearWrites();
    MandaStr2(port, " 7  300   255");
    EXPECT_EQ(sentOneByteAtATime(), bytes({0x07, 0x2C, 0xFF}));
}

TEST_F(FramesTest, TextThatIsNoNumberIsAConversionFailure) {
    EXPECT_THROW(MandaStr2(port, "00 x1"), std::invalid_argument);
    EXPECT_THROW(MandaStr(port, "0a"), std::invalid_argument);
}

TEST_F(FramesTest, FixedFramesGoOutAsOneWriteEach) {
    CmdLink(port);
    CmdLeSetor(port);
    CmdExecuta(port);
    const auto& w = rig.serial.writes();
    ASSERT_EQ(w.size(), 3u);
    EXPECT_EQ(w[0].bytes, bytes({0x00, 0x05, 0x01, 0x55, 0xAA}));
    EXPECT_EQ(w[1].bytes, bytes({0x00, 0x03, 0x09}));
    EXPECT_EQ(w[2].bytes, bytes({0x00, 0x03, 0x0B}));
}

TEST_F(FramesTest, AddressFramesCarryTheTriples) {
    CmdEndereco1(port, "00 32 00");
    CmdEndereco2Gravacao(port, "01 00 00");
    CmdEndereco2Leitura(port, "02 00 00");
    EXPECT_EQ(sentOneByteAtATime(),
              bytes({0, 6, 3, 0, 0x20, 0, 0, 6, 4, 1, 0, 0, 0, 6, 7, 2, 0, 0}));
}

TEST_F(FramesTest, SectorCountsAbove255AreSentAsCountMinus255) {
    struct Case {
        int n;
        std::string tail;
    };
    for (const Case& c : {Case{40, bytes({0x00, 0x28})}, Case{255, bytes({0x00, 0xFF})},
                          Case{256, bytes({0x01, 0x01})}, Case{300, bytes({0x01, 0x2D})},
                          Case{510, bytes({0x01, 0xFF})}}) {
        rig.serial.clearWrites();
        CmdSetoresLeitura(port, c.n);
        EXPECT_EQ(sentOneByteAtATime(), bytes({0x00, 0x05, 0x08}) + c.tail) << c.n;
    }
    rig.serial.clearWrites();
    CmdSetoresGravacao(port, 300);
    EXPECT_EQ(sentOneByteAtATime(), bytes({0x00, 0x05, 0x05, 0x01, 0x2D}));
}

TEST_F(FramesTest, NameFrameHoldsThirteenNameBytes) {
    auto nome = [&](const std::string& name) {
        rig.serial.clearWrites();
        CmdNome(port, name);
        return sentOneByteAtATime();
    };
    const std::string head = bytes({0x00, 0x0F, 0x02});
    EXPECT_EQ(nome("SIS01.BIN"), head + "SIS01.BIN" + std::string(4, '\0'));
    EXPECT_EQ(nome("X"), head + "X" + std::string(12, '\0'));
    EXPECT_EQ(nome("ABCDEFGH.BIN"), head + "ABCDEFGH.BIN" + std::string(1, '\0'));
    EXPECT_EQ(nome("ABCDEFGHI.BIN"), head + "ABCDEFGHI.BIN");
    // A longer name goes whole, uncut and without fill.
    EXPECT_EQ(nome("ABCDEFGHIJ.BIN"), head + "ABCDEFGHIJ.BIN");
    // Blanks and control characters around the name are not part of it.
    EXPECT_EQ(nome(" \tSIS01.BIN \r\n"), head + "SIS01.BIN" + std::string(4, '\0'));
}

TEST_F(FramesTest, NameCharactersOutsideTwoDigitCodesStillGoOneBytePerCharacter) {
    const std::string head = bytes({0x00, 0x0F, 0x02});
    CmdNome(port, "sis~.bin");
    EXPECT_EQ(sentOneByteAtATime(), head + "sis~.bin" + std::string(5, '\0'));
    rig.serial.clearWrites();
    // Ç and Ã in the device's code page (C7, C3); Ω has no code there and goes as '?'.
    CmdNome(port, "AÇÃOΩ.BIN");
    EXPECT_EQ(sentOneByteAtATime(),
              head + "A" + bytes({0xC7, 0xC3}) + "O?.BIN" + std::string(4, '\0'));
}

TEST(ByteHexTest, TwoUpperCaseDigits) {
    EXPECT_EQ(ByteHex(0), "00");
    EXPECT_EQ(ByteHex(10), "0A");
    EXPECT_EQ(ByteHex(171), "AB");
    EXPECT_EQ(ByteHex(255), "FF");
}

}  // namespace
}  // namespace tolvan
