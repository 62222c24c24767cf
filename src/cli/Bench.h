#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <filesystem>
#include <memory>
#include <vector>

#include "cli/DeviceProgress.h"
#include "cli/EventView.h"
#include "cli/FlashOptions.h"
#include "services/Dialogs.h"

namespace tolvan::cli {

// A bench: one child process per port, each this program on that port alone with --json and
// --yes, so that one device's blocking pauses never hold up another's. Their events are shown
// together (one live line per port, or re-emitted as JSON with their port) and a summary row
// per port ends the run.
class Bench {
  public:
    Bench(const FlashOptions& options, const std::filesystem::path& root, QString program);
    ~Bench();
    // Runs every device to its end; 0 when every one succeeded, else kExitBenchFailed.
    int exec();

  private:
    struct Child {
        std::unique_ptr<QProcess> process;
        QByteArray out, err;
        int exitCode = -1;
        bool done = false;
    };

    // Unless unattended, the cable message once for every device.
    void askForCable();
    void start(std::size_t i);
    void readOutput(std::size_t i);
    void readErrors(std::size_t i);
    void finished(std::size_t i, int exitCode, QProcess::ExitStatus status);
    void event(std::size_t i, const QJsonObject& event);
    void printSummary();
    // SIGINT, SIGTERM or SIGHUP: passed on to every child still running, whose endings are
    // awaited a bounded time before the summary.
    void interrupted(int signal);
    double now() const { return clock_.elapsed() / 1000.0; }

    const FlashOptions& options_;
    std::filesystem::path root_;
    QString program_;
    QElapsedTimer clock_;
    std::vector<DeviceProgress> board_;
    std::unique_ptr<EventView> view_;
    std::vector<Child> children_;
    // The cable message as the devices show it, known in their events by its identity.
    MessageDialog cable_;
    bool cableShown_ = false;
    int signal_ = 0;
};

}  // namespace tolvan::cli
