#include <string>

#include "FuzzEntries.h"
#include "Scenario.h"
#include "device/Commands.h"
#include "texts/Mensagem.h"
#include "transfer/Receiver.h"

// The receive handler fed arbitrary byte streams. The device emulator plays the device
// faithfully up to a chosen frame and is silent from it on; from there the input is the
// device's side of the line, and the operator's answers to the message dialogs.
//
// Input: one head byte (and, for the time-out, a second byte), then events. An event is a gap
// byte g (g < 200: g ms, else (g - 200) * 100 ms, up to 5.5 s), a length byte n and n bytes that
// arrive after the gap. Each message dialog shown while the input plays takes one byte: bits 0-1
// the answer (0 default button, 1 the Esc button, 2 the title bar's close box, 3 another
// button), bit 2 set: the next event comes while the dialog is open.
//
// receiver_link head: bit 0 clear: the stream answers the link handshake (the device is silent);
// set: the device connected and the stream comes with no operation under way (bit 3: on the
// operation menu rather than the system list). Bit 1 selector mode, bit 2 the receive log shown.
//
// receiver_transfer head: bits 0-1 where the device falls silent: 0 at the first set-up frame,
// 1 at the first sector read, 2 at the first sector write, 3 at frame number 2 + (second byte
// % 64), after which the time-out comes and the stream plays while its message is open and after
// it. Bits 2-3 the operation (1 programming and verification, 2 programming, 3 verification;
// 0 counts as 1), bit 4 selector mode, bit 5 the receive log shown, bit 6 an L2 image.

namespace tolvan::fuzz {

namespace {

std::int64_t intervalo(std::uint8_t g) {
    return g < 200 ? g : (g - 200) * 100;
}

class Linha {
  public:
    Linha(Scenario& s, FuzzInput& in) : s_(s), in_(in) {
        s_.answer = [this](const MessageDialog& d) { return responde(d); };
    }

    // The input plays from now on.
    void comeca() { tocando_ = true; }
    void tocaTudo() {
        comeca();
        while (!in_.empty() && !s_.closed())
            toca();
    }

  private:
    void toca() {
        const std::uint8_t g = in_.byte();
        const std::string bytes = in_.bytes(in_.byte());
        s_.rig.loop.runFor(intervalo(g));
        s_.rig.serial.deliverNow(bytes);
        s_.rig.loop.runFor(0);
    }

    int responde(const MessageDialog& d) {
        const int padrao = d.defaultCode != 0 ? d.defaultCode : kClosedByTitleBar;
        if (!tocando_) return padrao;
        const std::uint8_t a = in_.byte();
        // Dialogs opened inside dialogs: a few levels deep is enough.
        if ((a & 4) && profundidade_ < 6) {
            ++profundidade_;
            toca();
            --profundidade_;
        }
        switch (a & 3) {
            case 1:
                return d.cancelCode != 0 ? d.cancelCode : kClosedByTitleBar;
            case 2:
                return kClosedByTitleBar;
            case 3:
                for (const MessageDialog::Button& b : d.buttons)
                    if (b.code != d.defaultCode) return b.code;
                return padrao;
            default:
                return padrao;
        }
    }

    Scenario& s_;
    FuzzInput& in_;
    bool tocando_ = false;
    int profundidade_ = 0;
};

const std::string kPrincipal(600, '\x5A');

void instala(Scenario& s, bool seletor, bool registro, bool comL2) {
    s.writeImage("M.BIN", std::string("\x00\xFF", 2) + kPrincipal);
    s.writeImage("L.BIN", std::string(300, '\x3C'));
    if (comL2) s.writeImage("L2.BIN", std::string(100, '\x7E'));
    s.rig.setSystems({{"Outro", "O.BIN", 1, "OL.BIN", 1, "", 0},
                      {"Sistema", "M.BIN", 3, "L.BIN", 2, comL2 ? "L2.BIN" : "", comL2 ? 1 : 0}});
    if (seletor) s.rig.writeFile(kSelectionFile, "x\r\ny\r\nSistema\r\n");
    if (registro) writeBytes(s.rig.root / kDebugFile, "");
}

// After a minute of silence nothing is under way: no transfer timer runs, the panel answers
// again, and selector mode has ended the program.
void confere(Scenario& s, bool seletor) {
    s.settle(60000);
    s.trace();
    expect(s.rig.desktop.errors.empty(),
           "a handler failed: " +
               (s.rig.desktop.errors.empty() ? std::string() : s.rig.desktop.errors[0]));
    if (seletor) {
        expect(s.closed(), "selector mode did not end by itself");
        return;
    }
    if (s.closed()) return;
    Componentes& f = s.f();
    expect(!f.conn.TimerLink->running() && !f.run.TimerCmd->running() &&
               !f.run.TimerRead->running() && !f.run.TimeOut->running(),
           "a timer still runs after a minute of silence");
    expect(f.btnConfirma.enabled(), "the panel stays disabled after a minute of silence");
}

}  // namespace

void fuzzReceiverLink(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const std::uint8_t head = in.byte();
    const bool conectado = head & 1, seletor = head & 2, registro = head & 4;
    emu::DeviceOptions device;
    device.silent = !conectado;
    Scenario s(device);
    Linha linha(s, in);
    instala(s, seletor, registro, false);

    if (seletor) {
        s.rig.start();  // connects, chooses and programs by itself
    } else {
        s.startAndConnect();
        if (conectado) {
            if (!s.awaitList()) throw FuzzFailure("the emulated device did not connect");
            if (head & 8) s.chooseSystem(1);
        }
    }
    linha.tocaTudo();
    confere(s, seletor);
}

void fuzzReceiverTransfer(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const std::uint8_t head = in.byte();
    const int silencio = head & 3;
    int operacao = (head >> 2) & 3;
    if (operacao == 0) operacao = 1;
    const bool seletor = head & 16, registro = head & 32, comL2 = head & 64;

    emu::DeviceOptions device;
    std::uint8_t codigo = 0;
    int numero = 1;
    switch (silencio) {
        case 0:
            codigo = emu::kNome;
            break;
        case 1:
            codigo = emu::kLeSetor;
            if (operacao == 2) operacao = 3;
            break;
        case 2:
            codigo = emu::kGravaSetor;
            if (operacao == 3) operacao = 2;
            break;
        default:
            numero = 2 + in.byte() % 64;
            break;
    }
    device.silentFrom = emu::FrameSelector{};
    if (codigo != 0) device.silentFrom->code = codigo;
    device.silentFrom->number = numero;
    Scenario s(device);
    Linha linha(s, in);
    instala(s, seletor, registro, comL2);

    auto calou = [&] {
        const emu::DeviceModel& m = s.device.model();
        return codigo != 0 ? m.frameCount(codigo) >= 1 : m.frameCount() >= numero;
    };
    if (seletor) {
        s.rig.start();
    } else {
        s.startAndConnect();
        if (!s.awaitList()) throw FuzzFailure("the emulated device did not connect");
        s.chooseSystem(1);
        s.startOperation(operacao);
    }
    if (silencio == 3) {
        // The time-out's message takes the first answer of the input.
        const std::size_t antes = s.rig.dialogs.messages.size();
        linha.comeca();
        s.rig.loop.runUntil([&] { return s.closed() || s.rig.dialogs.messages.size() > antes; },
                            120000);
    } else {
        s.rig.loop.runUntil([&] { return s.closed() || calou(); }, 120000);
    }
    linha.tocaTudo();
    confere(s, seletor);
}

}  // namespace tolvan::fuzz
