#include "device/FrameLog.h"

#include "device/Commands.h"

namespace tolvan::emu {

std::string formatLogLine(const LogEntry& entry) {
    const char* dir = entry.dir == LogEntry::Dir::Rx   ? "rx"
                      : entry.dir == LogEntry::Dir::Tx ? "tx"
                                                       : "--";
    std::string line = std::to_string(entry.atUs) + ' ' + dir + ' ' + entry.name + ' ' +
                       std::to_string(entry.bytes.size()) + ' ' + std::to_string(entry.spanUs);
    if (!entry.bytes.empty()) line += ' ' + hexBytes(entry.bytes);
    if (!entry.note.empty()) line += " # " + entry.note;
    return line;
}

}  // namespace tolvan::emu
