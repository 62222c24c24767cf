#include "platform/QtDesktop.h"

#include <QApplication>
#include <QCursor>
#include <QTimer>
#include <iostream>

#ifndef _WIN32
#include "platform/X11Windows.h"
#endif

namespace tolvan {

#ifdef _WIN32
void QtDesktop::beep() {
    Win32Desktop::beep();
}

void QtDesktop::showHelp(const HelpRequest& request) {
    native_.showHelp(request);
}

bool QtDesktop::closeWindowTitled(const std::string& title) {
    return Win32Desktop::closeWindowTitled(title);
}
#else
void QtDesktop::beep() {
    QApplication::beep();
}

void QtDesktop::showHelp(const HelpRequest& request) {
    help_.show(request);
}

bool QtDesktop::closeWindowTitled(const std::string& title) {
    if (X11Windows::displayReachable()) return X11Windows::closeWindowTitled(title);
    // On native Wayland one program cannot reach another's window.
    if (!toldNoX11_) {
        toldNoX11_ = true;
        std::cerr << "TolvanLink: no X display: the window \"" << title
                  << "\" cannot be asked to close from a native Wayland session\n";
    }
    return false;
}
#endif

void QtDesktop::setBusyCursor(bool busy) {
    if (busy == busy_) return;
    busy_ = busy;
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void QtDesktop::quit() {
    quitRequested_ = true;
    // exit() rather than quit(): quit() first asks every window to close, and the main window
    // has already been closed by the program.
    QCoreApplication::exit(0);
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
}

void QtDesktop::reportError(const std::string& text) {
    std::cerr << "TolvanLink: " << text << '\n';
}

}  // namespace tolvan
