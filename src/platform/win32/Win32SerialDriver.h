#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "services/SerialDriver.h"

namespace tolvan {

namespace heldoutput {
class BurstEnd;
}

// A COM port driven with overlapped I/O on the Qt event loop of the user-interface thread: one
// read is always under way and its completion wakes the loop (QWinEventNotifier), so a silent
// line costs nothing. "COM12" is opened as \\.\COM12, which reaches every port number; opening
// sets 19200 baud, 8N1, no flow control, DTR and RTS raised through the DCB, and is refused
// when another program holds the port. What one turn of the loop writes leaves in one WriteFile
// (HeldOutput). A read, write or status query that fails for any reason but "under way" means
// the adapter is gone (a pulled USB adapter fails with one of several codes): the line is told
// lost once, after the bytes that came before, and the port is left alone until it is closed.
class Win32SerialDriver : public SerialDriver {
  public:
    static constexpr std::size_t kOutSize = 4096;

    Win32SerialDriver();
    ~Win32SerialDriver() override;
    Win32SerialDriver(const Win32SerialDriver&) = delete;
    Win32SerialDriver& operator=(const Win32SerialDriver&) = delete;

    bool open(const std::string& devicePath, std::string& error) override;
    void close() override;
    bool isOpen() const override;
    bool write(std::string_view bytes) override;
    bool lineIsLost() const override { return lost_; }
    std::string takeReceived() override;
    void setListener(Listener* listener) override { listener_ = listener; }
    Availability probe(const std::string& devicePath) override;

    // How often a read's completion woke the loop since the driver was made.
    std::uint64_t readWakeups() const { return readWakeups_; }
    // How many WriteFile calls went to the port since the driver was made.
    std::uint64_t deviceWrites() const { return deviceWrites_; }

  private:
    struct Operation;

    void startRead();
    void onReadDone();
    void startWrite();
    void onWriteDone();
    void onBurstEnd();
    void loseLine(unsigned long error);
    // Waits until the operations under way have ended (cancelled when `cancel`).
    void settle(bool cancel);

    void* port_;
    void* claim_ = nullptr;
    std::unique_ptr<Operation> read_;
    std::unique_ptr<Operation> write_;
    std::unique_ptr<heldoutput::BurstEnd> burstEnd_;
    std::string device_;
    std::string in_;
    std::string out_;
    bool lost_ = false;
    Listener* listener_ = nullptr;
    std::uint64_t openings_ = 0;
    std::uint64_t readWakeups_ = 0;
    std::uint64_t deviceWrites_ = 0;
};

}  // namespace tolvan
