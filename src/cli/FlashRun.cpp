#include "cli/FlashRun.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <iostream>

#include "cli/DevicePortRegistry.h"
#include "cli/Events.h"
#include "cli/InstallationRoot.h"
#include "link/PortName.h"
#include "link/PortOpening.h"
#include "link/SerialCommRegistry.h"
#include "panel/SystemList.h"
#include "services/CatalogueStore.h"
#include "texts/Mensagem.h"

namespace tolvan::cli {

namespace {

std::unique_ptr<PortRegistry> registryFor(const std::string& port,
                                          const std::filesystem::path& root,
                                          SerialDeviceList& devices,
                                          std::function<void(const std::string&)> warn) {
    if (!port.empty() && port[0] == '/') return std::make_unique<DevicePortRegistry>(port);
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
    sessao_.linha().setTraceFiles(options.trace + ".TRC", options.trace + ".LOG");
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
    QTimer::singleShot(0, QCoreApplication::instance(), [this] { start(); });
    QCoreApplication::exec();
    // However the loop ended, the window's model has closed.
    if (!sessao_.encerrada()) sessao_.encerra();
    if (!outcome_) outcome_ = Outcome{Desfecho::Falha, "the run ended without an outcome"};
    publish(events::end(*outcome_));
    view_->finish(started_.elapsed() / 1000.0);
    return exitCodeOf(outcome_->desfecho);
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
        if (!opensPort()) return;
        sessao_.conecta();
    });
}

bool FlashRun::opensPort() {
    const std::optional<int> numero = comNumber(port_);
    // A device path is COM1 of a port list of its own.
    if (sessao_.abrePorta(numero ? *numero : 1)) return true;
    reportError(portProblem());
    endHere(Desfecho::FalhaDePorta, kPortaInvalida);
    return false;
}

std::optional<std::string> FlashRun::serialDevice() {
    const std::string name = nomeDaPorta(sessao_.numPorta());
    for (const SerialPortEntry& entry : ports_->ports())
        if (entry.name == name) return entry.device;
    return std::nullopt;
}

std::string FlashRun::portProblem() {
    const std::optional<std::string> path = serialDevice();
    if (!path) return "not in the port map (SerialComm.txt, or else the machine's serial devices)";
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
        sessao_.iniciaOperacao(options_.operacao);
    });
}

void FlashRun::imagemIniciada(Modo modo, Imagem imagem, const std::string& arquivo, int setores) {
    publish(events::image(modo, imagem, arquivo, setores));
}

void FlashRun::setor(int atual, int total) {
    publish(events::sector(atual, total));
}

void FlashRun::fim(Desfecho desfecho, const std::string& texto) {
    if (outcome_) return;
    outcome_ = Outcome{desfecho, texto};
    if (desfecho == Desfecho::FalhaDePorta) {
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
        return exitCodeOf(outcome_->desfecho);
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
