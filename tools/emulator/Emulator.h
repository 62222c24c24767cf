#pragma once

#include <cstdint>
#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "PtyLine.h"
#include "device/DeviceModel.h"
#include "device/LinePacer.h"
#include "emulator/CommandLine.h"

namespace tolvan::emu {

// The device model on a pty: reads the host's bytes, writes the answers at their paced times,
// logs every frame. Single-threaded around ppoll, with nanosecond timeouts.
class Emulator {
  public:
    explicit Emulator(EmulatorConfig config);
    ~Emulator();
    Emulator(const Emulator&) = delete;
    Emulator& operator=(const Emulator&) = delete;

    // Sets everything up, prints the slave path and runs until a signal or a hang-up. Returns
    // the process's exit code.
    int run();

  private:
    struct Pending {
        std::int64_t atUs;
        std::string bytes;
        std::string name;
    };

    bool setUp();
    void handle(const std::vector<Reaction>& reactions, std::int64_t nowUs);
    // Writes what is due; false when the pty would block.
    bool sendDue(std::int64_t nowUs);
    void log(const LogEntry& entry);
    void logEvent(const std::string& name, const std::string& note);
    bool saveStore();

    EmulatorConfig config_;
    DeviceModel model_;
    LinePacer pacer_;
    PtyLine pty_;
    std::deque<Pending> queue_;
    std::FILE* frameLog_ = nullptr;
    bool hangUp_ = false;
};

std::int64_t monotonicUs();

}  // namespace tolvan::emu
