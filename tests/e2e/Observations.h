#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

// What an end-to-end test reads back after the fact: the messages the operator was shown, the
// frames the device saw, the serial layer's log and the program's processor time.
namespace tolvan::e2e {

// One message dialog as the program showed it (TOLVAN_MESSAGE_LOG): when (µs on the monotonic
// clock), its title and its text, carriage returns included.
struct ShownMessage {
    long long time = 0;
    std::string title;
    std::string text;
};
std::vector<ShownMessage> readShownMessages(const std::filesystem::path& file);
// The texts alone, in order, for failure messages.
std::string describe(const std::vector<ShownMessage>& messages);

// One line of the emulator's frame log, as the tests compare it.
struct LoggedFrame {
    long long time = 0;     // µs, monotonic: the arrival of an rx frame's last byte
    std::string direction;  // rx, tx or --
    std::string name;       // CmdNome, RespostaLink, junk, hangup ...
    int count = 0;          // bytes
    std::string hex;        // "00 05 08 01 FF"
};
std::vector<LoggedFrame> parseFrameLog(const std::string& text);
// The frames the device received after `time` (µs).
std::vector<LoggedFrame> receivedAfter(const std::vector<LoggedFrame>& frames, long long time);
std::vector<LoggedFrame> named(const std::vector<LoggedFrame>& frames, const std::string& name);

// The log lines of the serial layer's APD.LOG whose type column is `type` after the first line
// of type `afterType` and subtype `afterSubType` (none when that line is missing).
std::vector<std::string> logLinesAfter(const std::string& apdLog, const std::string& afterType,
                                       const std::string& afterSubType, const std::string& type);

// The processor time (user and system) a process has used so far, in seconds.
double cpuSeconds(pid_t pid);

}  // namespace tolvan::e2e
