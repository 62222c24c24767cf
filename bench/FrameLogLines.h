#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device/FrameLog.h"

namespace tolvan::bench {

// One line of the device emulator's frame log, as libs/device reads it back (parseFrameLog).
using LogLine = emu::LogEntry;
using emu::parseFrameLog;

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
