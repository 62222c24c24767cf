#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tolvan::sim {

class TestRig;

// A device on the simulated line played by a script, for tests that look at every frame the host
// sends and shape the answers. It answers every frame but CmdExecuta with 00 03 <code> (the link
// poll thus with 00 03 01) `delayMs` later, one answer after the other as on a serial line; a
// sector read with 01 03 09 and the next 256 bytes of the image named by the read's address
// frame, cut into receive events of the sizes in `split` (the last one takes the rest), `gapMs`
// apart. With `keepsWrites` it keeps what the sector writes carry, under the image the write's
// address frame named, and so reads back what was programmed.
class ScriptedDevice {
  public:
    struct Frame {
        std::int64_t at;
        std::uint8_t code;
        std::string bytes;
        // The host as the frame began: how many bytes it had stored as read back, its status line.
        std::int32_t storedWhenSent;
        std::string statusAtStart;
    };

    explicit ScriptedDevice(TestRig& rig);

    std::vector<Frame> frames;
    std::map<int, std::string> images;  // by the address's first byte: 0 main, 1 L, 2 L2
    std::vector<std::size_t> split{259};
    int delayMs = 20;
    int gapMs = 10;
    bool keepsWrites = false;
    // Frames for which this holds go unanswered.
    std::function<bool(const Frame&)> silentOn = [](const Frame&) { return false; };

    std::vector<int> codes() const;
    int count(std::uint8_t code) const;
    // Bytes 3 to 259 of every sector write, in order.
    std::vector<std::string> sectorWrites() const;

  private:
    void onWrite(std::string_view bytes);
    void react(const Frame& frame);
    // One answer after the other, as on a serial line.
    void send(std::string bytes, std::int64_t at);

    TestRig& rig_;
    std::string pending_;
    std::int32_t stored_ = 0;
    std::string status_;
    int image_ = 0;
    std::size_t next_ = 0;
    std::int64_t lineFreeAt_ = 0;
};

}  // namespace tolvan::sim
