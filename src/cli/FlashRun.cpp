#include "cli/FlashRun.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <iostream>

#include "app/Portas.h"
#include "cli/BackupFile.h"
#include "cli/DevicePortRegistry.h"
#include "cli/Events.h"
#include "cli/InstallationRoot.h"
#include "platform/NativePortList.h"
#include "services/CatalogueStore.h"
#include "services/PathResolver.h"

namespace tolvan::cli {

namespace {

std::unique_ptr<PortRegistry> registryFor(const std::string& port,
                                          const std::filesystem::path& root,
                                          const FileAccess& access, SerialDeviceList& devices,
                                          std::function<void(const std::string&)> warn) {
    // A device path, or on Windows a port given whole ("\\.\COM12").
    if (!port.empty() && (port[0] == '/' || port.starts_with("\\\\") || isNetworkAddress(port)))
        return std::make_unique<DevicePortRegistry>(port);
    return nativePortList(root, access, devices, std::move(warn));
}

}  // namespace

FlashRun::FlashRun(const FlashOptions& options, std::string port, const std::filesystem::path& root)
    : options_(options),
      port_(std::move(port)),
      board_{DeviceProgress(port_, 0)},
      view_(makeView(options.json, !port_.empty(), board_)),
      ports_(registryFor(port_, root, *fileAccess_, *devices_,
                         [this](const std::string& text) { reportError(text); })),
      answers_(makeAnswers(options.yes, clock_, options.connectTimeoutS,
                           [this] { view_->interrupt(); })),
      dialogs_([this](const QJsonObject& e) { publish(e); }, *answers_),
      desktop_([this](const std::string& text) { reportError(withoutCorePortName(text)); }),
      sessao_(Services{clock_, timers_, serial_, *ports_, dialogs_, desktop_, catalogues_,
                       *fileAccess_, root, standInExecutable(root)}) {
    started_.start();
    sessao_.setOuvinte(this);
    // Without --trace the port keeps no trace at all.
    sessao_.setTraceFiles(options.trace ? *options.trace + ".TRC" : "",
                          options.trace ? *options.trace + ".LOG" : "");
}

FlashRun::~FlashRun() {
    sessao_.setOuvinte(nullptr);
}

void FlashRun::publish(QJsonObject e) {
    const double now = started_.elapsed() / 1000.0;
    if (!port_.empty()) e["port"] = QString::fromStdString(port_);
    e["t"] = now;
    board_.front().apply(e, now);
    view_->show(e, board_.front(), now);
}

std::string FlashRun::withoutCorePortName(const std::string& text) const {
    // The core names the port it opened by its COMn (a device path is COM1 of a list of its
    // own); each line here already names it as it was given.
    const std::string name = "COM" + std::to_string(comNumber(port_).value_or(1)) + ": ";
    return text.starts_with(name) ? text.substr(name.size()) : text;
}

void FlashRun::reportError(const std::string& text) {
    view_->interrupt();
    std::cerr << "tolvan-flash: " << (port_.empty() ? "" : port_ + ": ") << text << std::endl;
}

// ---- the run ----

int FlashRun::exec() {
    record_ = beginRecord(port_, "", options_.system, options_.operacao);
    const Interruptions interruptions([this](int signal) { interrupted(signal); });
    QTimer::singleShot(0, QCoreApplication::instance(), [this] { start(); });
    QCoreApplication::exec();
    // However the loop ended, the window's model has closed.
    sessao_.fecha();
    // The core always tells how it ended; a loop that ended without is a failure of its own.
    if (!outcome_) outcome_ = Outcome{Desfecho::Falha, "the run ended without an outcome"};
    QJsonObject end = events::end(*outcome_);
    if (advice_) end = events::withAdvice(end, *advice_);
    if (network_) end = events::withNetwork(end, *network_);
    end["device_left"] = nameOf(left_);
    publish(end);
    view_->finish(started_.elapsed() / 1000.0);
    return writeReport() ? exitCodeOf(*outcome_) : kExitBadInput;
}

void FlashRun::interrupted(int signal) {
    signal_ = signal;
    const std::string why = "interrupted by " + Interruptions::nameOf(signal);
    if (!outcome_) reportError(why + ": nothing more is sent; the port is closed");
    // A question or the cable message waiting for the terminal has nothing left to decide.
    answers_->dismiss();
    sessao_.interrompe(why);
}

void FlashRun::step(const std::function<void()>& body) {
    bool done = false;
    sessao_.dispatch([&] {
        body();
        done = true;
    });
    // A failure the core's error boundary had nothing under way to end for: nothing would end
    // the program.
    if (!done && !outcome_ && !sessao_.encerrada())
        sessao_.desiste(Desfecho::Falha, "an unexpected failure (see above)");
}

void FlashRun::start() {
    step([this] {
        if (!sessao_.abre()) return;  // told, and closed
        // The system is looked for before the device is touched.
        if (!sessao_.temSistema(options_.system)) return;  // told, and closed
        if (options_.dryRun) {
            ensaio();
            return;
        }
        if (options_.readTo && !backupFolderFits()) return;
        if (!opensPort()) return;
        sessao_.conecta();
    });
}

bool FlashRun::opensPort() {
    const std::optional<int> numero = comNumber(port_);
    // A device path is COM1 of a port list of its own. One that does not open ends the session,
    // and fim says why.
    portOpened_ = sessao_.abrePorta(numero ? *numero : 1);
    return portOpened_;
}

void FlashRun::ensaio() {
    // The system chosen as after a connection, and the checks its operation makes first.
    if (!sessao_.escolheSistema(options_.system)) return;  // the listener has the ending
    noteImages();
    if (options_.readTo && !backupFolderFits()) return;
    if (!sessao_.confereOperacao(options_.operacao)) return;  // the listener has the ending
    if (!opensPort()) return;
    sessao_.pronto();
}

bool FlashRun::backupFolderFits() {
    namespace fs = std::filesystem;
    const fs::path dir = pathFromUtf8(*options_.readTo);
    std::error_code ec;
    fs::create_directories(dir, ec);
    std::string why;
    if (!fs::is_directory(dir, ec))
        why = "is not a folder and cannot be made one" + (ec ? ": " + ec.message() : "");
    else if (fs::equivalent(dir, sessao_.pastaBin(), ec))
        why = "is the installation's bin: the backup would overwrite the images it reads";
    if (why.empty()) return true;
    reportError("--read-to " + utf8(dir) + " " + why);
    sessao_.desiste(Desfecho::ArquivoInvalido, "--read-to " + utf8(dir) + " " + why);
    return false;
}

void FlashRun::noteImages() {
    record_.system = sessao_.sistema();
    record_.images.clear();
    // A backup's images are the files it writes, described once written.
    for (Imagem imagem : sessao_.imagens()) {
        const std::string nome = sessao_.nomeDa(imagem);
        const std::int64_t setores = sessao_.setoresDa(imagem);
        record_.images.push_back(
            options_.readTo ? ReportImage{events::imageName(imagem), nome, setores, {}, {}}
                            : reportImage(imagem, nome, sessao_.arquivoDa(imagem), setores));
    }
}

void FlashRun::diagnose() {
    const std::optional<std::string> device = sessao_.dispositivo();
    if (!device) return;  // not in the port map: nothing to look at
    if (isNetworkAddress(*device)) {
        // No process here holds it. A failed opening (a refused address too) has been told
        // (portProblem); a port that opened and did not answer is told here.
        const std::optional<NetworkAddress> address = networkPort();
        if (!address) return;
        network_ = NetworkAdvice{*address, serial_.network().lastFailure()};
        if (network_->failure.fault == NetworkFault::None)
            reportError(networkAdviceLine(*network_, *device != port_));
        return;
    }
    advice_ = diagnosePort(*device);
    for (const std::string& line : adviceLines(*advice_))
        reportError(line);
}

bool FlashRun::writeReport() {
    if (!options_.report || port_.empty()) return true;
    setDevice(record_, sessao_.dispositivo().value_or(""));
    record_.deviceLeft = left_;
    const double now = started_.elapsed() / 1000.0;
    endRecord(record_, *outcome_, board_.front().seconds(now), board_.front().bytesPerSecond(now));
    std::string error;
    if (appendReportLine(pathFromUtf8(*options_.report), record_, error)) return true;
    // A unit without its line is untraceable: the run does not count as a success.
    reportError("--report: the line was not written: " + error);
    return false;
}

std::optional<NetworkAddress> FlashRun::networkPort() {
    const std::optional<std::string> device = sessao_.dispositivo();
    if (!device || !isNetworkAddress(*device)) return std::nullopt;
    std::string why;
    return parseNetworkAddress(*device, why);
}

std::string FlashRun::portProblem() {
    const std::optional<std::string> path = sessao_.dispositivo();
    if (!path) return "not in the port map (SerialComm.txt, or else the machine's serial devices)";
    if (isNetworkAddress(*path)) {
        const std::optional<NetworkAddress> address = networkPort();
        // An address the port map holds but that is refused: why, in the parser's words.
        if (!address) return serial_.network().lastFailure().detail;
        // The address is told unless it was given as the port itself.
        return networkAdviceLine({*address, serial_.network().lastFailure()}, *path != port_);
    }
    // The device is named unless it was given as the port itself.
    const std::string device = *path == port_ ? "the device" : *path;
    switch (serial_.probe(*path)) {
        case SerialDriver::Availability::InUse:
            return device + " is held by another program";
        case SerialDriver::Availability::Missing:
            return device +
                   " cannot be opened: missing (the USB adapter unplugged?), not a serial device, "
                   "or not permitted (is the user in the dialout group?)";
        case SerialDriver::Availability::Free:
            break;
    }
    return device + " cannot be opened";
}

void FlashRun::conectado() {
    connected_ = true;
    publish(events::connected());
    // Not from inside the receive handler: from the event loop, as a timer would.
    QTimer::singleShot(0, QCoreApplication::instance(), [this] { afterConnection(); });
}

void FlashRun::afterConnection() {
    step([this] {
        // The core says why and how it ended when the system cannot be chosen.
        if (!sessao_.escolheSistema(options_.system)) return;
        noteImages();
        sessao_.iniciaOperacao(options_.operacao);
    });
}

void FlashRun::imagemIniciada(Modo modo, Imagem imagem, const std::string& arquivo, int setores) {
    // Greeting an image for programming erases it; reading one back after programming means
    // every image was written.
    if (modo == Modo::Gravacao && !options_.readTo) left_ = DeviceLeft::PartlyProgrammed;
    if (modo == Modo::Leitura && left_ == DeviceLeft::PartlyProgrammed)
        left_ = DeviceLeft::Programmed;
    QJsonObject e = events::image(modo, imagem, arquivo, setores);
    if (options_.readTo) e["operation"] = "read";
    publish(e);
}

void FlashRun::imagemLida(Imagem imagem, const std::string& arquivo,
                          const std::vector<std::uint8_t>& bytes) {
    if (outcome_) return;
    const std::filesystem::path file = caminhoNaCopia(pathFromUtf8(*options_.readTo), arquivo);
    std::string error = file.empty() ? "the catalogue's name leads out of the folder" : "";
    std::error_code ec;
    if (!file.empty()) std::filesystem::create_directories(file.parent_path(), ec);
    if (!file.empty() && writeWhole(file, bytes, error)) {
        for (ReportImage& r : record_.images)
            if (r.role == events::imageName(imagem))
                r = reportImage(imagem, r.file, file, r.sectors);
        return;
    }
    reportError("--read-to: " + arquivo + " was not written: " + error);
    sessao_.desiste(Desfecho::ArquivoInvalido, arquivo + " was not written: " + error);
}

void FlashRun::setor(int atual, int total) {
    publish(events::sector(atual, total));
}

void FlashRun::fim(Desfecho desfecho, const std::string& texto) {
    if (outcome_) return;
    outcome_ = Outcome{desfecho, texto, desfecho == Desfecho::Interrompido ? signal_ : 0};
    if (desfecho == Desfecho::Gravado) left_ = DeviceLeft::Programmed;
    if (desfecho == Desfecho::Verificado && left_ == DeviceLeft::Programmed)
        left_ = DeviceLeft::Verified;
    // The core still shows its message (and, after success, tells the device to run): the
    // window closes once control is back in the event loop, whatever the diagnosis below does.
    QTimer::singleShot(0, QCoreApplication::instance(), [this] { sessao_.fecha(); });
    if (desfecho == Desfecho::SemComunicacao && !connected_) diagnose();
    if (desfecho == Desfecho::FalhaDePorta && !portOpened_) {
        // The port given did not open: why, before the core's message.
        reportError(portProblem());
        diagnose();
    } else if (desfecho == Desfecho::FalhaDePorta && networkPort()) {
        diagnose();
        reportError("the port failed under the run: " + portProblem());
    } else if (desfecho == Desfecho::FalhaDePorta) {
        const bool back = sessao_.dispositivo() &&
                          serial_.probe(*sessao_.dispositivo()) == SerialDriver::Availability::Free;
        reportError("the port failed under the run: " +
                    (back ? "the device went away and is back; run again" : portProblem()));
    }
}

// ---- --list ----

int FlashRun::list() {
    bool ok = false;
    sessao_.dispatch([&] { ok = sessao_.abre(); });
    if (!ok) {
        if (!outcome_)
            outcome_ = Outcome{Desfecho::CatalogoInvalido, "an unexpected failure (see above)"};
        if (options_.json) publish(events::end(*outcome_));
        return exitCodeOf(*outcome_);
    }
    for (const CatalogueRow& r : sessao_.sistemas()) {
        if (!options_.json) {
            std::cout << r.descricao << '\n';
            continue;
        }
        const auto text = [](const std::string& s) {
            return QJsonValue(QString::fromStdString(s));
        };
        const auto count = [](std::int64_t n) { return QJsonValue(static_cast<qint64>(n)); };
        const QJsonObject row{{"event", "system"},
                              {catalogo::kDescricao, text(r.descricao)},
                              {catalogo::kArquivo, text(r.arquivo)},
                              {catalogo::kSetor, count(r.setor)},
                              {catalogo::kArquivoL, text(r.arquivoL)},
                              {catalogo::kSetorL, count(r.setorL)},
                              {catalogo::kArquivoL2, text(r.arquivoL2)},
                              {catalogo::kSetorL2, count(r.setorL2)}};
        std::cout << events::toLine(row).toStdString();
    }
    std::cout.flush();
    sessao_.fecha();
    return kExitOk;
}

}  // namespace tolvan::cli
