#include <gtest/gtest.h>

#include "TransferFixture.h"
#include "sim/SimDevice.h"

namespace tolvan::test {
namespace {

const std::string kSemErros = " ARQUIVO VERIFICADO SEM ERROS \r\r O Tolvan Link será executado. ";
const std::string kComErros = " ARQUIVO VERIFICADO COM ERROS ";
const std::string kSemComunicacao = "Não houve comunicação. \rO processo será abandonado! ";

// Programming and verification against the emulated device on a paced line (19200 baud, the
// answers in 16-byte chunks): what is written reads back equal, and a flipped byte in the
// device's answer is found wherever it lies, also in the last chunk of an image's last sector.
class TransferRoundTripTest : public TransferTest {
  protected:
    // Main image: 00 FF, then `mainBytes` bytes; L image of 300 bytes; L2 image of 256.
    void run(emu::DeviceOptions options, std::size_t mainBytes = 1000) {
        sim::SimDevice emulated(rig.loop, rig.serial, options);
        writeImage("M.BIN", bytes({0x00, 0xFF}) + pattern(mainBytes));
        writeImage("L.BIN", pattern(300, 2));
        writeImage("L2.BIN", pattern(256, 3));
        const int mainSectors = static_cast<int>((mainBytes + 255) / 256);
        runOperation({"Sistema", "M.BIN", mainSectors, "L.BIN", 2, "L2.BIN", 1}, 1);
        main = emulated.store().image(emu::kMainImage);
    }
    std::string main;
};

TEST_F(TransferRoundTripTest, WrittenImagesReadBackEqual) {
    RunRecorder heard(rig.sessao());
    run({});
    EXPECT_EQ(main.substr(0, 1000), pattern(1000));  // the leading 00 FF skipped
    EXPECT_EQ(rig.messages(), std::vector<std::string>{kSemErros});
    EXPECT_EQ(f().nav.Tela, 0);
    // What a front end without a window hears of the same run.
    EXPECT_EQ(heard.events,
              (std::vector<std::string>{"connected", "G0 M.BIN 4", "2/4", "3/4", "4/4",
                                        "G1 L.BIN 2", "2/2", "G2 L2.BIN 1", "L0 M.BIN 4", "2/4",
                                        "3/4", "4/4", "L1 L.BIN 2", "2/2", "L2 L2.BIN 1"}));
    EXPECT_EQ(heard.desfechos, std::vector<Desfecho>{Desfecho::Verificado});
}

// A sector answer that stays short of its 256 data bytes, in any image and at any place: the
// bytes it lacks were never compared, so the run cannot pass. Every image is of one repeated
// byte, as the erased stretches of a real image are, so that a shifted read-back would compare
// equal. One to five bytes short: the sector passes the completion threshold, has its pause, and
// the run ends with errors; six short leaves it at 250 bytes, incomplete, until the time-out.
enum class Lugar { Primeiro, Meio, Ultimo, Unico };
struct Curto {
    emu::Address image;
    Lugar lugar;
    int faltam;  // data bytes the answer lacks
};
void PrintTo(const Curto& c, std::ostream* os) {
    *os << "image " << std::hex << c.image << std::dec << " place " << static_cast<int>(c.lugar)
        << " short by " << c.faltam;
}
class ShortSectorTest : public TransferRoundTripTest,
                        public ::testing::WithParamInterface<Curto> {};

TEST_P(ShortSectorTest, IsNeverVerified) {
    const Curto& c = GetParam();
    const int setores = c.lugar == Lugar::Unico ? 1 : 3;
    const std::size_t sector = c.lugar == Lugar::Primeiro ? 1
                               : c.lugar == Lugar::Meio   ? 2
                                                          : setores;
    emu::DeviceOptions options;
    options.truncations.push_back({c.image, sector, static_cast<std::size_t>(259 - c.faltam)});
    sim::SimDevice emulated(rig.loop, rig.serial, options);
    const std::string image(std::size_t(setores) * 256, 'Z');
    writeImage("M.BIN", image);
    writeImage("L.BIN", image);
    writeImage("L2.BIN", image);
    RunRecorder heard(rig.sessao());
    runOperation({"Sistema", "M.BIN", setores, "L.BIN", setores, "L2.BIN", setores}, 1);
    const bool completa = c.faltam < 6;
    EXPECT_EQ(rig.messages(), std::vector<std::string>{completa ? kComErros : kSemComunicacao});
    EXPECT_EQ(heard.desfechos,
              std::vector<Desfecho>{completa ? Desfecho::ComErros : Desfecho::SemComunicacao});
}

std::vector<Curto> curtos() {
    std::vector<Curto> out;
    for (emu::Address image : {emu::kMainImage, emu::kLImage, emu::kL2Image})
        for (Lugar lugar : {Lugar::Primeiro, Lugar::Meio, Lugar::Ultimo, Lugar::Unico})
            for (int faltam : {1, 3, 6})
                out.push_back({image, lugar, faltam});
    return out;
}
INSTANTIATE_TEST_SUITE_P(ReadBack, ShortSectorTest, ::testing::ValuesIn(curtos()));

// A byte flipped in the read-back: inside a sector, and at the very end of a full last sector,
// whose last chunk arrives after the sector already looks complete.
struct Flip {
    emu::Address image;
    std::size_t index;
};
void PrintTo(const Flip& f, std::ostream* os) {
    *os << "image " << std::hex << f.image << " byte " << std::dec << f.index;
}
class FlippedByteTest : public TransferRoundTripTest, public ::testing::WithParamInterface<Flip> {};

TEST_P(FlippedByteTest, IsReported) {
    emu::DeviceOptions options;
    options.corruptions.push_back({GetParam().image, GetParam().index});
    RunRecorder heard(rig.sessao());
    run(options, 512);
    EXPECT_EQ(rig.messages(), std::vector<std::string>{kComErros});
    EXPECT_EQ(f().nav.Tela, 2);
    EXPECT_EQ(heard.desfechos, std::vector<Desfecho>{Desfecho::ComErros});
}

INSTANTIATE_TEST_SUITE_P(ReadBack, FlippedByteTest,
                         ::testing::Values(Flip{emu::kLImage, 290}, Flip{emu::kMainImage, 509},
                                           Flip{emu::kMainImage, 511}, Flip{emu::kL2Image, 255}));

}  // namespace
}  // namespace tolvan::test
