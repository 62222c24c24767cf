#include "sim/SimDevice.h"

#include "sim/SimLoop.h"
#include "sim/SimSerial.h"

namespace tolvan::sim {

namespace {

std::int64_t toMsCeil(std::int64_t us) {
    return (us + 999) / 1000;
}

}  // namespace

SimDevice::SimDevice(SimLoop& loop, SimSerialDriver& serial, emu::DeviceOptions options,
                     emu::LineOptions line)
    : loop_(loop), serial_(serial), model_(std::move(options)), pacer_(line) {
    serial_.onHostWrite = [this](std::string_view bytes) { onHostWrite(bytes); };
}

SimDevice::~SimDevice() {
    *alive_ = false;
    serial_.onHostWrite = nullptr;
}

std::vector<std::uint8_t> SimDevice::framesHeard() const {
    std::vector<std::uint8_t> codes;
    for (const emu::LogEntry& e : log_)
        if (e.dir == emu::LogEntry::Dir::Rx && e.bytes.size() >= 3 && e.name.rfind("Cmd", 0) == 0)
            codes.push_back(static_cast<std::uint8_t>(e.bytes[2]));
    return codes;
}

void SimDevice::onHostWrite(std::string_view bytes) {
    handle(model_.receive(bytes, loop_.nowMs() * 1000));
    armDeadline();
}

void SimDevice::handle(const std::vector<emu::Reaction>& reactions) {
    const std::int64_t nowUs = loop_.nowMs() * 1000;
    for (const emu::Reaction& r : reactions) {
        log_.push_back(r.received);
        if (r.hangUp) {
            serial_.setBroken(true);
            log_.push_back({nowUs, 0, emu::LogEntry::Dir::Event, "hangup", "", "line closed"});
            return;
        }
        for (auto& w : pacer_.schedule(r.answer, r.cuts, r.delayUs, nowUs)) {
            std::weak_ptr<bool> alive = alive_;
            loop_.post(toMsCeil(w.atUs), [this, alive, w, name = r.answerName] {
                // A hang-up silences what was still on its way.
                if (alive.expired() || !*alive.lock() || model_.hungUp()) return;
                log_.push_back(
                    {loop_.nowMs() * 1000, 0, emu::LogEntry::Dir::Tx, name, w.bytes, ""});
                serial_.deliverNow(w.bytes);
            });
        }
    }
}

// A frame waiting for a quiet gap ends when the gap has passed, also if the host sends nothing.
void SimDevice::armDeadline() {
    const auto deadline = model_.deadlineUs();
    if (!deadline || *deadline == armedUs_) return;
    armedUs_ = *deadline;
    std::weak_ptr<bool> alive = alive_;
    loop_.post(toMsCeil(*deadline), [this, alive] {
        if (alive.expired() || !*alive.lock()) return;
        armedUs_ = -1;
        handle(model_.tick(loop_.nowMs() * 1000));
        armDeadline();
    });
}

}  // namespace tolvan::sim
