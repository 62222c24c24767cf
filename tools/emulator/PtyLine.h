#pragma once

#include <string>

namespace tolvan::emu {

// The emulator's end of a pseudo-terminal. The slave side is held open here as well, so the
// host can close and reopen the port without the master seeing a hang-up, and it is set raw
// (no echo, no line editing); the host sets its own termios when it opens the port.
class PtyLine {
  public:
    PtyLine() = default;
    ~PtyLine();
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    bool open(std::string& error);
    // Closes both sides: the host's port sees the line hang up.
    void close();
    int masterFd() const { return master_; }
    const std::string& slavePath() const { return slavePath_; }

  private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
};

}  // namespace tolvan::emu
