#include "device/FrameLog.h"

#include <algorithm>
#include <sstream>

#include "device/Commands.h"

namespace tolvan::emu {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

const char* directionName(LogEntry::Dir dir) {
    return dir == LogEntry::Dir::Rx ? "rx" : dir == LogEntry::Dir::Tx ? "tx" : "--";
}

std::string formatLogLine(const LogEntry& entry) {
    const char* dir = directionName(entry.dir);
    std::string line = std::to_string(entry.atUs) + ' ' + dir + ' ' + entry.name + ' ' +
                       std::to_string(entry.bytes.size()) + ' ' + std::to_string(entry.spanUs);
    if (!entry.bytes.empty()) line += ' ' + hexBytes(entry.bytes);
    if (!entry.note.empty()) line += " # " + entry.note;
    return line;
}

std::optional<LogEntry> parseLogLine(std::string_view line) {
    std::istringstream fields{std::string(line)};
    LogEntry e;
    std::string dir;
    std::size_t count = 0;
    if (!(fields >> e.atUs >> dir >> e.name >> count >> e.spanUs)) return std::nullopt;
    const auto known = {LogEntry::Dir::Rx, LogEntry::Dir::Tx, LogEntry::Dir::Event};
    const auto d = std::find_if(known.begin(), known.end(),
                                [&](LogEntry::Dir k) { return dir == directionName(k); });
    if (d == known.end()) return std::nullopt;
    e.dir = *d;
    for (std::string token; fields >> token;) {
        if (token == "#") {
            std::getline(fields >> std::ws, e.note);
            break;
        }
        const int high = token.size() == 2 ? hexDigit(token[0]) : -1;
        const int low = token.size() == 2 ? hexDigit(token[1]) : -1;
        if (high < 0 || low < 0) return std::nullopt;
        e.bytes += static_cast<char>(high * 16 + low);
    }
    if (e.bytes.size() != count) return std::nullopt;
    return e;
}

std::vector<LogEntry> parseFrameLog(std::string_view text) {
    std::vector<LogEntry> entries;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        if (auto e = parseLogLine(text.substr(0, end))) entries.push_back(std::move(*e));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return entries;
}

}  // namespace tolvan::emu
