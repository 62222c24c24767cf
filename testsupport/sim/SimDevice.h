#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "device/DeviceModel.h"
#include "device/LinePacer.h"

namespace tolvan::sim {

class SimLoop;
class SimSerialDriver;

// The device emulator's logic on the simulated line: every write of the host goes to the device
// model at the simulated time, and the model's answers reach the host through deliver() at the
// times the line's pacing, delays and split gaps give (rounded up to the next millisecond). A
// hang-up breaks the line (the host's writes fail) and nothing more is answered.
// It takes the line's onHostWrite hook; build it after the loop and the line, so it goes first.
class SimDevice {
  public:
    SimDevice(SimLoop& loop, SimSerialDriver& serial, emu::DeviceOptions options = {},
              emu::LineOptions line = {});
    ~SimDevice();
    SimDevice(const SimDevice&) = delete;
    SimDevice& operator=(const SimDevice&) = delete;

    emu::DeviceModel& model() { return model_; }
    emu::ImageStore& store() { return model_.store(); }
    // Every frame heard and every answer sent, times in simulated microseconds.
    const std::vector<emu::LogEntry>& log() const { return log_; }
    // The frames heard, as their command codes in order (junk and dropped bytes left out).
    std::vector<std::uint8_t> framesHeard() const;
    bool hungUp() const { return model_.hungUp(); }

  private:
    void onHostWrite(std::string_view bytes);
    void handle(const std::vector<emu::Reaction>& reactions);
    void armDeadline();

    SimLoop& loop_;
    SimSerialDriver& serial_;
    emu::DeviceModel model_;
    emu::LinePacer pacer_;
    std::vector<emu::LogEntry> log_;
    std::int64_t armedUs_ = -1;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace tolvan::sim
