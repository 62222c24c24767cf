#pragma once

#include <cstdint>
#include <string>

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

}  // namespace tolvan::emu
