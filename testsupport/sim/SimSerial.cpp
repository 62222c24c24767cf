#include "sim/SimSerial.h"

#include <algorithm>

#include "sim/SimLoop.h"

namespace tolvan::sim {

void SimSerialDriver::setInUse(const std::string& path, bool inUse) {
    if (inUse) {
        inUse_.insert(path);
    } else {
        inUse_.erase(path);
    }
}

bool SimSerialDriver::open(const std::string& devicePath, std::string& error) {
    if (open_) close();
    if (!devices_.count(devicePath)) {
        error = "No such file or directory";
        return false;
    }
    if (inUse_.count(devicePath)) {
        error = "Device or resource busy";
        return false;
    }
    open_ = true;
    lost_ = false;
    device_ = devicePath;
    ++openCount_;
    return true;
}

void SimSerialDriver::close() {
    open_ = false;
    lost_ = false;
    incoming_.clear();
}

void SimSerialDriver::unplug(std::int64_t atMs) {
    loop_.post(atMs, [this] {
        devices_.erase(device_);
        if (!open_ || lost_) return;
        lost_ = true;
        incoming_.clear();
        if (listener_) listener_->lineLost("hang-up");
    });
}

bool SimSerialDriver::write(std::string_view bytes) {
    if (!open_ || broken_ || lost_) return false;
    writes_.push_back({loop_.nowMs(), std::string(bytes)});
    if (onHostWrite) onHostWrite(bytes);
    return true;
}

std::string SimSerialDriver::takeReceived() {
    std::string out;
    while (!incoming_.empty() && incoming_.front().atMs <= loop_.nowMs()) {
        out += incoming_.front().bytes;
        incoming_.pop_front();
    }
    return out;
}

void SimSerialDriver::deliver(std::string bytes, std::int64_t atMs) {
    if (!open_ || bytes.empty()) return;
    atMs = std::max(atMs, loop_.nowMs());
    Chunk chunk{atMs, std::move(bytes)};
    auto pos = std::upper_bound(incoming_.begin(), incoming_.end(), chunk.atMs,
                                [](std::int64_t t, const Chunk& c) { return t < c.atMs; });
    incoming_.insert(pos, std::move(chunk));
    loop_.post(atMs, [this] { notify(); });
}

void SimSerialDriver::deliverNow(std::string bytes) {
    deliver(std::move(bytes), loop_.nowMs());
}

void SimSerialDriver::notify() {
    // Bytes taken by an earlier notification leave nothing to announce.
    if (!open_ || !listener_) return;
    if (incoming_.empty() || incoming_.front().atMs > loop_.nowMs()) return;
    listener_->bytesArrived();
}

SerialDriver::Availability SimSerialDriver::probe(const std::string& devicePath) {
    if (!devices_.count(devicePath)) return Availability::Missing;
    if (inUse_.count(devicePath) || (open_ && device_ == devicePath)) return Availability::InUse;
    return Availability::Free;
}

std::string SimSerialDriver::written() const {
    std::string all;
    for (const Write& w : writes_)
        all += w.bytes;
    return all;
}

}  // namespace tolvan::sim
