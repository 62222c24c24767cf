#include "device/LinePacer.h"

#include <algorithm>

namespace tolvan::emu {

std::int64_t LinePacer::durationUs(std::size_t bytes) const {
    if (!options_.pacing || options_.baud <= 0) return 0;
    // Rounded up, so that a paced chunk never arrives before the line could have carried it.
    const std::int64_t bits = static_cast<std::int64_t>(bytes) * options_.bitsPerByte;
    return (bits * 1'000'000 + options_.baud - 1) / options_.baud;
}

std::vector<LinePacer::Write> LinePacer::schedule(const std::string& answer,
                                                  const std::vector<std::size_t>& cuts,
                                                  std::int64_t delayUs, std::int64_t nowUs) {
    std::vector<Write> writes;
    if (answer.empty()) return writes;
    std::vector<std::size_t> bounds{0};
    for (std::size_t c : cuts)
        if (c > bounds.back() && c < answer.size()) bounds.push_back(c);
    bounds.push_back(answer.size());

    std::int64_t t = std::max(nowUs + delayUs, lineFreeUs_);
    for (std::size_t p = 0; p + 1 < bounds.size(); ++p) {
        if (p > 0) t += options_.splitGapUs;
        const std::size_t begin = bounds[p];
        const std::size_t end = bounds[p + 1];
        if (!options_.pacing) {
            writes.push_back({t, answer.substr(begin, end - begin)});
            continue;
        }
        // Chunk ends are timed from the piece's start so that rounding does not add up.
        const std::int64_t pieceStart = t;
        const std::size_t chunk = std::max<std::size_t>(1, options_.chunkBytes);
        for (std::size_t i = begin; i < end; i += chunk) {
            const std::size_t n = std::min(chunk, end - i);
            t = pieceStart + durationUs(i + n - begin);
            writes.push_back({t, answer.substr(i, n)});
        }
    }
    lineFreeUs_ = t;
    return writes;
}

}  // namespace tolvan::emu
