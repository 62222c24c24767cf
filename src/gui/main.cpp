// The program's entry: builds the desktop adapters, the main window's model and its window,
// and runs the event loop until the model ends the program.
#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QPixmap>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "app/Sessao.h"
#include "gui/MainWindow.h"
#include "gui/PanelArtwork.h"
#include "gui/SplashWindow.h"
#include "platform/Interruptions.h"
#include "platform/NativeFileAccess.h"
#include "platform/QtDesktop.h"
#include "platform/QtDialogs.h"
#include "platform/QtTimers.h"
#include "platform/SqliteCatalogueStore.h"
#include "services/PathResolver.h"
#include "services/Paths.h"
#ifdef _WIN32
#include "platform/win32/RegistryPortList.h"
#include "platform/win32/Win32SerialDriver.h"
#else
#include "gui/PlatformChoice.h"
#include "platform/DeviceScanner.h"
#include "platform/LocalOrNetworkDriver.h"
#include "platform/NativePortList.h"
#endif

namespace {

#ifdef _WIN32
using SerialLine = tolvan::Win32SerialDriver;
#else
using SerialLine = tolvan::LocalOrNetworkDriver;
#endif

// The machine's port list: on Windows the registry's alone, elsewhere the port map of the
// installation or the machine's serial devices.
std::unique_ptr<tolvan::PortRegistry> portList(const std::filesystem::path& root,
                                               const tolvan::FileAccess& fileAccess,
                                               tolvan::QtDesktop& desktop) {
#ifdef _WIN32
    (void)root;
    (void)fileAccess;
    (void)desktop;
    return std::make_unique<tolvan::RegistryPortList>();
#else
    static tolvan::DeviceScanner devices;
    return tolvan::nativePortList(root, fileAccess, devices, [&desktop](const std::string& text) {
        desktop.reportError(text);
    });
#endif
}

// Builds the model and its window, runs the event loop until the model ends the program, and
// takes them down again; returns the loop's exit code.
int runWindow(const std::filesystem::path& executable) {
    using namespace tolvan;
    const std::filesystem::path root = PathResolver::rootFor(executable);

    QtClock clock;
    QtTimerFactory timers;
    SerialLine serial;
    QtDesktop desktop;
    const std::unique_ptr<FileAccess> fileAccess = nativeFileAccess();
    const std::unique_ptr<PortRegistry> ports = portList(root, *fileAccess, desktop);
    QtDialogs dialogs(kApplicationTitle);
    SqliteCatalogueStore catalogues;

    const gui::PanelArtwork artwork = gui::PanelArtwork::load();
    QApplication::setWindowIcon(QIcon(QPixmap::fromImage(artwork.programIcon)));
    dialogs.setAboutPicture(QPixmap::fromImage(artwork.about));

    Sessao sessao(Services{clock, timers, serial, *ports, dialogs, desktop, catalogues, *fileAccess,
                           root, executable});
    gui::MainWindow window(sessao, artwork, desktop);
    dialogs.setOwner(&window);
    sessao.cria();

    // The about box is the model's frmAbout, shown by the dialogs; the port dialog is made
    // afresh for each use. The splash window is made and never shown.
    gui::SplashWindow splash(artwork.icon);
    window.afterFirstActivation = [&] { splash.follow(sessao.vista().frmCarregando); };

    // The end of the desktop session (SIGHUP, SIGTERM) or Ctrl-C in the terminal that started
    // it: the window closes as its close mark closes it, asking nothing; the run under way is
    // abandoned, the trace written, the port released.
    const Interruptions interruptions([&sessao](int signal) {
        sessao.interrompe("interrupted by " + Interruptions::nameOf(signal));
    });
    window.showCentred();
    const int code = QApplication::exec();
    // However the loop ended, the model has closed.
    sessao.fecha();
    return interruptions.signal() != 0 ? Interruptions::exitStatusFor(interruptions.signal())
                                       : code;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tolvan;
#ifndef _WIN32
    // Before Qt picks a platform of its own, or aborts for want of a display.
    if (!gui::choosePlatform()) return 1;
#endif
    QApplication app(argc, argv);
#ifndef _WIN32
    gui::forgetChosenPlatform();
#endif
    QApplication::setApplicationName(QString::fromUtf8(kApplicationTitle));
    // The model alone ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    // No command-line option is read: only the executable's own path.
    const int code = runWindow(
        QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath().toStdString());

    // Qt 6.4's Wayland client can hang for ever taking down its connection (the display waits
    // for its event thread, which waits for a read that never comes). Everything of the
    // program's own is closed and written by now, so on Wayland the process ends here.
    if (QGuiApplication::platformName() == QLatin1String("wayland")) {
        std::fflush(nullptr);
        std::_Exit(code);
    }
    return code;
}
