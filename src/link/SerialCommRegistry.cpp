#include "link/SerialCommRegistry.h"

#include <fstream>
#include <set>
#include <sstream>

#include "link/PortName.h"
#include "services/FileAccess.h"
#include "texts/Trim.h"

namespace tolvan {

std::vector<SerialPortEntry> parseSerialComm(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::vector<SerialPortEntry> entries;
    std::set<int> seen;
    while (!text.empty()) {
        const std::size_t eol = text.find('\n');
        const std::string_view line = TrimView(text.substr(0, eol));
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        if (line.empty() || line.front() == '#') continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        const int number = numeroDaPorta(TrimView(line.substr(0, eq)));
        const std::string_view device = TrimView(line.substr(eq + 1));
        if (number < 1 || device.empty() || !seen.insert(number).second) continue;
        entries.push_back({nomeDaPorta(number), std::string(device)});
    }
    return entries;
}

SerialCommRegistry::SerialCommRegistry(PathResolver files, const FileAccess& access,
                                       SerialDeviceList& devices,
                                       std::function<void(const std::string&)> warn)
    : files_(std::move(files)), access_(access), devices_(devices), warn_(std::move(warn)) {}

std::vector<SerialPortEntry> SerialCommRegistry::ports() {
    const std::filesystem::path file = files_.resolve(kSerialCommFile);
    std::ifstream in(file, std::ios::binary);
    if (in && !access_.ownedByRootOrMe(file)) {
        in.setstate(std::ios::failbit);
        if (warn_ && !warned_)
            warn_("Port map " + utf8(file) +
                  " belongs to another user, not root: passed over; the machine's serial "
                  "devices are numbered instead");
        warned_ = true;
    }
    if (in) {
        std::ostringstream text;
        text << in.rdbuf();
        return parseSerialComm(text.str());
    }
    std::vector<SerialPortEntry> entries;
    for (const std::string& device : devices_.serialDevices())
        entries.push_back({nomeDaPorta(static_cast<int>(entries.size()) + 1), device});
    return entries;
}

}  // namespace tolvan
