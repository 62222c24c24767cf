#include "cli/FlashRun.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <iostream>

#include "cli/BackupFile.h"
#include "cli/DevicePortRegistry.h"
#include "cli/Events.h"
#include "cli/InstallationRoot.h"
#include "link/PortName.h"
#include "link/PortOpening.h"
#include "link/SerialCommRegistry.h"
#include "panel/SystemList.h"
#include "services/CatalogueStore.h"
#include "texts/Mensagem.h"
#include "texts/Trim.h"

namespace tolvan::cli {

namespace {

std::unique_ptr<PortRegistry> registryFor(const std::string& port,
                                          const std::filesystem::path& root,
                                          SerialDeviceList& devices,
                                          std::function<void(const std::string&)> warn) {
    if (!port.empty() && (port[0] == '/' || isNetworkAddress(port)))
        return std::make_unique<DevicePortRegistry>(port);
    return std::make_unique<SerialCommRegistry>(PathResolver(root), devices, std::move(warn));
}

}  // namespace

FlashRun::FlashRun(const FlashOptions& options, std::string port, const std::filesystem::path& root)
    : options_(options),
      port_(std::move(port)),
      board_{DeviceProgress(port_, 0)},
      view_(makeView(options.json, !port_.empty(), board_)),
      ports_(registryFor(port_, root, devices_,
                         [this](const std::string& text) { reportError(text); })),
      answers_(makeAnswers(options.yes, clock_, options.connectTimeoutS,
                           [this] { view_->interrupt(); })),
      dialogs_([this](const QJsonObject& e) { publish(e); }, *answers_),
      desktop_([this](const std::string& text) { reportError(text); }),
      sessao_(Services{clock_, timers_, serial_, *ports_, dialogs_, desktop_, catalogues_, root,
                       standInExecutable(root)}) {
    started_.start();
    sessao_.setOuvinte(this);
    // Without --trace the port keeps no trace at all.
    sessao_.linha().setTraceFiles(options.trace ? *options.trace + ".TRC" : "",
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

void FlashRun::reportError(const std::string& text) {
    view_->interrupt();
    std::cerr << "tolvan-flash: " << (port_.empty() ? "" : port_ + ": ") << text << std::endl;
}

// ---- the run ----

int FlashRun::exec() {
    record_ = beginRecord(port_, "", options_.system, options_.operacao);
    QTimer::singleShot(0, QCoreApplication::instance(), [this] { start(); });
    QCoreApplication::exec();
    // However the loop ended, the window's model has closed.
    if (!sessao_.encerrada()) sessao_.encerra();
    if (!outcome_) outcome_ = Outcome{Desfecho::Falha, "the run ended without an outcome"};
    QJsonObject end = events::end(*outcome_);
    if (advice_) end = events::withAdvice(end, *advice_);
    if (network_) end = events::withNetwork(end, *network_);
    publish(end);
    view_->finish(started_.elapsed() / 1000.0);
    return writeReport() ? exitCodeOf(*outcome_) : kExitBadInput;
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
        endHere(Desfecho::Falha, "", "an unexpected failure (see above)");
}

void FlashRun::start() {
    step([this] {
        if (!sessao_.abre()) return;  // told, and closed
        // The system is looked for before the device is touched.
        if (!sessao_.temSistema(options_.system)) {
            endHere(Desfecho::SistemaInexistente, kMsgMontadoraInexistente);
            return;
        }
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
    // A device path is COM1 of a port list of its own.
    if (sessao_.abrePorta(numero ? *numero : 1)) return true;
    reportError(portProblem());
    diagnose();
    endHere(Desfecho::FalhaDePorta, kPortaInvalida);
    return false;
}

void FlashRun::ensaio() {
    // The system chosen as after a connection, and the checks its operation makes first.
    if (!sessao_.escolheSistema(options_.system)) {
        endHere(Desfecho::CatalogoInvalido, "", "the system could not be chosen");
        return;
    }
    noteImages();
    if (options_.readTo && !backupFolderFits()) return;
    if (!sessao_.confereOperacao(options_.operacao)) return;  // the listener has the ending
    if (!opensPort()) return;
    outcome_ = Outcome{Desfecho::Falha, "", true};
    sessao_.encerra();
}

bool FlashRun::backupFolderFits() {
    namespace fs = std::filesystem;
    const fs::path dir = *options_.readTo;
    std::error_code ec;
    fs::create_directories(dir, ec);
    std::string why;
    if (!fs::is_directory(dir, ec))
        why = "is not a folder and cannot be made one" + (ec ? ": " + ec.message() : "");
    else if (fs::equivalent(dir, sessao_.pastaBin(), ec))
        why = "is the installation's bin: the backup would overwrite the images it reads";
    if (why.empty()) return true;
    reportError("--read-to " + dir.string() + " " + why);
    endHere(Desfecho::ArquivoInvalido, "", "--read-to " + dir.string() + " " + why);
    return false;
}

void FlashRun::noteImages() {
    record_.system = Trim(sessao_.catalogo().asString(catalogo::kDescricao));
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
    const std::optional<std::string> device = serialDevice();
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
    setDevice(record_, serialDevice().value_or(""));
    const double now = started_.elapsed() / 1000.0;
    endRecord(record_, *outcome_, board_.front().seconds(now), board_.front().bytesPerSecond(now));
    std::string error;
    if (appendReportLine(*options_.report, record_, error)) return true;
    // A unit without its line is untraceable: the run does not count as a success.
    reportError("--report: the line was not written: " + error);
    return false;
}

std::optional<std::string> FlashRun::serialDevice() {
    const std::string name = nomeDaPorta(sessao_.numPorta());
    for (const SerialPortEntry& entry : ports_->ports())
        if (entry.name == name) return entry.device;
    return std::nullopt;
}

std::optional<NetworkAddress> FlashRun::networkPort() {
    const std::optional<std::string> device = serialDevice();
    if (!device || !isNetworkAddress(*device)) return std::nullopt;
    std::string why;
    return parseNetworkAddress(*device, why);
}

std::string FlashRun::portProblem() {
    const std::optional<std::string> path = serialDevice();
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
        if (!sessao_.escolheSistema(options_.system)) {
            // The core has said why and how it ended.
            endHere(Desfecho::CatalogoInvalido, "", "the system could not be chosen");
            return;
        }
        noteImages();
        sessao_.iniciaOperacao(options_.operacao);
    });
}

void FlashRun::imagemIniciada(Modo modo, Imagem imagem, const std::string& arquivo, int setores) {
    QJsonObject e = events::image(modo, imagem, arquivo, setores);
    if (options_.readTo) e["operation"] = "read";
    publish(e);
}

void FlashRun::imagemLida(Imagem imagem, const std::string& arquivo,
                          const std::vector<std::uint8_t>& bytes) {
    if (outcome_) return;
    const std::filesystem::path file = backupPath(*options_.readTo, arquivo);
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
    fim(Desfecho::ArquivoInvalido, arquivo + " was not written: " + error);
}

void FlashRun::setor(int atual, int total) {
    publish(events::sector(atual, total));
}

void FlashRun::fim(Desfecho desfecho, const std::string& texto) {
    if (outcome_) return;
    outcome_ = Outcome{desfecho, texto};
    if (desfecho == Desfecho::SemComunicacao && !connected_) diagnose();
    if (desfecho == Desfecho::FalhaDePorta && networkPort()) {
        diagnose();
        reportError("the port failed under the run: " + portProblem());
    } else if (desfecho == Desfecho::FalhaDePorta) {
        const bool back =
            serialDevice() && serial_.probe(*serialDevice()) == SerialDriver::Availability::Free;
        reportError("the port failed under the run: " +
                    (back ? "the device went away and is back; run again" : portProblem()));
    }
    // The core still shows its message (and, after success, tells the device to run): the
    // window closes once control is back in the event loop.
    QTimer::singleShot(0, QCoreApplication::instance(),
                       [this] { sessao_.dispatch([this] { sessao_.encerra(); }); });
}

void FlashRun::endHere(Desfecho desfecho, const std::string& texto, const std::string& detail) {
    if (!outcome_) outcome_ = Outcome{desfecho, texto.empty() ? detail : texto};
    sessao_.encerra(texto);
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
    CatalogueQuery& q = sessao_.catalogo();
    for (q.First(); !q.Eof(); q.Next()) {
        if (!options_.json) {
            std::cout << q.asString(catalogo::kDescricao) << '\n';
            continue;
        }
        QJsonObject row{{"event", "system"}};
        for (const char* column : catalogo::kColunas) {
            const bool contagem = std::string_view(column).starts_with(catalogo::kSetor);
            row[column] = contagem ? QJsonValue(static_cast<qint64>(q.asInteger(column)))
                                   : QJsonValue(QString::fromStdString(q.asString(column)));
        }
        std::cout << events::toLine(row).toStdString();
    }
    std::cout.flush();
    sessao_.encerra();
    return kExitOk;
}

}  // namespace tolvan::cli
