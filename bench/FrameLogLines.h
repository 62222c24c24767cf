#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tolvan::bench {

// One line of the device emulator's frame log ("<µs> <rx|tx|--> <name> <bytes> <span µs> ...").
struct LogLine {
    std::int64_t atUs = 0;
    std::string dir;  // "rx" from the host, "tx" to the host, "--" an event
    std::string name;
    std::size_t bytes = 0;
    std::int64_t spanUs = 0;
};

// The lines of a frame log's text; lines that do not read as one are skipped.
std::vector<LogLine> parseFrameLog(const std::string& text);

// The times of the frames from the host named `name` ("CmdLink", ...).
std::vector<std::int64_t> rxTimes(const std::vector<LogLine>& log, const std::string& name);

// The differences between successive times.
std::vector<double> intervals(const std::vector<std::int64_t>& times);

struct Spread {
    std::size_t count = 0;
    double mean = 0;
    double stddev = 0;  // of the sample (n - 1)
    double min = 0;
    double max = 0;
    double median = 0;
};
Spread spreadOf(std::vector<double> values);

}  // namespace tolvan::bench
