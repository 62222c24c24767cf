#include "link/PortOpening.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <fstream>
#include <system_error>

#include "app/FrmTolvanLink.h"
#include "link/PortDialog.h"
#include "texts/Mensagem.h"
#include "texts/Trim.h"

namespace tolvan {

namespace {

constexpr int kPortaPadrao = 2;
constexpr const char* kPortaInvalida = "Porta de Comunicação Inválida! ";

}  // namespace

int PortOpening::lePortFile() {
    const std::filesystem::path arquivo = f_.files.resolve(f_.Drive + kPortFile);
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
    f_.svc.desktop.reportError("Port file " + arquivo.string() + " holds no port number; using " +
                               std::to_string(kPortaPadrao));
    gravaPortFile(kPortaPadrao);
    return kPortaPadrao;
}

// Every operator saves his port in the same file, in a folder shared by their group where no one
// may delete another's file: the file is rewritten in place, keeping its owner and mode, and one
// made here is writable by the group whatever the umask says of it. A link or a pipe that another
// operator put in its place is not written through nor waited on.
void PortOpening::gravaPortFile(int number) {
    const std::filesystem::path arquivo = f_.files.resolve(f_.Drive + kPortFile);
    std::error_code ec;
    std::filesystem::create_directories(arquivo.parent_path(), ec);
    int fd = ::open(arquivo.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0 && errno == ENOENT) {
        fd = ::open(arquivo.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0664);
        struct stat criado;
        if (fd >= 0 && ::fstat(fd, &criado) == 0)
            ::fchmod(fd, (criado.st_mode & 07777) | S_IRGRP | S_IWGRP);
    }
    const std::string texto = std::to_string(number) + "\r\n";
    bool gravado = fd >= 0 && ::ftruncate(fd, 0) == 0 &&
                   ::write(fd, texto.data(), texto.size()) == static_cast<ssize_t>(texto.size());
    if (fd >= 0) gravado = ::close(fd) == 0 && gravado;
    if (!gravado) f_.svc.desktop.reportError("Cannot write the port file " + arquivo.string());
}

bool PortOpening::abrePorta() {
    try {
        f_.ComPort.setOpen(false);
        if (f_.NumPorta < 0) return false;  // a port name that gives no number
        f_.ComPort.setComNumber(f_.NumPorta);
        f_.ComPort.setOpen(true);
        return true;
    } catch (const std::exception&) {
        // The serial layer's own text is never shown.
        return false;
    }
}

void PortOpening::escolhePorta(bool gravaArquivo) {
    if (f_.closed()) return;
    f_.svc.desktop.setBusyCursor(true);
    PortDialog dialogo(f_.svc.ports);
    dialogo.Porta = f_.NumPorta;
    f_.svc.dialogs.showPortDialog(dialogo);
    f_.NumPorta = dialogo.Porta;
    if (gravaArquivo) gravaPortFile(f_.NumPorta);
    f_.svc.desktop.setBusyCursor(false);
}

void PortOpening::aberturaInicio() {
    while (!f_.closed()) {
        if (abrePorta()) return;
        f_.Mensagem(kPortaInvalida, kErro, kBotaoOk);
        if (f_.Mensagem("Deseja selecionar outra porta? ", kConfirmacao, kBotoesSimNao) !=
            kResultSim) {
            f_.Close();
            return;
        }
        escolhePorta(true);
    }
}

void PortOpening::aberturaTela3() {
    while (!f_.closed()) {
        if (abrePorta()) return;
        f_.Mensagem(kPortaInvalida, kErro, kBotaoOk);
        if (f_.Mensagem("Deseja selecionar outra porta? ", kConfirmacao, kBotoesSimNao) !=
            kResultSim) {
            return;
        }
        escolhePorta(false);
    }
}

void PortOpening::aberturaF6() {
    escolhePorta(true);
    if (f_.closed()) return;
    if (!abrePorta()) {
        f_.Mensagem("Porta de Comunicação Inválida! \r\rSelecione outra porta.", kErro, kBotaoOk);
        f_.Close();
    }
}

}  // namespace tolvan
