#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "services/SerialDriver.h"

namespace tolvan::sim {

class SimLoop;

// A serial line on the simulated loop. The device side sees each write the moment the host
// makes it and answers by delivering bytes at a time of its choosing; bytes that arrive while
// the host is busy wait and are taken together, as on a real line.
class SimSerialDriver : public SerialDriver {
  public:
    struct Write {
        std::int64_t atMs;
        std::string bytes;
    };

    explicit SimSerialDriver(SimLoop& loop) : loop_(loop) {}

    // Devices that exist; opening any other path fails.
    void addDevice(const std::string& path) { devices_.insert(path); }
    // A device held by another program: opening it fails.
    void setInUse(const std::string& path, bool inUse);

    bool open(const std::string& devicePath, std::string& error) override;
    void close() override;
    bool isOpen() const override { return open_; }
    bool write(std::string_view bytes) override;
    std::string takeReceived() override;
    void setListener(Listener* listener) override { listener_ = listener; }
    Availability probe(const std::string& devicePath) override;

    // ---- The device side ----
    // Called for every write of the host, at the time of the write.
    std::function<void(std::string_view bytes)> onHostWrite;
    // Bytes reach the host's input at `atMs` (dropped while the port is closed).
    void deliver(std::string bytes, std::int64_t atMs);
    void deliverNow(std::string bytes);
    // Every write since the last clearWrites(), and all their bytes in one string.
    const std::vector<Write>& writes() const { return writes_; }
    std::string written() const;
    void clearWrites() { writes_.clear(); }
    const std::string& openedDevice() const { return device_; }
    int openCount() const { return openCount_; }
    // The line is gone: writes are refused.
    void setBroken(bool broken) { broken_ = broken; }
    // The device goes away under the open port at `atMs` (an adapter pulled out): the port's
    // line is lost and the device path no longer opens until `plugIn`.
    void unplug(std::int64_t atMs);
    void plugIn(const std::string& path) { addDevice(path); }
    bool lineIsLost() const override { return lost_; }

  private:
    struct Chunk {
        std::int64_t atMs;
        std::string bytes;
    };
    void notify();

    SimLoop& loop_;
    std::set<std::string> devices_;
    std::set<std::string> inUse_;
    bool open_ = false;
    bool broken_ = false;
    bool lost_ = false;
    int openCount_ = 0;
    std::string device_;
    Listener* listener_ = nullptr;
    std::deque<Chunk> incoming_;
    std::vector<Write> writes_;
};

}  // namespace tolvan::sim
