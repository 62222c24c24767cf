#include "cli/Bench.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <iostream>

#include "app/Sessao.h"
#include "cli/Answers.h"
#include "cli/BenchChild.h"
#include "cli/Console.h"
#include "cli/Events.h"
#include "cli/ExitCodes.h"
#include "platform/Interruptions.h"
#include "services/PathResolver.h"

namespace tolvan::cli {

namespace {

// How long the children of an interrupted bench have to end their runs.
constexpr int kInterruptedWaitMs = 10000;

std::string format(const char* pattern, auto... values) {
    char text[512];
    std::snprintf(text, sizeof text, pattern, values...);
    return text;
}

}  // namespace

Bench::Bench(const FlashOptions& options, const std::filesystem::path& root, QString program)
    : options_(options), root_(root), program_(std::move(program)), cable_(mensagemDoCabo(root)) {
    clock_.start();
    for (const std::string& port : options.ports)
        board_.emplace_back(port, 0);
    view_ = makeView(options.json, true, board_);
    children_.resize(board_.size());
}

Bench::~Bench() {
    for (Child& c : children_) {
        if (c.process && c.process->state() != QProcess::NotRunning) {
            Interruptions::passOn(c.process->processId(), Interruptions::kTerminate);
            c.process->waitForFinished(3000);
        }
    }
}

int Bench::exec() {
    // Ctrl-C at the cable message has nothing to end yet.
    askForCable();
    const Interruptions interruptions([this](int signal) { interrupted(signal); });
    for (std::size_t i = 0; i < children_.size(); ++i)
        start(i);
    QCoreApplication::exec();
    view_->finish(now());
    printSummary();
    if (signal_ != 0) return Interruptions::exitStatusFor(signal_);
    for (const Child& c : children_)
        if (c.exitCode != kExitOk) return kExitBenchFailed;
    return kExitOk;
}

void Bench::askForCable() {
    if (options_.yes || !inputIsTerminal()) return;
    const MessageDialog& d = cable_;
    std::cerr << d.title.value_or("") << ": " << terminalText(d.text) << "\n"
              << "(for all " << board_.size() << " devices) " << okPrompt(d) << std::flush;
    std::string line;
    std::getline(std::cin, line);
    cableShown_ = true;
}

void Bench::start(std::size_t i) {
    Child& c = children_[i];
    c.process = std::make_unique<QProcess>();
    QProcess& p = *c.process;
    QStringList args;
    for (const std::string& a : childArguments(options_, board_[i].port(), utf8(root_)))
        args << QString::fromStdString(a);
    board_[i].begin(now());
    p.setProgram(program_);
    p.setArguments(args);
    p.setStandardInputFile(QProcess::nullDevice());
    makeBenchChild(p);
    QObject::connect(&p, &QProcess::readyReadStandardOutput, [this, i] { readOutput(i); });
    QObject::connect(&p, &QProcess::readyReadStandardError, [this, i] { readErrors(i); });
    QObject::connect(&p, &QProcess::finished, [this, i](int code, QProcess::ExitStatus status) {
        finished(i, code, status);
    });
    // A child that cannot be started never finishes.
    QObject::connect(&p, &QProcess::errorOccurred, [this, i](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) finished(i, -1, QProcess::CrashExit);
    });
    p.start();
}

void Bench::readOutput(std::size_t i) {
    Child& c = children_[i];
    c.out += c.process->readAllStandardOutput();
    for (qsizetype end; (end = c.out.indexOf('\n')) >= 0;) {
        const QByteArray line = c.out.left(end);
        c.out.remove(0, end + 1);
        if (const std::optional<QJsonObject> e = events::fromLine(line)) {
            event(i, *e);
        } else if (!line.trimmed().isEmpty()) {
            view_->interrupt();
            std::cerr << board_[i].port() << ": " << line.toStdString() << std::endl;
        }
    }
}

void Bench::readErrors(std::size_t i) {
    Child& c = children_[i];
    c.err += c.process->readAllStandardError();
    for (qsizetype end; (end = c.err.indexOf('\n')) >= 0;) {
        view_->interrupt();
        std::cerr << board_[i].port() << ": " << c.err.left(end).toStdString() << std::endl;
        c.err.remove(0, end + 1);
    }
}

void Bench::event(std::size_t i, const QJsonObject& e) {
    QJsonObject stamped = e;
    stamped["port"] = QString::fromStdString(board_[i].port());
    board_[i].apply(stamped, now());
    // On the terminal the cable message is said once for the whole bench.
    const bool cableMessage = events::text(stamped, "event") == "message" &&
                              events::text(stamped, "id") == events::nameOf(cable_.id);
    if (!options_.json && cableMessage) {
        if (cableShown_) return;
        cableShown_ = true;
    }
    view_->show(stamped, board_[i], now());
}

void Bench::finished(std::size_t i, int exitCode, QProcess::ExitStatus status) {
    Child& c = children_[i];
    if (c.done) return;
    readOutput(i);
    readErrors(i);
    c.done = true;
    c.exitCode = status == QProcess::NormalExit ? exitCode : -1;
    if (!board_[i].ended()) {
        const bool crashed = status != QProcess::NormalExit;
        event(i, {{"event", "end"},
                  {"result", crashed ? "crashed" : "error"},
                  {"code", c.exitCode},
                  {"text", crashed ? "the process could not start or was killed"
                                   : "the process ended without telling how the run ended"}});
    }
    for (const Child& other : children_)
        if (!other.done) return;
    // From the event loop: a child that failed to start may tell so before the loop runs.
    QTimer::singleShot(0, QCoreApplication::instance(), [] { QCoreApplication::exit(0); });
}

void Bench::interrupted(int signal) {
    signal_ = signal;
    view_->interrupt();
    std::cerr << "tolvan-flash: interrupted by " << Interruptions::nameOf(signal)
              << ": each device's run ends and closes its port" << std::endl;
    for (Child& c : children_)
        if (c.process && c.process->state() != QProcess::NotRunning)
            Interruptions::passOn(c.process->processId(), signal);
    // A child whose ending hangs is not waited for long: the summary says what was left.
    QTimer::singleShot(kInterruptedWaitMs, QCoreApplication::instance(), [this] {
        for (Child& c : children_)
            if (c.process && c.process->state() != QProcess::NotRunning) c.process->kill();
    });
}

void Bench::printSummary() {
    const double t = now();
    if (options_.json) {
        for (const DeviceProgress& d : board_) {
            const QJsonObject e{{"event", "summary"},
                                {"port", QString::fromStdString(d.port())},
                                {"result", QString::fromStdString(d.result())},
                                {"code", d.code()},
                                {"seconds", d.seconds(t)},
                                {"sectors", d.sectors()},
                                {"bytes_per_second", qRound(d.bytesPerSecond(t))}};
            std::cout << events::toLine(e).toStdString();
        }
        std::cout.flush();
        return;
    }
    std::size_t width = 4;
    for (const DeviceProgress& d : board_)
        width = std::max(width, d.port().size());
    const int w = static_cast<int>(width);
    std::cout << format("%-*s  %-10s %4s %8s %8s %10s\n", w, "Port", "Result", "Code", "Time",
                        "Sectors", "Bytes/s");
    for (const DeviceProgress& d : board_)
        std::cout << format("%-*s  %-10s %4d %8s %8d %10.0f\n", w, d.port().c_str(),
                            d.result().c_str(), d.code(), durationText(d.seconds(t)).c_str(),
                            d.sectors(), d.bytesPerSecond(t));
    std::cout.flush();
}

}  // namespace tolvan::cli
