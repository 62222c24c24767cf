#include "platform/DeviceScanner.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <fstream>
#include <system_error>
#include <utility>

namespace tolvan {

namespace {

constexpr const char* kGroups[] = {"ttyS", "ttyUSB", "ttyACM"};

// The number of "<prefix><digits>", or -1.
long deviceNumber(std::string_view name, std::string_view prefix) {
    if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) return -1;
    long number = -1;
    const char* last = name.data() + name.size();
    auto [end, ec] = std::from_chars(name.data() + prefix.size(), last, number);
    if (ec != std::errc() || end != last) return -1;
    return number;
}

}  // namespace

DeviceScanner::DeviceScanner(std::filesystem::path devDir, std::filesystem::path sysTtyDir)
    : devDir_(std::move(devDir)), sysTtyDir_(std::move(sysTtyDir)) {}

std::vector<std::string> DeviceScanner::serialDevices() {
    std::vector<std::pair<long, std::string>> found[std::size(kGroups)];
    std::error_code ec;
    for (std::filesystem::directory_iterator it(devDir_, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        for (std::size_t g = 0; g < std::size(kGroups); ++g) {
            const long number = deviceNumber(name, kGroups[g]);
            if (number >= 0) found[g].emplace_back(number, name);
        }
    }
    std::vector<std::string> devices;
    for (std::size_t g = 0; g < std::size(kGroups); ++g) {
        std::sort(found[g].begin(), found[g].end());
        for (const auto& [number, name] : found[g]) {
            if (g == 0 && !uartAnswers(name)) continue;
            devices.push_back((devDir_ / name).string());
        }
    }
    return devices;
}

bool DeviceScanner::uartAnswers(const std::string& name) const {
    // The serial core tells the UART type without touching the line.
    std::ifstream typeFile(sysTtyDir_ / name / "type");
    int type = 0;
    if (typeFile >> type) return type != PORT_UNKNOWN;

    const std::string path = (devDir_ / name).string();
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno == EBUSY;
    serial_struct info{};
    const bool answers = ::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
    ::close(fd);
    return answers;
}

}  // namespace tolvan
