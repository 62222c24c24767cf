#pragma once

#include <QElapsedTimer>
#include <QJsonObject>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/Sessao.h"
#include "cli/Answers.h"
#include "cli/DeviceProgress.h"
#include "cli/EventView.h"
#include "cli/ExitCodes.h"
#include "cli/FlashOptions.h"
#include "cli/HeadlessDesktop.h"
#include "cli/PortDoctor.h"
#include "cli/TerminalDialogs.h"
#include "cli/UnitReport.h"
#include "platform/Interruptions.h"
#include "platform/LocalOrNetworkDriver.h"
#include "platform/NativeFileAccess.h"
#include "platform/NativePortList.h"
#include "platform/NetworkAddress.h"
#include "platform/QtTimers.h"
#include "platform/SqliteCatalogueStore.h"

namespace tolvan::cli {

// One device's run on the core without a window: a session on Qt's event loop with a terminal
// for its dialogs, started as selector mode would start it but on the port and the system
// given, and ended as soon as the core says how the run ended.
class FlashRun : private RunListener {
  public:
    // `port` is empty for --list.
    FlashRun(const FlashOptions& options, std::string port, const std::filesystem::path& root);
    ~FlashRun() override;

    // Connects, runs the operation and returns the exit status. Needs a QCoreApplication.
    int exec();
    // Prints the catalogue's systems; the exit status.
    int list();

  private:
    // ---- RunListener: called from inside the core's handlers ----
    void conectado() override;
    void imagemIniciada(Modo modo, Imagem imagem, const std::string& arquivo, int setores) override;
    void setor(int atual, int total) override;
    void fim(Desfecho desfecho, const std::string& texto) override;
    void imagemLida(Imagem imagem, const std::string& arquivo,
                    const std::vector<std::uint8_t>& bytes) override;

    // Runs `body` as an event of the window, and ends the program if it failed with nothing
    // under way that the core would end.
    void step(const std::function<void()>& body);
    // The start: texts, paths, catalogue, the system, the port, then the handshake.
    void start();
    // The port given opened; when not, the session has ended.
    bool opensPort();
    // --dry-run, once the system is found and the port opened: the row's images and counts as
    // the operation would check them, then the end, with nothing sent.
    void ensaio();
    // --read-to: the folder exists or is made, and is not the installation's bin.
    bool backupFolderFits();
    // The port did not open or the device did not answer: who holds it, and the daemons that
    // take serial adapters, on standard error now and in the end event.
    void diagnose();
    // The row's images for the report, once the system's row is taken.
    void noteImages();
    // --report: the run's line appended, once it has ended; false when it could not be.
    bool writeReport();
    // Once connected: the system chosen on the list and the operation started.
    void afterConnection();
    // Why the port did not open, in the command line's words.
    std::string portProblem();
    // The port on another machine the port maps to, if it is one.
    std::optional<NetworkAddress> networkPort();

    // SIGINT, SIGTERM or SIGHUP, on the event loop: the run ends as any ending does, with its
    // trace, its end event and its report line, and the exit status 128 + the signal.
    void interrupted(int signal);

    // A line of the core's without the port's name, which reportError puts first.
    std::string withoutCorePortName(const std::string& text) const;

    void publish(QJsonObject event);
    void reportError(const std::string& text);

    const FlashOptions& options_;
    std::string port_;
    QElapsedTimer started_;
    std::vector<DeviceProgress> board_;
    std::unique_ptr<EventView> view_;

    QtClock clock_;
    QtTimerFactory timers_;
    LocalOrNetworkDriver serial_;
    std::unique_ptr<SerialDeviceList> devices_ = nativeDeviceList();
    std::unique_ptr<FileAccess> fileAccess_ = nativeFileAccess();
    std::unique_ptr<PortRegistry> ports_;
    std::unique_ptr<Answers> answers_;
    TerminalDialogs dialogs_;
    HeadlessDesktop desktop_;
    SqliteCatalogueStore catalogues_;
    Sessao sessao_;

    std::optional<Outcome> outcome_;
    std::optional<PortAdvice> advice_;
    std::optional<NetworkAdvice> network_;
    UnitRecord record_;
    DeviceLeft left_ = DeviceLeft::NotProgrammed;
    int signal_ = 0;
    bool connected_ = false;
    bool portOpened_ = false;
};

}  // namespace tolvan::cli
