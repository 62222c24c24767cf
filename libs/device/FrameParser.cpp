#include "device/FrameParser.h"

#include "device/Commands.h"

namespace tolvan::emu {

namespace {

bool nameHasFill(std::string_view frame) {
    for (std::size_t i = 3; i < 16 && i < frame.size(); ++i)
        if (frame[i] == '\0') return true;
    return false;
}

}  // namespace

void FrameParser::receive(std::string_view bytes, std::int64_t nowUs, const Sink& sink) {
    tick(nowUs, sink);
    for (char b : bytes)
        take(b, nowUs, sink);
    // Junk is final once skipped; report it with the bytes it came with.
    flushJunk(sink);
}

void FrameParser::tick(std::int64_t nowUs, const Sink& sink) {
    if (pending_.empty() || nowUs - times_.back() <= quietGapUs_) return;
    if (pending_.size() >= 16 && pending_[2] == kNome) {
        emitFrame(pending_.size(), sink);  // a long name ends at the quiet gap
        return;
    }
    sink({Kind::Dropped, pending_, times_.front(), times_.back()});
    pending_.clear();
    times_.clear();
}

std::optional<std::int64_t> FrameParser::deadlineUs() const {
    if (pending_.empty()) return std::nullopt;
    return times_.back() + quietGapUs_ + 1;
}

void FrameParser::take(char byte, std::int64_t nowUs, const Sink& sink) {
    pending_.push_back(byte);
    times_.push_back(nowUs);
    settle(sink);
}

// Moves bytes that cannot start a frame to the junk and ends the frame once it is whole.
void FrameParser::settle(const Sink& sink) {
    while (!pending_.empty()) {
        const auto first = static_cast<std::uint8_t>(pending_[0]);
        const auto second = pending_.size() > 1 ? static_cast<std::uint8_t>(pending_[1]) : 0;
        const auto code = pending_.size() > 2 ? static_cast<std::uint8_t>(pending_[2]) : 0;
        const auto shape = shapeOf(code);
        const bool bad = first != 0 || (pending_.size() > 1 && !isSecondByte(second)) ||
                         (pending_.size() > 2 && (!shape || shape->second != second));
        if (bad) {
            if (junk_.empty()) junkFirstUs_ = times_.front();
            junk_.push_back(pending_[0]);
            junkLastUs_ = times_.front();
            pending_.erase(0, 1);
            times_.erase(times_.begin());
            continue;
        }
        if (!shape) return;  // head not complete yet
        if (code == kNome) {
            if (pending_.size() == shape->length && nameHasFill(pending_))
                emitFrame(pending_.size(), sink);
            else if (pending_.size() >= kMaxNameFrame)
                emitFrame(pending_.size(), sink);
            return;
        }
        if (pending_.size() >= shape->length) emitFrame(shape->length, sink);
        return;
    }
}

void FrameParser::flushJunk(const Sink& sink) {
    if (junk_.empty()) return;
    sink({Kind::Junk, junk_, junkFirstUs_, junkLastUs_});
    junk_.clear();
}

void FrameParser::emitFrame(std::size_t length, const Sink& sink) {
    flushJunk(sink);
    Piece piece{Kind::Frame, pending_.substr(0, length), times_.front(), times_[length - 1]};
    pending_.erase(0, length);
    times_.erase(times_.begin(), times_.begin() + static_cast<std::ptrdiff_t>(length));
    sink(std::move(piece));
}

}  // namespace tolvan::emu
