#include "Observations.h"

#include <unistd.h>

#include <sstream>

#include "Harness.h"
#include "device/Commands.h"
#include "device/FrameLog.h"

namespace tolvan::e2e {

std::vector<ShownMessage> readShownMessages(const std::filesystem::path& file) {
    std::vector<ShownMessage> messages;
    std::istringstream in(readFile(file));
    std::string line;
    while (std::getline(in, line)) {
        // Written on Windows, a line ends in CR LF (a CR of the text is escaped).
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const auto tab1 = line.find('\t');
        const auto tab2 = tab1 == std::string::npos ? tab1 : line.find('\t', tab1 + 1);
        if (tab2 == std::string::npos) continue;
        ShownMessage m;
        m.time = std::stoll(line.substr(0, tab1));
        m.title = line.substr(tab1 + 1, tab2 - tab1 - 1);
        // \r, \n, \t and \\ stand for themselves.
        for (std::size_t i = tab2 + 1; i < line.size(); ++i) {
            char c = line[i];
            if (c == '\\' && i + 1 < line.size()) {
                const char e = line[++i];
                c = e == 'r' ? '\r' : e == 'n' ? '\n' : e == 't' ? '\t' : e;
            }
            m.text += c;
        }
        messages.push_back(std::move(m));
    }
    return messages;
}

std::string describe(const std::vector<ShownMessage>& messages) {
    std::string out;
    for (const ShownMessage& m : messages) {
        std::string text = m.text;
        for (char& c : text)
            if (c == '\r') c = '|';
        out += "\n  [" + m.title + "] \"" + text + "\"";
    }
    return out.empty() ? " (none)" : out;
}

std::vector<LoggedFrame> parseFrameLog(const std::string& text) {
    std::vector<LoggedFrame> frames;
    for (const emu::LogEntry& e : emu::parseFrameLog(text))
        frames.push_back({e.atUs, emu::directionName(e.dir), e.name,
                          static_cast<int>(e.bytes.size()), emu::hexBytes(e.bytes)});
    return frames;
}

std::vector<LoggedFrame> receivedAfter(const std::vector<LoggedFrame>& frames, long long time) {
    std::vector<LoggedFrame> out;
    for (const LoggedFrame& f : frames)
        if (f.direction == "rx" && f.time > time) out.push_back(f);
    return out;
}

std::vector<LoggedFrame> named(const std::vector<LoggedFrame>& frames, const std::string& name) {
    std::vector<LoggedFrame> out;
    for (const LoggedFrame& f : frames)
        if (f.name == name) out.push_back(f);
    return out;
}

std::vector<std::string> logLinesAfter(const std::string& apdLog, const std::string& afterType,
                                       const std::string& afterSubType, const std::string& type) {
    std::vector<std::string> out;
    std::istringstream in(apdLog);
    std::string line;
    bool after = false;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string time, lineType, subType;
        fields >> time >> lineType >> subType;
        if (!after) {
            after = lineType == afterType && subType == afterSubType;
        } else if (lineType == type) {
            out.push_back(line);
        }
    }
    return out;
}

double cpuSeconds(pid_t pid) {
    // Fields 14 and 15 of /proc/<pid>/stat, after the command name in parentheses.
    const std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
    const auto close = stat.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int k = 3; k <= 15 && fields >> field; ++k) {
        if (k == 14) utime = std::stoull(field);
        if (k == 15) stime = std::stoull(field);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

}  // namespace tolvan::e2e
