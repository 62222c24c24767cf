#include "FrameLogLines.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace tolvan::bench {

std::vector<std::int64_t> rxTimes(const std::vector<LogLine>& log, const std::string& name) {
    std::vector<std::int64_t> times;
    for (const LogLine& l : log)
        if (l.dir == LogLine::Dir::Rx && l.name == name) times.push_back(l.atUs);
    return times;
}

std::vector<double> intervals(const std::vector<std::int64_t>& times) {
    std::vector<double> gaps;
    for (std::size_t i = 1; i < times.size(); ++i)
        gaps.push_back(static_cast<double>(times[i] - times[i - 1]));
    return gaps;
}

Spread spreadOf(std::vector<double> values) {
    Spread s;
    s.count = values.size();
    if (values.empty()) return s;
    std::sort(values.begin(), values.end());
    s.min = values.front();
    s.max = values.back();
    const std::size_t n = values.size();
    s.median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    s.mean = std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(n);
    double squares = 0;
    for (double v : values)
        squares += (v - s.mean) * (v - s.mean);
    s.stddev = n > 1 ? std::sqrt(squares / static_cast<double>(n - 1)) : 0;
    return s;
}

}  // namespace tolvan::bench
