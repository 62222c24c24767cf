#include "link/SerialCommRegistry.h"

#include <charconv>
#include <fstream>
#include <set>
#include <sstream>

namespace tolvan {

namespace {

std::string_view trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

// The n of "COMn" (any case), or 0 when the name is not one.
int portNumber(std::string_view name) {
    if (name.size() < 4) return 0;
    for (std::size_t i = 0; i < 3; ++i) {
        if ((name[i] & ~0x20) != "COM"[i]) return 0;
    }
    int number = 0;
    const char* last = name.data() + name.size();
    auto [end, ec] = std::from_chars(name.data() + 3, last, number);
    if (ec != std::errc() || end != last || number < 1 || number > 0xFFFF) return 0;
    return number;
}

}  // namespace

std::vector<SerialPortEntry> parseSerialComm(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::vector<SerialPortEntry> entries;
    std::set<int> seen;
    while (!text.empty()) {
        const std::size_t eol = text.find('\n');
        const std::string_view line = trim(text.substr(0, eol));
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        if (line.empty() || line.front() == '#') continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        const int number = portNumber(trim(line.substr(0, eq)));
        const std::string_view device = trim(line.substr(eq + 1));
        if (number == 0 || device.empty() || !seen.insert(number).second) continue;
        entries.push_back({"COM" + std::to_string(number), std::string(device)});
    }
    return entries;
}

SerialCommRegistry::SerialCommRegistry(PathResolver files, SerialDeviceList& devices)
    : files_(std::move(files)), devices_(devices) {}

std::vector<SerialPortEntry> SerialCommRegistry::ports() {
    std::ifstream in(files_.resolve(kSerialCommFile), std::ios::binary);
    if (in) {
        std::ostringstream text;
        text << in.rdbuf();
        return parseSerialComm(text.str());
    }
    std::vector<SerialPortEntry> entries;
    for (const std::string& device : devices_.serialDevices())
        entries.push_back({"COM" + std::to_string(entries.size() + 1), device});
    return entries;
}

}  // namespace tolvan
