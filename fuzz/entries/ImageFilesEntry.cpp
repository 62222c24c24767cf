#include <string>

#include "FuzzEntries.h"
#include "ImageCheck.h"
#include "Scenario.h"

namespace tolvan::fuzz {

namespace {

const std::string kSemErros = " ARQUIVO VERIFICADO SEM ERROS \r\r O Tolvan Link será executado. ";

std::string semInicioIgnorado(const std::string& bytes) {
    const std::size_t start = bytes.find_first_not_of(std::string("\x00\xFF", 2));
    return start == std::string::npos ? std::string() : bytes.substr(start);
}

int setoresDe(std::size_t bytes) {
    return static_cast<int>(catalogue::sectorsFor(static_cast<std::int64_t>(bytes)));
}

}  // namespace

// The image files as the program reads them: AbreArq and GravaArq send them sector by sector
// to the emulated device, LeArqBin reads them whole for the comparison with what the device
// gives back.
//
// Input: byte 0 the operation (bits 0-1: 1 programming and verification, 2 programming,
// 3 verification; 0 counts as 1), bit 2 an L2 image, bit 3 sector counts off by one; bytes 1-2
// the main image's length (big-endian); then the main image, and the rest splits evenly between
// the L and L2 images.
void fuzzImageFiles(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const std::uint8_t flags = in.byte();
    const int operacao = (flags & 3) == 0 ? 1 : flags & 3;
    const bool comL2 = (flags & 4) != 0;
    const int desvio = (flags & 8) ? 1 : 0;
    std::size_t tamanho = static_cast<std::size_t>(in.byte()) << 8;
    tamanho |= in.byte();
    const std::string principal = in.bytes(tamanho);
    std::string resto = in.rest();
    const std::string imagemL = comL2 ? resto.substr(0, resto.size() / 2) : resto;
    const std::string imagemL2 = comL2 ? resto.substr(resto.size() / 2) : std::string();

    Scenario s;
    s.writeImage("M.BIN", principal);
    s.writeImage("L.BIN", imagemL);
    if (comL2) s.writeImage("L2.BIN", imagemL2);
    const std::string mantidos = semInicioIgnorado(principal);
    s.rig.setSystems({{"Sistema", "M.BIN", setoresDe(mantidos.size()) + desvio, "L.BIN",
                       setoresDe(imagemL.size()) + desvio, comL2 ? "L2.BIN" : "",
                       comL2 ? setoresDe(imagemL2.size()) + desvio : 0}});
    if (operacao == 3) {
        // Verification alone: the device already holds the images.
        s.device.store().setImage(emu::kMainImage, emu::asProgrammed(principal, true));
        s.device.store().setImage(emu::kLImage, emu::asProgrammed(imagemL, false));
        s.device.store().setImage(emu::kL2Image, emu::asProgrammed(imagemL2, false));
    }

    s.startAndConnect();
    if (!s.awaitList()) throw FuzzFailure("the emulated device did not connect");
    s.chooseSystem(0);
    expect(s.f().nav.Tela == 2, "the system was not chosen");
    s.startOperation(operacao);
    s.settle(3'600'000);
    s.trace();

    // Whatever the files held, the run has ended and the panel answers again.
    expect(!s.closed(), "the program closed");
    expect(s.f().btnConfirma.enabled(), "the panel stays disabled after the run");
    expect(!s.f().run.TimerCmd->running() && !s.f().run.TimerRead->running() &&
               !s.f().run.TimeOut->running(),
           "a transfer timer still runs after the run");
    expect(!s.rig.messages().empty(), "the run ended without a message");
    expect(s.rig.desktop.errors.empty(),
           "a handler failed: " +
               (s.rig.desktop.errors.empty() ? std::string() : s.rig.desktop.errors[0]));

    // Images with bytes to send, sector counts that match them and a faithful device: the
    // comparison finds no difference.
    const bool todasTemBytes =
        !mantidos.empty() && !imagemL.empty() && (!comL2 || !imagemL2.empty());
    if (operacao != 2 && desvio == 0 && todasTemBytes)
        expect(s.rig.messages().back() == kSemErros,
               "verification against a faithful device ended with: " + s.rig.messages().back());
}

}  // namespace tolvan::fuzz
