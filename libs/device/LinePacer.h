#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tolvan::emu {

struct LineOptions {
    // Send at the line's rate: each byte takes bitsPerByte / baud seconds. A pty has no rate of
    // its own, so without pacing an answer arrives at once.
    bool pacing = true;
    int baud = 19200;
    int bitsPerByte = 10;  // start, 8 data, stop
    // Paced bytes reach the host in chunks of at most this many, each when its last byte would
    // have arrived, as a receiving UART with a FIFO hands them on.
    std::size_t chunkBytes = 16;
    // The line stays quiet this long at each cut of a split answer.
    std::int64_t splitGapUs = 10'000;
};

// Turns answers into timed writes. One answer follows another on the line: an answer starts when
// the previous one has been sent, or after its own delay, whichever is later.
class LinePacer {
  public:
    struct Write {
        std::int64_t atUs;
        std::string bytes;
    };

    explicit LinePacer(LineOptions options = {}) : options_(options) {}

    std::vector<Write> schedule(const std::string& answer, const std::vector<std::size_t>& cuts,
                                std::int64_t delayUs, std::int64_t nowUs);
    // Time the line needs for `bytes` bytes at its rate.
    std::int64_t durationUs(std::size_t bytes) const;
    // When the last write scheduled goes out.
    std::int64_t lineFreeUs() const { return lineFreeUs_; }
    const LineOptions& options() const { return options_; }

  private:
    LineOptions options_;
    std::int64_t lineFreeUs_ = 0;
};

}  // namespace tolvan::emu
