#include "sim/ScriptedDevice.h"

#include <algorithm>

#include "device/Commands.h"
#include "sim/TestRig.h"

namespace tolvan::sim {

namespace {

// The device's own frame lengths; an unknown code is taken as a 6-byte frame.
std::size_t lengthOf(std::uint8_t code) {
    const auto shape = emu::shapeOf(code);
    return shape ? shape->length : 6;
}

std::string threeBytes(std::uint8_t a, std::uint8_t b, std::uint8_t c) {
    return {static_cast<char>(a), static_cast<char>(b), static_cast<char>(c)};
}

}  // namespace

ScriptedDevice::ScriptedDevice(TestRig& rig) : rig_(rig) {
    rig.serial.onHostWrite = [this](std::string_view b) { onWrite(b); };
}

std::vector<int> ScriptedDevice::codes() const {
    std::vector<int> out;
    for (const Frame& f : frames)
        out.push_back(f.code);
    return out;
}

int ScriptedDevice::count(std::uint8_t code) const {
    return static_cast<int>(std::count_if(frames.begin(), frames.end(),
                                          [&](const Frame& f) { return f.code == code; }));
}

std::vector<std::string> ScriptedDevice::sectorWrites() const {
    std::vector<std::string> out;
    for (const Frame& f : frames)
        if (f.code == 0x06) out.push_back(f.bytes.substr(3));
    return out;
}

void ScriptedDevice::onWrite(std::string_view b) {
    if (pending_.empty()) {
        stored_ = rig_.componentes().run.QtdBytesLidos;
        status_ = rig_.componentes().lblStatus.caption();
    }
    pending_ += b;
    while (pending_.size() >= 3 && pending_.size() >= lengthOf(pending_[2])) {
        const auto code = static_cast<std::uint8_t>(pending_[2]);
        const std::size_t n = lengthOf(code);
        frames.push_back({rig_.loop.nowMs(), code, pending_.substr(0, n), stored_, status_});
        pending_.erase(0, n);
        react(frames.back());
    }
}

void ScriptedDevice::react(const Frame& f) {
    if (keepsWrites && f.code == 0x04) {
        image_ = f.bytes[3];
        images[image_].clear();
    }
    if (keepsWrites && f.code == 0x06) images[image_] += f.bytes.substr(3, 256);
    if (f.code == 0x07) {
        image_ = f.bytes[3];
        next_ = 0;
    }
    if (f.code == 0x0B || silentOn(f)) return;
    const std::int64_t at = std::max(rig_.loop.nowMs() + delayMs, lineFreeAt_);
    if (f.code != 0x09) {
        send(threeBytes(0x00, 0x03, f.code), at);
        return;
    }
    const std::string& image = images[image_];
    std::string data = image.substr(std::min(next_, image.size()), 256);
    data.resize(256, '\0');
    next_ += 256;
    const std::string answer = threeBytes(0x01, 0x03, 0x09) + data;
    std::size_t from = 0;
    for (std::size_t k = 0; from < answer.size(); ++k) {
        const std::size_t n = k + 1 < split.size() ? split[k] : answer.size() - from;
        send(answer.substr(from, n), at + static_cast<int>(k) * gapMs);
        from += n;
    }
}

void ScriptedDevice::send(std::string b, std::int64_t at) {
    rig_.serial.deliver(std::move(b), at);
    lineFreeAt_ = at + 1;
}

}  // namespace tolvan::sim
