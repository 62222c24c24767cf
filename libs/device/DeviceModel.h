#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/DeviceOptions.h"
#include "device/FrameLog.h"
#include "device/FrameParser.h"
#include "device/ImageStore.h"

namespace tolvan::emu {

// What the device does about one piece of the host's byte stream.
struct Reaction {
    LogEntry received;              // the frame, or the junk or dropped bytes
    std::uint8_t code = 0;          // the frame's command code; 0 for junk and dropped bytes
    int number = 0;                 // the frame's number, from 1; 0 for junk and dropped bytes
    std::string answer;             // bytes to send back; empty for none
    std::string answerName;         // RespostaLink, CabecalhoSetor or Ack
    std::vector<std::size_t> cuts;  // the answer goes out in pieces cut at these offsets
    std::int64_t delayUs = 0;       // the answer starts this long after the frame
    bool hangUp = false;            // the line goes dead now; nothing more is heard or said
};

// The Tolvan Link as the host sees it, without any line: bytes in, answers out. Time comes from
// the caller, in microseconds of any monotonic clock.
//
// The device answers a link poll with 00 03 01, every set-up frame and sector write with
// 00 03 <code>, a sector read with 01 03 09 and the sector's 256 bytes, and CmdExecuta with
// nothing. Images are named by the address of CmdEndereco2Gravacao / CmdEndereco2Leitura. The
// address frame of a write sequence erases its image and the sector writes that follow fill it
// from sector 1, each taking bytes 3 to 258 of its frame (byte 259 repeats the next sector's
// first byte and is ignored). The address frame of a read sequence rewinds that image to sector
// 1 and each sector read answers the next sector. A name frame closes the sequence under way.
class DeviceModel {
  public:
    explicit DeviceModel(DeviceOptions options = {});

    std::vector<Reaction> receive(std::string_view bytes, std::int64_t nowUs);
    // Lets time pass without bytes: a frame waiting for a quiet gap may end.
    std::vector<Reaction> tick(std::int64_t nowUs);
    // When tick() next has something to do.
    std::optional<std::int64_t> deadlineUs() const;

    ImageStore& store() { return store_; }
    const ImageStore& store() const { return store_; }
    const DeviceOptions& options() const { return options_; }

    bool hungUp() const { return hungUp_; }
    int frameCount() const { return frames_; }
    int frameCount(std::uint8_t code) const;
    int runCount() const { return runs_; }
    // The name of the last name frame, as its bytes read.
    const std::string& lastName() const { return name_; }

  private:
    enum class Sequence { None, Write, Read };

    void onPiece(FrameParser::Piece piece, std::vector<Reaction>& out);
    void onFrame(Reaction& r);
    std::string readSector(Address image, std::size_t sector,
                           std::vector<std::string>& notes) const;
    std::string linkAnswer();

    DeviceOptions options_;
    FrameParser parser_;
    ImageStore store_;
    std::map<std::uint8_t, int> codeCounts_;
    int frames_ = 0;
    int runs_ = 0;
    int linkPolls_ = 0;
    bool silentNow_ = false;
    bool hungUp_ = false;
    std::string name_;
    Sequence sequence_ = Sequence::None;
    Address image_ = 0;
    std::size_t nextSector_ = 1;
};

}  // namespace tolvan::emu
