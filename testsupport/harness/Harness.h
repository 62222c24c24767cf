#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "InstallTree.h"

struct _XDisplay;

// What the end-to-end tests stand on: real processes (an X server, the device emulator on a
// pty, the installed program) and an operator who reads window titles and presses keys.
namespace tolvan::e2e {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Polls `done` every 20 ms until it holds or `timeout` has passed; returns whether it holds.
bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout);

std::string readFile(const std::filesystem::path& file);

// A child process, started with its own environment additions and working folder, its output
// kept in files. Stopped by its own id (SIGTERM, then SIGKILL) when still running at the end.
class Process {
  public:
    struct Options {
        std::vector<std::string> argv;
        std::map<std::string, std::string> env;  // added to (or replacing in) this environment
        std::filesystem::path cwd;
        std::filesystem::path output;  // standard output and error; none: /dev/null
        // Extra descriptors left open in the child (for Xvfb's -displayfd).
        std::vector<int> keepFds;
        std::vector<std::string> unset = {};  // taken out of this environment first
        std::filesystem::path errors = {};    // standard error apart; none: with the output
        // In a process group of its own, as a terminal's foreground job: signal() reaches
        // the group as Ctrl-C does.
        bool ownProcessGroup = false;
    };
    explicit Process(Options options);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    pid_t pid() const { return pid_; }
    bool running();
    // The exit status (the signal number + 128 when killed), once the process has ended.
    std::optional<int> waitExit(std::chrono::milliseconds timeout);
    void stop();
    // Sends `signal` to the process, or to its whole group when it has its own.
    void signal(int signal) const;

  private:
    pid_t pid_ = -1;
    bool ownGroup_ = false;
    std::optional<int> status_;
};

// An X server of the test's own (Xvfb on a free display number).
class XServer {
  public:
    XServer();
    ~XServer();
    bool ok() const { return !display_.empty(); }
    const std::string& display() const { return display_; }

  private:
    std::unique_ptr<Process> xvfb_;
    std::string display_;
};

// A Wayland compositor of the test's own: weston with its CPU renderer, in a runtime folder of
// its own (XDG_RUNTIME_DIR, mode 0700, removed at the end), painting the desktop in one colour.
// It runs as a window on an X display of the test's own (Xvfb), which is as headless as the
// machine is: that window gives it a keyboard and a mouse. Weston's headless backend has no
// seat at all without weston's test plugin, which Debian does not ship, so nothing could be
// typed there; and XWayland's window manager takes back any X focus that the compositor did
// not give, so keys go through the compositor, to the window it has activated.
class WaylandCompositor {
  public:
    // With `xwayland`, an X server for X clients beside it.
    WaylandCompositor(const std::string& hostDisplay, bool xwayland);
    ~WaylandCompositor();
    bool ok() const { return ok_; }
    // What a client of this compositor is started with: XDG_RUNTIME_DIR, WAYLAND_DISPLAY and,
    // with XWayland, DISPLAY.
    std::map<std::string, std::string> clientEnvironment() const;
    // XWayland's display (":N"); empty without XWayland.
    const std::string& xDisplay() const { return xDisplay_; }
    // The desktop's colour where no window is, 0xRRGGBB.
    static constexpr unsigned kDesktopColour = 0x2060a0;
    static constexpr int kWidth = 1024, kHeight = 768;
    // Saves what the compositor shows as a PNG picture (weston-screenshooter).
    bool screenshot(const std::filesystem::path& file) const;
    // Types the keys (xdotool names) at the compositor's window; they reach the client window
    // that has the keyboard focus.
    bool keys(const std::vector<std::string>& keys) const;
    // Moves the pointer to the bottom-right corner, where the arrow lies off the screen but for
    // its tip.
    void parkPointer() const;

  private:
    std::string hostDisplay_;
    std::filesystem::path runtimeDir_;
    std::unique_ptr<Process> weston_;
    std::string xDisplay_;
    bool ok_ = false;
};

// The device emulator on a pseudo-terminal, its frames logged.
class Emulator {
  public:
    Emulator(const std::filesystem::path& dir, std::vector<std::string> extraArgs = {});
    ~Emulator();
    bool ok() const { return !pty_.empty(); }
    const std::string& pty() const { return pty_; }
    std::string frameLog() const;
    // Lines of the frame log whose frame name is `name` ("Link", "GravaSetor", ...).
    int framesNamed(const std::string& name, const std::string& direction = "rx") const;
    // The times (µs, monotonic) of those lines.
    std::vector<long long> frameTimes(const std::string& name,
                                      const std::string& direction = "rx") const;
    // The emulator ends (SIGTERM): the other end of the pty closes.
    void stop() { process_->stop(); }
    std::optional<int> waitExit(std::chrono::milliseconds timeout) {
        return process_->waitExit(timeout);
    }

  private:
    std::filesystem::path logFile_;
    std::unique_ptr<Process> process_;
    std::string pty_;
};

