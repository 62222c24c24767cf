#include "Harness.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "device/FrameLog.h"

extern char** environ;

namespace tolvan::e2e {

namespace fs = std::filesystem;

bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!done()) {
        if (Clock::now() >= deadline) return done();
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

fs::path makeTempDir(const std::string& prefix) {
    std::string pattern = (fs::temp_directory_path() / (prefix + "XXXXXX")).string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    return pattern;
}

namespace {

const char* wineBuild() {
    const char* build = std::getenv("TOLVAN_WINE_BUILD");
    return build && *build ? build : nullptr;
}

fs::path winePrefix() {
    const char* prefix = std::getenv("WINEPREFIX");
    return prefix && *prefix ? fs::path(prefix) : fs::path(std::getenv("HOME")) / ".wine";
}

// The drive an installation stands on under Wine (the prefix's dosdevices/t:): the program
// derives its Drive from it.
constexpr const char* kInstallDrive = "T:";

std::string windowsPath(const std::string& drive, const fs::path& relative) {
    std::string path = drive + "\\" + relative.relative_path().string();
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

}  // namespace

bool underWine() {
    return wineBuild() != nullptr;
}

fs::path windowsProgram(const fs::path& relative) {
    return fs::path(wineBuild()) / relative;
}

std::vector<std::string> command(const fs::path& program) {
    if (!underWine()) return {program.string()};
    return {"/usr/bin/wine", program.string()};
}

std::string pathForProgram(const fs::path& file) {
    return underWine() ? windowsPath("Z:", fs::absolute(file)) : file.string();
}

fs::path programExecutable() {
    return underWine() ? windowsProgram("src/gui/TolvanLink.exe") : fs::path(TOLVAN_PROGRAM);
}
fs::path emulatorExecutable() {
    return TOLVAN_EMULATOR;
}
fs::path flashExecutable() {
    return underWine() ? windowsProgram("src/cli/tolvan-flash.exe") : fs::path(TOLVAN_FLASH);
}

// ---- Process ----

Process::Process(Options o) {
    std::map<std::string, std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const auto eq = entry.find('=');
        if (eq != std::string::npos) env[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    for (const std::string& k : o.unset)
        env.erase(k);
    for (const auto& [k, v] : o.env)
        env[k] = v;
    std::vector<std::string> envText;
    for (const auto& [k, v] : env)
        envText.push_back(k + "=" + v);
    std::vector<char*> envp, argv;
    for (std::string& s : envText)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    for (std::string& s : o.argv)
        argv.push_back(s.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string out = o.output.empty() ? std::string("/dev/null") : o.output.string();
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const std::string errors = o.errors.string();
    if (errors.empty()) {
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
    } else {
        posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
    }
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (!o.cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, o.cwd.c_str());
    // Descriptors asked for stay open in the child (the others are opened close-on-exec).
    for (int fd : o.keepFds) {
        int flags = fcntl(fd, F_GETFD);
        fcntl(fd, F_SETFD, flags & ~FD_CLOEXEC);
    }
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    ownGroup_ = o.ownProcessGroup;
    if (ownGroup_) {
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attr, 0);
    }
    const int rc = posix_spawn(&pid_, argv[0], &actions, &attr, argv.data(), envp.data());
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        pid_ = -1;
        throw std::runtime_error(o.argv[0] + ": " + std::strerror(rc));
    }
}

Process::~Process() {
    stop();
}

bool Process::running() {
    if (pid_ < 0 || status_) return false;
    int status = 0;
    const pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return false;
    }
    return r == 0;
}

std::optional<int> Process::waitExit(std::chrono::milliseconds timeout) {
    waitFor([this] { return !running(); }, timeout);
    return status_;
}

void Process::signal(int signal) const {
    if (pid_ > 0) kill(ownGroup_ ? -pid_ : pid_, signal);
}

void Process::stop() {
    if (!running()) return;
    kill(pid_, SIGTERM);
    if (waitExit(3s)) return;
    kill(pid_, SIGKILL);
    waitExit(3s);
}

// ---- XServer ----

XServer::XServer() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    const char* xvfb = "/usr/bin/Xvfb";
    if (access(xvfb, X_OK) != 0) {
        close(fds[0]);
        close(fds[1]);
        return;
    }
    // Xvfb picks a free display number itself and writes it to the descriptor.
    xvfb_ = std::make_unique<Process>(
        Process::Options{{xvfb, "-displayfd", std::to_string(fds[1]), "-screen", "0", "1024x768x24",
                          "-nolisten", "tcp", "-noreset"},
                         {},
                         {},
                         {},
                         {fds[1]}});
    close(fds[1]);
    std::string number;
    char c = 0;
    while (read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(fds[0]);
    if (!number.empty()) display_ = ":" + number;
}

XServer::~XServer() = default;

// ---- WaylandCompositor ----

WaylandCompositor::WaylandCompositor(const std::string& hostDisplay, bool xwayland)
    : hostDisplay_(hostDisplay) {
    const char* weston = "/usr/bin/weston";
    if (access(weston, X_OK) != 0) return;
    runtimeDir_ = makeTempDir("tolvan-wayland-");  // mode 0700, as a runtime folder must be
    char colour[16];
    std::snprintf(colour, sizeof colour, "0xff%06x", kDesktopColour);
    // No panel, lock screen or animations: the desktop is its colour alone.
    std::ofstream(runtimeDir_ / "weston.ini")
        << "[shell]\nbackground-color=" << colour
        << "\npanel-position=none\nlocking=false\nanimation=none\nstartup-animation=none\n";
    const fs::path log = runtimeDir_ / "weston.log";
    std::vector<std::string> argv = {
        weston, "--backend=x11-backend.so", "--use-pixman", "--width=" + std::to_string(kWidth),
        "--height=" + std::to_string(kHeight), "--socket=wayland-1", "--idle-time=0",
        "--config=" + (runtimeDir_ / "weston.ini").string(), "--log=" + log.string(),
        // Lets any client take screenshots.
        "--debug"};
    if (xwayland) argv.push_back("--xwayland");
    weston_ = std::make_unique<Process>(
        Process::Options{argv,
                         {{"XDG_RUNTIME_DIR", runtimeDir_.string()}, {"DISPLAY", hostDisplay_}},
                         runtimeDir_,
                         runtimeDir_ / "weston.out",
                         {},
                         {"WAYLAND_DISPLAY", "WAYLAND_SOCKET"}});
    const fs::path socket = runtimeDir_ / "wayland-1";
    if (!waitFor([&] { return fs::exists(socket) || !weston_->running(); }, 10s) ||
        !weston_->running())
        return;
    if (xwayland) {
        // "xserver listening on display :N"
        const std::string marker = "listening on display ";
        waitFor([&] { return readFile(log).find(marker) != std::string::npos; }, 10s);
        const std::string text = readFile(log);
        const auto at = text.find(marker);
        if (at == std::string::npos) return;
        std::istringstream(text.substr(at + marker.size())) >> xDisplay_;
    }
    ok_ = true;
}

WaylandCompositor::~WaylandCompositor() {
    weston_.reset();
    if (!runtimeDir_.empty() && !std::getenv("TOLVAN_E2E_KEEP")) {
        std::error_code ec;
        fs::remove_all(runtimeDir_, ec);
    }
}

std::map<std::string, std::string> WaylandCompositor::clientEnvironment() const {
    std::map<std::string, std::string> env = {{"XDG_RUNTIME_DIR", runtimeDir_.string()},
                                              {"WAYLAND_DISPLAY", "wayland-1"}};
    if (!xDisplay_.empty()) env["DISPLAY"] = xDisplay_;
    return env;
}

bool WaylandCompositor::screenshot(const fs::path& file) const {
    // weston-screenshooter writes wayland-screenshot-<time>.png into its working folder.
    const fs::path dir = makeTempDir("tolvan-shot-");
    {
        Process p({{"/usr/bin/weston-screenshooter"},
                   clientEnvironment(),
                   dir,
                   dir / "out",
                   {},
                   {"DISPLAY"}});
        p.waitExit(10s);
    }
    bool saved = false;
    for (const fs::directory_entry& e : fs::directory_iterator(dir)) {
        if (e.path().extension() != ".png") continue;
        std::error_code ec;
        fs::copy_file(e.path(), file, fs::copy_options::overwrite_existing, ec);
        saved = !ec;
    }
    fs::remove_all(dir);
    return saved;
}

bool WaylandCompositor::keys(const std::vector<std::string>& keys) const {
    return Operator(hostDisplay_).keysAtClass("Weston Compositor", keys);
}

void WaylandCompositor::parkPointer() const {
    // Weston on X11 moves its pointer by the host pointer's motion, not to its place: from the
    // host's top-left corner to its bottom-right, the motion pushes it against that corner.
    const Operator host(hostDisplay_);
    host.movePointer(0, 0);
    host.movePointer(kWidth - 1, kHeight - 1);
}

// ---- Emulator ----

Emulator::Emulator(const fs::path& dir, std::vector<std::string> extraArgs)
    : logFile_(dir / "frames.log") {
    const fs::path linkFile = dir / "pty";
    std::vector<std::string> argv = {emulatorExecutable().string(), "--link", linkFile.string(),
                                     "--frame-log", logFile_.string()};
    argv.insert(argv.end(), extraArgs.begin(), extraArgs.end());
    process_ = std::make_unique<Process>(Process::Options{argv, {}, dir, dir / "emulator.out", {}});
    waitFor(
        [&] {
            const std::string text = readFile(linkFile);
            return !text.empty() && text.back() == '\n';
        },
        10s);
    std::string text = readFile(linkFile);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    pty_ = text;
}

Emulator::~Emulator() = default;

std::string Emulator::frameLog() const {
    return readFile(logFile_);
}

int Emulator::framesNamed(const std::string& name, const std::string& direction) const {
    return static_cast<int>(frameTimes(name, direction).size());
}

std::vector<long long> Emulator::frameTimes(const std::string& name,
                                            const std::string& direction) const {
    std::vector<long long> times;
    for (const emu::LogEntry& e : emu::parseFrameLog(frameLog()))
        if (direction == emu::directionName(e.dir) && (e.name == name || e.name == "Cmd" + name))
            times.push_back(e.atUs);
    return times;
}

// ---- ForeignWindow ----

ForeignWindow::ForeignWindow(const std::string& display, const std::string& title) {
    if (underWine()) {
        // Wine's windows see only Wine's windows.
        if (title != "Tolvan Flex Selecionador") throw std::runtime_error("no stand-in: " + title);
        standInDir_ = makeTempDir("tolvan-launcher-");
        standIn_ = std::make_unique<Process>(
            Process::Options{command(windowsProgram("tests/windows/launcher_stand_in.exe")),
                             {{"DISPLAY", display}},
                             standInDir_,
                             standInDir_ / "out",
                             {}});
        standInShown_ = waitFor(
            [&] { return readFile(standInDir_ / "out").find("shown") != std::string::npos; }, 30s);
        return;
    }
    display_ = XOpenDisplay(display.c_str());
    if (!display_) return;
    window_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 200, 100, 0, 0, 0);
    XStoreName(display_, window_, title.c_str());
    Atom deleteAtom = XInternAtom(display_, "WM_DELETE_WINDOW", False);
    deleteAtom_ = deleteAtom;
    XSetWMProtocols(display_, window_, &deleteAtom, 1);
    XMapWindow(display_, window_);
    XSync(display_, False);
}

