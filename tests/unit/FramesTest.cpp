#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "Bytes.h"
#include "link/Frames.h"
#include "link/SerialPort.h"
#include "sim/TestRig.h"

namespace tolvan {
namespace {

using test::bytes;

// A port on the simulated line, without a main window around it.
class FramesTest : public ::testing::Test {
  protected:
    FramesTest() : port(rig.serial, rig.registry, rig.dialogs, rig.loop) {
        port.setComNumber(1);
        port.setOpen(true);
    }

    // What `send` wrote, checking that every byte went out as a write of its own.
    template <typename Send>
    std::string byteByByte(Send send) {
        rig.serial.clearWrites();
        send();
        for (const auto& w : rig.serial.writes())
            EXPECT_EQ(w.bytes.size(), 1u);
        return rig.serial.written();
    }

    sim::TestRig rig;
    SerialPort port;
};

TEST_F(FramesTest, DecimalTextBecomesBytes) {
    EXPECT_EQ(byteByByte([&] { MandaStr(port, "000306"); }), bytes({0, 3, 6}));
    EXPECT_EQ(byteByByte([&] { MandaStr(port, "00150"); }), bytes({0, 0x0F}));
    EXPECT_EQ(byteByByte([&] { MandaStr(port, ""); }), "");
    EXPECT_EQ(byteByByte([&] { MandaStr2(port, std::string("00 06 03 ") + "00 32 00"); }),
              bytes({0, 6, 3, 0, 0x20, 0}));
    EXPECT_EQ(byteByByte([&] { MandaStr2(port, "1 2 "); }), bytes({1, 2}));
    // Empty tokens send nothing; a number above 255 sends its low eight bits.
    EXPECT_EQ(byteByByte([&] { MandaStr2(port, " 7  300"); }), bytes({7, 0x2C}));
    EXPECT_EQ(byteByByte([&] { MandaStr2(port, ""); }), "");
    EXPECT_THROW(MandaStr2(port, "00 x1"), std::invalid_argument);
}

TEST_F(FramesTest, CommandFrames) {
    rig.serial.clearWrites();
    CmdLink(port);
    CmdLeSetor(port);
    CmdExecuta(port);
    ASSERT_EQ(rig.serial.writes().size(), 3u);  // the fixed frames go out whole
    EXPECT_EQ(rig.serial.written(), bytes({0, 5, 1, 0x55, 0xAA, 0, 3, 9, 0, 3, 0x0B}));

    EXPECT_EQ(byteByByte([&] {
                  CmdEndereco1(port, "00 32 00");
                  CmdEndereco2Gravacao(port, "01 00 00");
                  CmdEndereco2Leitura(port, "02 00 00");
              }),
              bytes({0, 6, 3, 0, 0x20, 0, 0, 6, 4, 1, 0, 0, 0, 6, 7, 2, 0, 0}));

    // Counts above 255 go as 01 and the count minus 255.
    for (const auto& [count, tail] : {std::pair{40, bytes({0, 0x28})},
                                      {255, bytes({0, 0xFF})},
                                      {256, bytes({1, 1})},
                                      {300, bytes({1, 0x2D})},
                                      {510, bytes({1, 0xFF})}}) {
        const int n = count;
        EXPECT_EQ(byteByByte([&] { CmdSetoresLeitura(port, n); }), bytes({0, 5, 8}) + tail) << n;
    }
    EXPECT_EQ(byteByByte([&] { CmdSetoresGravacao(port, 300); }), bytes({0, 5, 5, 1, 0x2D}));
}

TEST_F(FramesTest, NameFrameHoldsThirteenNameBytesOneBytePerCharacter) {
    const std::string head = bytes({0, 0x0F, 2});
    auto nome = [&](const std::string& name) { return byteByByte([&] { CmdNome(port, name); }); };
    EXPECT_EQ(nome("SIS01.BIN"), head + "SIS01.BIN" + std::string(4, '\0'));
    EXPECT_EQ(nome(" \tX\r\n"), head + "X" + std::string(12, '\0'));
    EXPECT_EQ(nome("ABCDEFGH.BIN"), head + "ABCDEFGH.BIN" + std::string(1, '\0'));
    EXPECT_EQ(nome("ABCDEFGHI.BIN"), head + "ABCDEFGHI.BIN");
    EXPECT_EQ(nome("ABCDEFGHIJ.BIN"), head + "ABCDEFGHIJ.BIN");  // longer: whole, no fill
    // Codes outside 10 to 99 and above 127 (Windows-1252 Ç Ã); Ω has no code and goes as '?'.
    EXPECT_EQ(nome("sis~.bin"), head + "sis~.bin" + std::string(5, '\0'));
    EXPECT_EQ(nome("AÇÃOΩ.BIN"),
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
