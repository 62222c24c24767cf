#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <string>
#include <string_view>

namespace tolvan {

// The serial layer's trace of the characters on the line and log of its own events. Both are
// kept in memory from the first successful opening (the oldest entries give way once the size
// limits are reached) and written once, on the first close; after that nothing is recorded for
// the rest of the run.
class SerialTrace {
  public:
    static constexpr std::size_t kTraceSize = 10000;  // characters kept in the trace
    static constexpr std::size_t kLogSize = 10000;    // bytes of log lines kept
    static constexpr std::size_t kLineWidth = 78;     // columns of a trace line

    enum class State { Waiting, Recording, Done };

    State state() const { return state_; }
    bool recording() const { return state_ == State::Recording; }

    // The port has opened: recording starts, with the log's times counted from `nowMs`.
    // Does nothing once recording has started or ended.
    void start(std::int64_t nowMs);

    // Characters sent and received, in the order they passed.
    void transmit(std::string_view bytes);
    void receive(std::string_view bytes);

    // One event of the serial layer. Type and subtype are short words ("Write", "Queued").
    void log(std::int64_t nowMs, std::string_view type, std::string_view subType,
             std::string_view data = {}, std::string_view otherData = {});
    // One character taken by the program. Consecutive reads make one "Read" line, written when
    // the next event is logged or the log is written.
    void noteRead(std::int64_t nowMs);

    // The files' contents as they stand.
    std::string traceText() const;
    std::string logText() const;

    // Writes the trace and the log (each file replaced) and ends recording for good. Only the
    // first call while recording writes. Empty when both were written (or nothing was due),
    // else which file could not be written and why ("APD.TRC: No space left on device").
    std::string finish(const std::filesystem::path& traceFile,
                       const std::filesystem::path& logFile);

  private:
    struct Char {
        bool received;
        std::uint8_t byte;
    };
    void record(bool received, std::string_view bytes);
    void flushReads();

    State state_ = State::Waiting;
    std::int64_t startMs_ = 0;
    std::deque<Char> chars_;
    std::deque<std::string> logLines_;
    std::size_t logBytes_ = 0;
    int pendingReads_ = 0;
    std::int64_t lastReadMs_ = 0;
};

// The bytes as blank-separated upper-case hexadecimal pairs, at most `limit` of them, followed
// by " ..." when there are more.
std::string hexPreview(std::string_view bytes, std::size_t limit = 16);

}  // namespace tolvan
