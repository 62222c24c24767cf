#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "services/SerialDriver.h"

class QSocketNotifier;

namespace tolvan {

namespace heldoutput {
class BurstEnd;
}

// A serial device driven through termios on the Qt event loop of the user-interface thread.
// Opening takes the device for this program alone (TIOCEXCL and an exclusive flock), and is
// refused when another program holds either, even to root, whom TIOCEXCL lets through; it sets
// the line raw at 19200 baud, 8N1, no flow control, DTR and RTS raised; a pseudo-terminal,
// which refuses DTR/RTS and ignores the speed, opens all the same. Received bytes are read as
// soon as the descriptor is readable and announced to the listener. Writes wait in an output
// queue of kOutSize bytes: what is written in one burst (the program writes its frames a byte
// at a time) goes to the device in one write when the burst ends (HeldOutput), so that no
// frame leaves in pieces with gaps the device could take for its end; what the device cannot
// take at once is sent when it is writable, and closing sends what is left. A line that is
// gone (hang-up, I/O error, on reading or on sending) stops being watched: writes are
// refused, the listener is told once, and the device can be closed and opened again.
class PosixSerialDriver : public SerialDriver {
  public:
    static constexpr std::size_t kOutSize = 4096;

    PosixSerialDriver();
    ~PosixSerialDriver() override;
    PosixSerialDriver(const PosixSerialDriver&) = delete;
    PosixSerialDriver& operator=(const PosixSerialDriver&) = delete;

    bool open(const std::string& devicePath, std::string& error) override;
    void close() override;
    bool isOpen() const override { return fd_ >= 0; }
    bool write(std::string_view bytes) override;
    bool lineIsLost() const override { return lost_; }
    std::string takeReceived() override;
    void setListener(Listener* listener) override { listener_ = listener; }
    Availability probe(const std::string& devicePath) override;

    // Bytes waiting in the output queue.
    std::size_t queued() const { return out_.size(); }
    // How often the descriptor was reported readable since the driver was made; a line that
    // keeps waking the loop without giving anything would show here.
    std::uint64_t readWakeups() const { return readWakeups_; }
    // How many write() calls went to the device since the driver was made.
    std::uint64_t deviceWrites() const { return deviceWrites_; }

  private:
    void onReadable();
    void onWritable();
    // The burst of writes has ended (HeldOutput).
    void onBurstEnd();
    // Writes what the device takes now; watches for writability while some is left.
    void flush();
    void loseLine(int error);

    int fd_ = -1;
    std::string device_;
    bool lost_ = false;
    std::string in_;
    std::string out_;
    Listener* listener_ = nullptr;
    std::unique_ptr<QSocketNotifier> readNotifier_;
    std::unique_ptr<QSocketNotifier> writeNotifier_;
    std::unique_ptr<heldoutput::BurstEnd> burstEnd_;
    std::uint64_t readWakeups_ = 0;
    std::uint64_t deviceWrites_ = 0;
    std::uint64_t openings_ = 0;
};

}  // namespace tolvan
