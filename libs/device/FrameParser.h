#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvan::emu {

// Cuts the host's byte stream into frames. Nothing but time separates frames, so a frame is
// recognised by its start: 00, the second byte its code is sent with, and a known code; its
// length follows from the code. Bytes that cannot start a frame are skipped as junk. The name
// frame has 16 bytes when its 13 name positions hold a 00 fill byte; a name of 13 characters or
// more leaves none, and the frame then runs until the line has been quiet for `quietGapUs`. Any
// other frame that the line leaves unfinished for that long is dropped.
class FrameParser {
  public:
    enum class Kind { Frame, Junk, Dropped };
    struct Piece {
        Kind kind;
        std::string bytes;
        std::int64_t firstUs;  // arrival of the first byte
        std::int64_t lastUs;   // arrival of the last byte
    };
    using Sink = std::function<void(Piece)>;

    explicit FrameParser(std::int64_t quietGapUs) : quietGapUs_(quietGapUs) {}

    // Bytes that arrived at `nowUs`; every piece they end goes to `sink`, in stream order.
    void receive(std::string_view bytes, std::int64_t nowUs, const Sink& sink);
    // Lets time pass: a frame left waiting for a quiet gap ends once the gap is there.
    void tick(std::int64_t nowUs, const Sink& sink);
    // When tick() next has something to do; nullopt when nothing waits.
    std::optional<std::int64_t> deadlineUs() const;

    // Longest name frame taken; a longer run of bytes ends the frame there.
    static constexpr std::size_t kMaxNameFrame = 3 + 1024;

  private:
    void take(char byte, std::int64_t nowUs, const Sink& sink);
    void settle(const Sink& sink);
    void flushJunk(const Sink& sink);
    void emitFrame(std::size_t length, const Sink& sink);

    std::int64_t quietGapUs_;
    std::string pending_;              // a frame begun
    std::vector<std::int64_t> times_;  // arrival of each pending byte
    std::string junk_;
    std::int64_t junkFirstUs_ = 0;
    std::int64_t junkLastUs_ = 0;
};

}  // namespace tolvan::emu