ForeignWindow::~ForeignWindow() {
    if (display_) XCloseDisplay(display_);
    standIn_.reset();
    if (!standInDir_.empty()) fs::remove_all(standInDir_);
}

bool ForeignWindow::closeRequested() {
    if (standIn_) return readFile(standInDir_ / "out").find("WM_CLOSE") != std::string::npos;
    while (display_ && XPending(display_) > 0) {
        XEvent ev;
        XNextEvent(display_, &ev);
        if (ev.type == ClientMessage && static_cast<Atom>(ev.xclient.data.l[0]) == deleteAtom_)
            closeRequested_ = true;
    }
    return closeRequested_;
}

std::unique_ptr<Process> holdPortUnderWine(const std::string& name, const fs::path& dir) {
    std::vector<std::string> argv = command(windowsProgram("tests/windows/port_holder.exe"));
    argv.push_back(name);
    auto holder =
        std::make_unique<Process>(Process::Options{argv, {}, dir, dir / "holder.out", {}});
    const bool held = waitFor(
        [&] {
            return readFile(dir / "holder.out").find("held") != std::string::npos ||
                   !holder->running();
        },
        30s);
    if (!held || !holder->running()) return nullptr;
    return holder;
}

// ---- Operator ----

std::string Operator::run(const std::vector<std::string>& argv) const {
    const fs::path out = makeTempDir("tolvan-op-") / "out";
    {
        Process p({argv, {{"DISPLAY", display_}}, {}, out, {}});
        p.waitExit(10s);
    }
    std::string text = readFile(out);
    fs::remove_all(out.parent_path());
    return text;
}

