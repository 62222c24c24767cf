#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvan::emu {

// One line of the frame log:
//   <time µs> <dir> <name> <byte count> <span µs> <bytes in hex>[ # <note>]
// dir is "rx" (from the host), "tx" (to the host) or "--" (an event of the device itself).
// Time is the monotonic clock: for rx the arrival of the frame's last byte, span the time from
// its first byte; for tx the moment the bytes were written, span 0.
struct LogEntry {
    enum class Dir { Rx, Tx, Event };
    std::int64_t atUs = 0;
    std::int64_t spanUs = 0;
    Dir dir = Dir::Rx;
    std::string name;
    std::string bytes;
    std::string note;
};

std::string formatLogLine(const LogEntry& entry);
// "rx", "tx" or "--".
const char* directionName(LogEntry::Dir dir);

// One line read back; none for a line that is not one (fewer fields, an unknown direction, a
// byte that is not two hexadecimal digits, bytes that do not come to the count).
std::optional<LogEntry> parseLogLine(std::string_view line);
// The entries of a frame log's text, in order; lines that are not entries are passed over.
std::vector<LogEntry> parseFrameLog(std::string_view text);

}  // namespace tolvan::emu
