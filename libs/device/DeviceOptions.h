#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "device/ImageStore.h"

namespace tolvan::emu {

// Picks frames by their order of arrival, counted from 1 over all frames or over the frames of
// one command: "7" (the 7th frame), "GravaSetor" (every sector write), "GravaSetor:3" (the 3rd),
// "Link:1-398" (the first 398 link polls).
struct FrameSelector {
    std::optional<std::uint8_t> code;
    std::optional<int> number;
    std::optional<int> upTo;  // a range from `number` to this, both included

    // `overall` counts every frame, `ofItsCode` the frames with this frame's code.
    bool matches(std::uint8_t frameCode, int overall, int ofItsCode) const;
    static std::optional<FrameSelector> parse(std::string_view text);
};

struct Corruption {
    Address image;
    std::size_t index;  // byte of the image's data, from 0 (sector = index / 256 + 1)
};

struct Truncation {
    std::optional<Address> image;  // any image when empty
    std::size_t sector;            // from 1
    std::size_t bytes;             // bytes of the answer sent, head included
};

struct DelayRule {
    FrameSelector frames;
    std::int64_t delayUs;
};

// How the device behaves and which faults it shows.
struct DeviceOptions {
    // A frame left unfinished for this long is dropped; a long name ends after it.
    std::int64_t quietGapUs = 50'000;
    // Delay before every answer, and further delays for chosen frames.
    std::int64_t delayUs = 0;
    std::vector<DelayRule> delays;

    bool silent = false;                       // parses and logs, never answers
    std::optional<FrameSelector> silentFrom;   // no answer from the first frame matched on
    std::vector<FrameSelector> drop;           // no answer to the frames matched
    std::optional<FrameSelector> hangUpAfter;  // the line goes dead when this frame arrives

    std::vector<std::size_t> splits;    // answers go out in pieces cut at these byte offsets
    std::set<std::uint8_t> splitCodes;  // answers to these commands only; all when empty

    std::vector<Corruption> corruptions;  // flipped (XOR FF) in sector answers
    std::vector<Truncation> truncations;  // sector answers cut short

    // The answer to link polls; the first `linkAnswerCount` polls get it (all when negative),
    // the others get 00 03 01.
    std::optional<std::string> linkAnswer;
    int linkAnswerCount = -1;
};

}  // namespace tolvan::emu