namespace {

// xdotool's --name takes a regular expression: the title is matched whole and literally.
std::string exactTitle(const std::string& title) {
    std::string re = "^";
    for (char c : title) {
        if (std::strchr("\\^$.|?*+()[]{}", c)) re += '\\';
        re += c;
    }
    return re + "$";
}

}  // namespace

std::optional<std::string> Operator::window(const std::string& title) const {
    std::istringstream ids(run({"/usr/bin/xdotool", "search", "--name", exactTitle(title)}));
    std::string id;
    if (ids >> id) return id;
    return std::nullopt;
}

bool Operator::waitWindow(const std::string& title, std::chrono::milliseconds timeout) const {
    return waitFor([&] { return window(title).has_value(); }, timeout);
}

bool Operator::waitGone(const std::string& title, std::chrono::milliseconds timeout) const {
    return waitFor([&] { return !window(title).has_value(); }, timeout);
}

bool Operator::keys(const std::string& title, const std::vector<std::string>& keys) const {
    return keysAt(window(title), keys);
}

bool Operator::focus(const std::string& title) const {
    const std::optional<std::string> id = window(title);
    if (id) run({"/usr/bin/xdotool", "windowfocus", *id});
    return id.has_value();
}

bool Operator::keysAtClass(const std::string& wmClass, const std::vector<std::string>& keys) const {
    std::istringstream ids(run({"/usr/bin/xdotool", "search", "--class", exactTitle(wmClass)}));
    std::string id;
    return keysAt(ids >> id ? std::optional<std::string>(id) : std::nullopt, keys);
}