// A top-level window of a program that is not this one: it records the close requests that
// reach it (the launcher's window that the program asks to close). Under Wine it is the window
// of tests/windows/launcher_stand_in.exe, whose title is the launcher's.
class ForeignWindow {
  public:
    ForeignWindow(const std::string& display, const std::string& title);
    ~ForeignWindow();
    bool ok() const { return display_ != nullptr || standInShown_; }
    // Handles pending events; true once a WM_DELETE_WINDOW request has arrived.
    bool closeRequested();

  private:
    ::_XDisplay* display_ = nullptr;
    unsigned long window_ = 0;
    unsigned long deleteAtom_ = 0;
    bool closeRequested_ = false;
    std::filesystem::path standInDir_;
    std::unique_ptr<Process> standIn_;
    bool standInShown_ = false;
};

// Under Wine, another program holding COM port `name` (tests/windows/port_holder.exe), its
// output in `dir`; null when it could not take the port.
std::unique_ptr<Process> holdPortUnderWine(const std::string& name,
                                           const std::filesystem::path& dir);

// The operator at the X display: finds windows by their exact title and types at them.
class Operator {
  public:
    explicit Operator(std::string display) : display_(std::move(display)) {}
    // The id of a window titled exactly `title`, if there is one.
    std::optional<std::string> window(const std::string& title) const;
    bool waitWindow(const std::string& title, std::chrono::milliseconds timeout) const;
    bool waitGone(const std::string& title, std::chrono::milliseconds timeout) const;
    // Gives the window the keyboard focus and presses the keys (xdotool names: Return,
    // Escape, Down, F5 ...). False when there is no such window.
    bool keys(const std::string& title, const std::vector<std::string>& keys) const;
    // Gives the window titled `title` the X input focus; false when there is none.
    bool focus(const std::string& title) const;
    // The same at a window found by its WM_CLASS class name.
    bool keysAtClass(const std::string& wmClass, const std::vector<std::string>& keys) const;
    // Moves the pointer to a point of the screen.
    void movePointer(int x, int y) const;
    // The titles of every window on the display, for failure messages.
    std::string titles() const;
    // Saves the screen as a PNG picture (for the record of a failed test).
    void screenshot(const std::filesystem::path& file) const;

  private:
    std::string run(const std::vector<std::string>& argv) const;
    bool keysAt(const std::optional<std::string>& id, const std::vector<std::string>& keys) const;
    std::string display_;
};

// One run of the installed program: a fresh root with a generated installation, the program
// copied in, its working folder beside it.
class Installation {
  public:
    explicit Installation(install::InstallOptions options = {});
    ~Installation();

    const std::filesystem::path& root() const { return root_; }
    const std::filesystem::path& cwd() const { return cwd_; }
    std::filesystem::path programDir() const { return install::programDir(root_); }
    std::filesystem::path portFile() const { return install::commonDir(root_) / "Comm.txt"; }
    std::filesystem::path selectionFile() const { return install::commonDir(root_) / "Selecao"; }
    // The program's standard output and error.
    std::filesystem::path programOutput() const { return base_ / "program.out"; }
    // The machine's serial ports: the port map (SerialComm.txt) and, under Wine, the COM
    // ports of the registry that tests/windows/run.sh made point at these devices.
    void mapPorts(const std::vector<install::PortEntry>& ports) const;
    // The root as a program is given it on its command line (--root).
    std::string rootArgument() const;
    // Starts <root>/Orsolite/Tolvan Link/TolvanLink on the X display.
    std::unique_ptr<Process> start(const std::string& display) const;
    // Starts it with these environment variables set and those taken away, and nothing else
    // said about its display.
    std::unique_ptr<Process> start(const std::map<std::string, std::string>& env,
                                   const std::vector<std::string>& unset) const;

  private:
    std::filesystem::path base_;
    std::filesystem::path root_;
    std::filesystem::path cwd_;
};

// A fresh folder under the system's temporary folder, removed with its contents at the end.
std::filesystem::path makeTempDir(const std::string& prefix);

// The built programs (set by the build; under Wine, the Windows build's).
std::filesystem::path programExecutable();
std::filesystem::path emulatorExecutable();
std::filesystem::path flashExecutable();

// Wine mode: with TOLVAN_WINE_BUILD naming a Windows build (scripts/windows/build.sh), the
// programs are its .exe, run under Wine in the prefix that tests/windows/run.sh prepared: the
// installation on a drive of its own, its COM ports in the registry led to the emulators.
bool underWine();
// The build's program at `relative` (a path inside the Windows build), for Wine mode.
std::filesystem::path windowsProgram(const std::filesystem::path& relative);
// How a program is started: itself, or by wine.
std::vector<std::string> command(const std::filesystem::path& program);
// A file as a program is told of it (on the command line, in its environment): under Wine the
// host's root is drive Z:.
std::string pathForProgram(const std::filesystem::path& file);

}  // namespace tolvan::e2e
