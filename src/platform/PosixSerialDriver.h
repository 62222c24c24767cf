#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/DescriptorSerialDriver.h"

namespace tolvan {

// A serial device driven through termios on the Qt event loop of the user-interface thread
// (reading, the output queue and the line's loss as DescriptorSerialDriver has them).
// Opening takes the device for this program alone (TIOCEXCL and an exclusive flock), and is
// refused when another program holds either, even to root, whom TIOCEXCL lets through; it sets
// the line raw at 19200 baud, 8N1, no flow control, DTR and RTS raised; a pseudo-terminal,
// which refuses DTR/RTS and ignores the speed, opens all the same. What is written in one
// burst (the program writes its frames a byte at a time) goes to the device in one write, so
// that no frame leaves in pieces with gaps the device could take for its end; closing sends
// what is left, without waiting. A line that is gone (hang-up, I/O error) can be closed and
// opened again.
class PosixSerialDriver : public DescriptorSerialDriver {
  public:
    static constexpr std::size_t kOutSize = 4096;

    PosixSerialDriver();
    ~PosixSerialDriver() override;
    PosixSerialDriver(const PosixSerialDriver&) = delete;
    PosixSerialDriver& operator=(const PosixSerialDriver&) = delete;

    bool open(const std::string& devicePath, std::string& error) override;
    void close() override;
    bool write(std::string_view bytes) override;
    Availability probe(const std::string& devicePath) override;

  private:
    Io readSome(char* data, std::size_t size) override;
    Io writeSome(const char* data, std::size_t size) override;
    std::string readEnded(int error) const override;
    std::string sendFailed(int error) const override;

    std::string device_;
};

}  // namespace tolvan