bool Operator::keysAt(const std::optional<std::string>& id,
                      const std::vector<std::string>& keys) const {
    if (!id) return false;
    run({"/usr/bin/xdotool", "windowfocus", "--sync", *id});
    // Wine does not make a tool window (the port dialog) the active one for the X focus alone:
    // a click at its top-left corner, on its frame or its blank margin, does.
    if (underWine())
        run({"/usr/bin/xdotool", "mousemove", "--window", *id, "3", "3", "click", "1"});
    std::vector<std::string> argv = {"/usr/bin/xdotool", "key", "--delay", "60"};
    argv.insert(argv.end(), keys.begin(), keys.end());
    run(argv);
    return true;
}

void Operator::movePointer(int x, int y) const {
    run({"/usr/bin/xdotool", "mousemove", "--sync", std::to_string(x), std::to_string(y)});
}

std::string Operator::titles() const {
    return run({"/usr/bin/xdotool", "search", "--name", ".", "getwindowname", "%@"});
}

void Operator::screenshot(const fs::path& file) const {
    run({TOLVAN_SCREENSHOT, file.string()});
}

// ---- Installation ----

Installation::Installation(install::InstallOptions options) {
    base_ = makeTempDir("tolvan-e2e-");
    root_ = base_ / "root";
    // Under Wine on the installation's drive: a path without a drive is that drive's.
    cwd_ = underWine() ? root_ / "cwd" : base_ / "cwd";
    fs::create_directories(cwd_);
    options.root = root_;
    options.program = programExecutable();
    if (options.systems.empty()) options.systems = install::demoSystems();
    install::writeInstallation(options);
    if (!underWine()) return;
    // The installation's own drive, whence the program takes its Drive; its fixed C:\Orsolite
    // paths (the texts, the launcher's marker) lead to the same folder.
    const fs::path drive = winePrefix() / "dosdevices" / "t:";
    const fs::path fixed = winePrefix() / "drive_c" / "Orsolite";
    fs::remove(drive);
    fs::remove(fixed);
    fs::create_directory_symlink(root_, drive);
    fs::create_directory_symlink(root_ / "Orsolite", fixed);
}

