#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "services/SerialDriver.h"

class QSocketNotifier;

namespace tolvan {

namespace heldoutput {
class BurstEnd;
}

// What a serial driver over a non-blocking descriptor does on the Qt event loop of the
// user-interface thread, be the descriptor a local device's or a connection's: received bytes
// are read as soon as it is readable and announced to the listener; writes wait in an output
// queue, what one burst writes sent in one piece when the burst ends (HeldOutput), what the
// descriptor cannot take at once when it is writable; a line that is gone, found on reading
// or on sending, stops being watched, refuses writes and is told to the listener once, after
// the bytes that came before its end. The subclass opens and closes the descriptor, sends on
// it, and says why a line ended.
class DescriptorSerialDriver : public SerialDriver {
  public:
    ~DescriptorSerialDriver() override;
    DescriptorSerialDriver(const DescriptorSerialDriver&) = delete;
    DescriptorSerialDriver& operator=(const DescriptorSerialDriver&) = delete;

    bool isOpen() const override { return fd_ >= 0; }
    bool lineIsLost() const override { return lost_; }
    std::string takeReceived() override;
    void setListener(Listener* listener) override { listener_ = listener; }

    // Bytes waiting in the output queue.
    std::size_t queued() const { return out_.size(); }
    // How often the descriptor was reported readable since the driver was made; a line that
    // keeps waking the loop without giving anything would show here.
    std::uint64_t readWakeups() const { return readWakeups_; }
    // How many writes went to the descriptor since the driver was made.
    std::uint64_t deviceWrites() const { return deviceWrites_; }

  protected:
    // `outSize`: the bytes the output queue holds at most.
    explicit DescriptorSerialDriver(std::size_t outSize);

    // The outcome of one read or write of the descriptor.
    struct Io {
        enum class State {
            Moved,  // `count` bytes (at least one) read or written
            Again,  // nothing now: the descriptor is not ready
            Ended,  // the line is over: the other end closed (`error` 0) or it failed
        };
        State state = State::Ended;
        std::size_t count = 0;
        int error = 0;  // the system's error code
    };

    std::intptr_t fd() const { return fd_; }
    // Watches a descriptor just opened, with nothing received or queued.
    void watch(std::intptr_t fd);
    // Stops watching, before the descriptor is closed; what is queued stays.
    void stopWatching();
    // Forgets the closed descriptor, what it received and what was queued for it.
    void forget();

    const std::string& outQueue() const { return out_; }
    // Queues bytes to go when the burst of writes ends; false when the queue cannot take them.
    bool hold(std::string_view bytes);
    // Queues bytes for the next flush().
    void queue(std::string_view bytes) { out_ += bytes; }
    // Writes what the descriptor takes now; watches for writability while some is left.
    void flush();
    // One write of what is queued, whatever the descriptor takes of it: closing must not wait.
    void lastSend();
    // Keeps received data for the listener, up to a limit.
    void keep(std::string_view data);
    void loseLine(const std::string& reason);

  private:
    // One read from the descriptor, and one write to it; an interrupted call is made again.
    virtual Io readSome(char* data, std::size_t size) = 0;
    virtual Io writeSome(const char* data, std::size_t size) = 0;
    // Whether the other end will be sent anything now.
    virtual bool maySend() const { return true; }
    // Bytes read from the descriptor.
    virtual void take(std::string_view bytes) { keep(bytes); }
    // Called after every reading that leaves the descriptor open: why the line is over all
    // the same, if it is.
    virtual std::optional<std::string> afterReading() { return std::nullopt; }
    // Why the line is gone: reading found it closed (error 0) or failed with `error`.
    virtual std::string readEnded(int error) const = 0;
    // Why the line is gone: sending failed with `error`.
    virtual std::string sendFailed(int error) const = 0;
    // The line is lost for `reason`; called before the listener is told.
    virtual void noteLoss(const std::string& reason) { (void)reason; }

    void onReadable();
    void onWritable();
    // The burst of writes has ended (HeldOutput).
    void onBurstEnd();

    std::size_t outSize_;
    std::intptr_t fd_ = -1;
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
