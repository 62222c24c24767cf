#include "cli/PortDoctor.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <optional>
#include <system_error>

namespace tolvan::cli {

namespace fs = std::filesystem;

namespace {

// Calls `each` with every process id under /proc.
void forEachProcess(const std::function<void(pid_t, const std::string&)>& each) {
    DIR* proc = ::opendir("/proc");
    if (!proc) return;
    while (const dirent* e = ::readdir(proc)) {
        const std::string name = e->d_name;
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
        each(static_cast<pid_t>(std::stol(name)), "/proc/" + name);
    }
    ::closedir(proc);
}

std::string commandOf(const std::string& procDir) {
    std::string comm = readKernelFile(procDir + "/comm");
    if (!comm.empty() && comm.back() == '\n') comm.pop_back();
    return comm;
}

std::string argv0Of(const std::string& procDir) {
    const std::string cmdline = readKernelFile(procDir + "/cmdline");
    return cmdline.substr(0, cmdline.find('\0'));
}

// Whether one of the process's descriptors is the character device `rdev`. None when its
// descriptors cannot be read; false when it has ended meanwhile.
std::optional<bool> holds(const std::string& procDir, dev_t rdev) {
    DIR* fds = ::opendir((procDir + "/fd").c_str());
    if (!fds) {
        if (errno == EACCES || errno == EPERM) return std::nullopt;
        return false;
    }
    bool found = false;
    while (const dirent* e = ::readdir(fds)) {
        if (e->d_name[0] == '.') continue;
        struct stat st {};
        // stat() follows the descriptor's link to what is open.
        if (::fstatat(::dirfd(fds), e->d_name, &st, 0) == 0 && S_ISCHR(st.st_mode) &&
            st.st_rdev == rdev) {
            found = true;
            break;
        }
    }
    ::closedir(fds);
    return found;
}

std::string inQuotes(const std::string& s) {
    return "\"" + s + "\"";
}

// The udev rules a brltty package may start it from, by file name.
std::vector<std::string> brlttyRules() {
    std::vector<std::string> names;
    for (const char* dir : {"/usr/lib/udev/rules.d", "/lib/udev/rules.d"}) {
        std::error_code ec;
        for (const fs::directory_entry& e : fs::directory_iterator(dir, ec)) {
            const std::string name = e.path().filename().string();
            if (name.find("brltty") != std::string::npos && name.ends_with(".rules") &&
                std::find(names.begin(), names.end(), name) == names.end())
                names.push_back(name);
        }
    }
    return names;
}

std::string modemManagerRemedy(const std::string& device) {
    const UsbAdapter usb = usbAdapterOf(device);
    std::string vendor = usb.vendorId, product = usb.productId;
    const bool known = !vendor.empty();
    if (!known) vendor = "VVVV", product = "PPPP";
    return "put the line SUBSYSTEMS==\"usb\", ATTRS{idVendor}==" + inQuotes(vendor) +
           ", ATTRS{idProduct}==" + inQuotes(product) +
           ", ENV{ID_MM_DEVICE_IGNORE}=\"1\" into /etc/udev/rules.d/70-tolvan-adapter.rules" +
           (known ? "" : " (lsusb shows the adapter as VVVV:PPPP)") +
           ", then sudo udevadm control --reload and plug the adapter in again";
}

std::string brlttyRemedy() {
    const std::vector<std::string> rules = brlttyRules();
    if (rules.empty())
        return "sudo systemctl mask --now brltty.service, or sudo apt-get remove brltty if no "
               "braille display is used";
    std::string links;
    for (const std::string& rule : rules)
        links += (links.empty() ? "" : " && ") + std::string("sudo ln -s /dev/null ") +
                 "/etc/udev/rules.d/" + rule;
    return "mask its udev rule: " + links +
           ", then sudo udevadm control --reload; or sudo apt-get remove brltty if no braille "
           "display is used";
}

// The sysfs folder of the device behind a tty (a by-id link is followed), or empty.
fs::path ttyDeviceDir(const std::string& device, const fs::path& sys) {
    std::error_code ec;
    const fs::path tty = fs::weakly_canonical(device, ec).filename();
    if (ec || tty.empty()) return {};
    const fs::path dir = fs::canonical(sys / "class" / "tty" / tty / "device", ec);
    return ec ? fs::path() : dir;
}

std::string firstLine(const fs::path& file) {
    const std::string text = readKernelFile(file.string());
    return text.substr(0, text.find('\n'));
}

}  // namespace

std::string readKernelFile(const std::string& file) {
    std::string text;
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return text;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
        text.append(buffer, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
    ::close(fd);
    return text;
}

HolderScan holdersOf(const std::string& device) {
    HolderScan scan;
    struct stat target {};
    if (::stat(device.c_str(), &target) != 0) {
        scan.error = std::strerror(errno);
        return scan;
    }
    if (!S_ISCHR(target.st_mode)) {
        scan.error = "not a character device";
        return scan;
    }
    const pid_t self = ::getpid();
    forEachProcess([&](pid_t pid, const std::string& dir) {
        if (pid == self) return;
        const std::optional<bool> held = holds(dir, target.st_rdev);
        if (!held) {
            ++scan.unreadable;
        } else if (*held) {
            scan.holders.push_back({pid, commandOf(dir), argv0Of(dir)});
        }
    });
    return scan;
}

std::vector<Interferer> interferers(const std::string& device) {
    std::vector<Interferer> found;
    forEachProcess([&](pid_t pid, const std::string& dir) {
        const std::string comm = commandOf(dir);
        if (comm == "ModemManager") found.push_back({pid, comm, modemManagerRemedy(device)});
        if (comm == "brltty") found.push_back({pid, comm, brlttyRemedy()});
    });
    return found;
}

UsbAdapter usbAdapterOf(const std::string& device, const fs::path& sys) {
    std::error_code ec;
    const fs::path top = fs::canonical(sys, ec);
    if (ec) return {};
    // The tty's device sits below the USB interface, which sits below the USB device that has
    // the ids.
    for (fs::path at = ttyDeviceDir(device, sys); !at.empty() && at != top && at != at.root_path();
         at = at.parent_path()) {
        if (fs::exists(at / "idVendor", ec) && fs::exists(at / "idProduct", ec))
            return {firstLine(at / "idVendor"), firstLine(at / "idProduct"),
                    firstLine(at / "serial"), firstLine(at / "manufacturer"),
                    firstLine(at / "product")};
    }
    return {};
}

std::string kernelDriverOf(const std::string& device, const fs::path& sys) {
    std::error_code ec;
    // Newer kernels put the serial core's own port and controller devices (bus serial-base)
    // between a UART's tty and the device whose driver serves it.
    for (fs::path at = ttyDeviceDir(device, sys); !at.empty() && at != at.root_path();
         at = at.parent_path()) {
        const fs::path driver = fs::canonical(at / "driver", ec);
        if (ec) return {};
        if (driver.parent_path().parent_path().filename() != "serial-base")
            return driver.filename().string();
    }
    return {};
}

std::string stableNameOf(const std::string& device, const fs::path& byId) {
    std::error_code ec;
    const fs::path target = fs::canonical(device, ec);
    if (ec) return {};
    std::vector<fs::path> links;
    for (const fs::directory_entry& e : fs::directory_iterator(byId, ec)) {
        std::error_code broken;
        if (fs::canonical(e.path(), broken) == target) links.push_back(e.path());
    }
    std::sort(links.begin(), links.end());
    return links.empty() ? std::string() : links.front().string();
}

PortAdvice diagnosePort(const std::string& device) {
    return {device, holdersOf(device), interferers(device)};
}

}  // namespace tolvan::cli