Installation::~Installation() {
    if (!std::getenv("TOLVAN_E2E_KEEP")) {
        std::error_code ec;
        fs::remove_all(base_, ec);
    }
}

std::unique_ptr<Process> Installation::start(const std::string& display) const {
    return start({{"DISPLAY", display}, {"QT_QPA_PLATFORM", "xcb"}}, {});
}

std::unique_ptr<Process> Installation::start(const std::map<std::string, std::string>& env,
                                             const std::vector<std::string>& unset) const {
    // The test's display has no session bus; without this Qt would try to start one for the
    // display (and libdbus leaks when that fails, which LeakSanitizer reports at exit).
    std::map<std::string, std::string> all = env;
    all.emplace("DBUS_SESSION_BUS_ADDRESS", "disabled:");
    std::vector<std::string> argv = {(programDir() / "TolvanLink").string()};
    if (underWine()) {
        // Qt for Windows has its one platform.
        all.erase("QT_QPA_PLATFORM");
        if (const char* log = std::getenv("TOLVAN_MESSAGE_LOG"))
            all["TOLVAN_MESSAGE_LOG"] = pathForProgram(log);
        argv = command(windowsPath(kInstallDrive, fs::relative(programDir(), root_)) +
                       "\\TolvanLink.exe");
    }
    return std::make_unique<Process>(
        Process::Options{argv, all, cwd_, base_ / "program.out", {}, unset});
}

void Installation::mapPorts(const std::vector<install::PortEntry>& ports) const {
    install::writeSerialComm(root_, ports);
    if (!underWine()) return;
    // tests/windows/run.sh lists COMn in Wine's registry as a link of this folder, named comn:
    // a port of this installation leads to its device, any other to nothing.
    const char* links = std::getenv("TOLVAN_WINE_PORTS");
    if (!links) throw std::runtime_error("TOLVAN_WINE_PORTS is set by tests/windows/run.sh");
    for (const fs::directory_entry& e : fs::directory_iterator(links))
        fs::remove(e.path());
    for (const install::PortEntry& port : ports) {
        std::string name = port.name;
        std::transform(name.begin(), name.end(), name.begin(), ::tolower);
        fs::create_symlink(port.device, fs::path(links) / name);
    }
}

std::string Installation::rootArgument() const {
    return underWine() ? std::string(kInstallDrive) + "\\" : root_.string();
}

}  // namespace tolvan::e2e
