#include "gui/PlatformChoice.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "platform/X11Windows.h"

namespace tolvan::gui {

namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool platformChosen = false;

// `NAME ("value")`, or `NAME (unset)`, for the message.
std::string described(const char* name) {
    const std::string value = environment(name);
    return std::string(name) + (value.empty() ? " (unset)" : " (\"" + value + "\")");
}

}  // namespace

bool waylandReachable() {
    // A connection already handed over by whoever started the program.
    if (!environment("WAYLAND_SOCKET").empty()) return true;
    std::string path = environment("WAYLAND_DISPLAY");
    if (path.empty()) path = "wayland-0";
    if (path.front() != '/') {
        const std::string runtimeDir = environment("XDG_RUNTIME_DIR");
        if (runtimeDir.empty()) return false;
        path = runtimeDir + "/" + path;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return connected;
}

bool choosePlatform() {
    if (!environment("QT_QPA_PLATFORM").empty()) return true;
    const char* platform = X11Windows::displayReachable() ? "xcb"
                           : waylandReachable()           ? "wayland"
                                                          : nullptr;
    if (!platform) {
        // Qt would abort here with a message about reinstalling the application.
        std::cerr << "TolvanLink: no display to open: neither " << described("DISPLAY") << " nor "
                  << described("WAYLAND_DISPLAY")
                  << " names a running X server or Wayland compositor\n";
        return false;
    }
    setenv("QT_QPA_PLATFORM", platform, 1);
    platformChosen = true;
    return true;
}

void forgetChosenPlatform() {
    if (platformChosen) unsetenv("QT_QPA_PLATFORM");
    platformChosen = false;
}

}  // namespace tolvan::gui
