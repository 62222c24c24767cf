#include "link/PortOpening.h"

#include <charconv>
#include <fstream>
#include <system_error>

#include "link/PortDialog.h"
#include "link/SerialPort.h"
#include "services/Desfecho.h"
#include "services/Desktop.h"
#include "services/Dialogs.h"
#include "services/FileAccess.h"
#include "services/PathResolver.h"
#include "services/Shell.h"
#include "texts/Mensagem.h"
#include "texts/Trim.h"

namespace tolvan {

namespace {

constexpr int kPortaPadrao = 2;

}  // namespace

int PortOpening::lePortFile() {
    const std::filesystem::path arquivo = files_.resolve(drive_ + kPortFile);
    std::error_code ec;
    if (!std::filesystem::exists(arquivo, ec)) {
        gravaPortFile(kPortaPadrao);
        return kPortaPadrao;
    }
    std::ifstream in(arquivo, std::ios::binary);
    std::string linha;
    if (in && std::getline(in, linha)) {
        const std::string texto = Trim(linha);
        int numero = 0;
        auto [fim, erro] = std::from_chars(texto.data(), texto.data() + texto.size(), numero);
        if (erro == std::errc() && fim == texto.data() + texto.size() && !texto.empty() &&
            numero >= 0 && numero <= 65535) {
            return numero;
        }
    }
    // A port file that cannot be read or holds no port number: start again from port 2.
    desktop_.reportError("Port file " + utf8(arquivo) + " holds no port number; using " +
                         std::to_string(kPortaPadrao));
    gravaPortFile(kPortaPadrao);
    return kPortaPadrao;
}

// Every operator saves his port in the same file, in a folder shared by their group where no one
// may delete another's file (so no one may replace it by a rename either): it is rewritten in
// place, and a write that fails (a full disk) leaves the previous number readable.
void PortOpening::gravaPortFile(int number) {
    const std::filesystem::path arquivo = files_.resolve(drive_ + kPortFile);
    std::error_code ec;
    std::filesystem::create_directories(arquivo.parent_path(), ec);
    const Rewritten gravado = access_.rewriteShared(arquivo, std::to_string(number) + "\r\n");
    if (!gravado.ok)
        desktop_.reportError("Cannot write the port file " + utf8(arquivo) + ": " + gravado.reason);
}

void PortOpening::gravaPortaAtual() {
    gravaPortFile(port_.comNumber());
}

bool PortOpening::abrePorta() {
    try {
        port_.setOpen(false);
        if (NumPorta < 0) return false;  // a port name that gives no number
        port_.setComNumber(NumPorta);
        port_.setOpen(true);
        return true;
    } catch (const std::exception&) {
        // The serial layer's own text is never shown.
        return false;
    }
}

bool PortOpening::portaPronta() {
    if (port_.isOpen() && !port_.lineLost()) return true;
    try {
        port_.setOpen(false);
        port_.setOpen(true);
        return true;
    } catch (const std::exception& e) {
        desktop_.reportError(e.what());
        return false;
    }
}

void PortOpening::escolhePorta(bool gravaArquivo) {
    if (shell_.closed()) return;
    desktop_.setBusyCursor(true);
    PortDialog dialogo(ports_);
    dialogo.Porta = NumPorta;
    dialogs_.showPortDialog(dialogo);
    NumPorta = dialogo.Porta;
    if (gravaArquivo) gravaPortFile(NumPorta);
    desktop_.setBusyCursor(false);
}

void PortOpening::aberturaInicio() {
    abreComEscolha(true);
}

void PortOpening::aberturaTela3() {
    abreComEscolha(false);
}

void PortOpening::abreComEscolha(bool inicio) {
    while (!shell_.closed()) {
        if (abrePorta()) return;
        shell_.Mensagem(MessageId::PortaInvalida, kPortaInvalida, kErro, kBotaoOk);
        if (shell_.Mensagem(MessageId::OutraPorta, "Deseja selecionar outra porta? ", kConfirmacao,
                            kBotoesSimNao) != kResultSim) {
            // At start-up the program closes: there is no port to work on.
            if (inicio)
                shell_.termina({Desfecho::FalhaDePorta, {MessageId::OutraPorta, {}, kErro}});
            return;
        }
        escolhePorta(inicio);
    }
}

void PortOpening::aberturaF6() {
    escolhePorta(true);
    if (shell_.closed()) return;
    if (!abrePorta()) {
        shell_.termina({Desfecho::FalhaDePorta,
                        {MessageId::SelecioneOutraPorta,
                         "Porta de Comunicação Inválida! \r\rSelecione outra porta.", kErro}});
    }
}

}  // namespace tolvan
