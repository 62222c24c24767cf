#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "FrameLogLines.h"

namespace tolvan::bench {

// The line as the emulator runs it: answers paced at the baud rate in FIFO-sized chunks, each
// started after the answer delay (and after the previous answer has left the line).
struct LineModel {
    int baud = 19200;
    int bitsPerByte = 10;
    std::size_t chunkBytes = 16;
    std::int64_t answerDelayUs = 0;
    // Whether the host's own frames take their line time before the device has them. A pty
    // hands them over at once; a real serial line does not.
    bool hostBytesOnLine = false;

    // Time the line needs for `bytes` bytes, rounded up as the emulator rounds it.
    std::int64_t durationUs(std::size_t bytes) const;
};

// The time of one kind of step of the transfer: what the protocol allows at the least (ideal)
// against what the run took (measured).
struct StepTotals {
    std::string kind;
    int count = 0;
    std::int64_t idealUs = 0;
    std::int64_t measuredUs = 0;
};

// One step: from one frame to the next (or, at the end, to the last answer).
struct Step {
    std::string kind;
    std::string frame;  // the frame the step ends with; empty for the last answer
    std::int64_t idealUs = 0;
    std::int64_t measuredUs = 0;
};

// The fastest a host can carry out the same transfer as the logged one: every frame sent the
// moment the protocol lets it go (its mandated pause after the previous frame or the device's
// answer), the answers taking their line time and the emulator's delay. The transfer runs from
// the greeting (CmdLink) of the first image to the moment the last sector read back is complete
// (programming alone: the last sector write's answer).
struct LineFloor {
    bool ok = false;
    std::string error;

    std::int64_t wallUs = 0;
    std::int64_t floorUs = 0;
    // The floor's parts along its critical path.
    std::int64_t pausesUs = 0;
    std::int64_t lineUs = 0;
    std::int64_t delaysUs = 0;

    int images = 0;
    int frames = 0;
    std::size_t hostBytes = 0;
    std::size_t answerBytes = 0;
    std::vector<StepTotals> steps;  // by kind, in order of first appearance
    std::vector<Step> each;

    double excessPercent() const {
        return floorUs > 0 ? 100.0 * static_cast<double>(wallUs - floorUs) / floorUs : 0;
    }
};

LineFloor computeLineFloor(const std::vector<LogLine>& log, const LineModel& model);

}  // namespace tolvan::bench
