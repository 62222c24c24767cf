#include "link/SerialTrace.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "services/PathResolver.h"

namespace tolvan {

namespace {

constexpr const char* kHexDigits = "0123456789ABCDEF";
constexpr const char* kEol = "\r\n";

// One log line: time right-aligned, then the four text columns, trailing blanks taken off.
std::string logLine(std::string_view time, std::string_view type, std::string_view subType,
                    std::string_view data, std::string_view otherData) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "%8.*s  %-8.*s  %-8.*s  %-10.*s  ",
                  static_cast<int>(time.size()), time.data(), static_cast<int>(type.size()),
                  type.data(), static_cast<int>(subType.size()), subType.data(),
                  static_cast<int>(data.size()), data.data());
    std::string line = buf;
    line += otherData;
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    return line + kEol;
}

// Writes `text` as the whole file; empty when it was written, else the file and why not.
// Opened by the path itself: on Windows a narrow name would go through the ANSI code page, and a
// folder it cannot spell would lose the trace.
std::string writeFile(const std::filesystem::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out) return utf8(file) + ": " + std::strerror(errno);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.flush();
    const int error = errno;
    const bool written = out.good();
    out.close();
    if (written && !out.fail()) return {};
    return utf8(file) + ": " + std::strerror(written ? errno : error);
}

}  // namespace

std::string hexPreview(std::string_view bytes, std::size_t limit) {
    std::string out;
    for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
        const auto b = static_cast<std::uint8_t>(bytes[i]);
        if (i > 0) out += ' ';
        out += kHexDigits[b >> 4];
        out += kHexDigits[b & 0x0F];
    }
    if (bytes.size() > limit) out += " ...";
    return out;
}

void SerialTrace::start(std::int64_t nowMs) {
    if (state_ != State::Waiting) return;
    state_ = State::Recording;
    startMs_ = nowMs;
}

void SerialTrace::transmit(std::string_view bytes) {
    record(false, bytes);
}

void SerialTrace::receive(std::string_view bytes) {
    record(true, bytes);
}

void SerialTrace::record(bool received, std::string_view bytes) {
    if (!recording()) return;
    for (char c : bytes)
        chars_.push_back({received, static_cast<std::uint8_t>(c)});
    while (chars_.size() > kTraceSize)
        chars_.pop_front();
}

void SerialTrace::log(std::int64_t nowMs, std::string_view type, std::string_view subType,
                      std::string_view data, std::string_view otherData) {
    if (!recording()) return;
    flushReads();
    std::string line = logLine(std::to_string(nowMs - startMs_), type, subType, data, otherData);
    logBytes_ += line.size();
    logLines_.push_back(std::move(line));
    while (logBytes_ > kLogSize && !logLines_.empty()) {
        logBytes_ -= logLines_.front().size();
        logLines_.pop_front();
    }
}

void SerialTrace::noteRead(std::int64_t nowMs) {
    if (!recording()) return;
    ++pendingReads_;
    lastReadMs_ = nowMs;
}

void SerialTrace::flushReads() {
    if (pendingReads_ == 0) return;
    const int count = pendingReads_;
    pendingReads_ = 0;
    log(lastReadMs_, "Read", "Chars", std::to_string(count));
}

std::string SerialTrace::traceText() const {
    std::string out;
    bool inRun = false;
    bool runReceived = false;
    std::size_t column = 0;
    for (const Char& c : chars_) {
        if (!inRun || c.received != runReceived) {
            if (inRun) out += std::string(kEol) + kEol;  // ends the last line, then an empty one
            out += c.received ? "Receive: " : "Transmit: ";
            out += kEol;
            inRun = true;
            runReceived = c.received;
            column = 0;
        }
        std::string item;
        if (c.byte >= '!' && c.byte <= '~') {
            item = static_cast<char>(c.byte);
        } else {
            item = {'[', kHexDigits[c.byte >> 4], kHexDigits[c.byte & 0x0F], ']'};
        }
        if (column > 0 && column + item.size() > kLineWidth) {
            out += kEol;
            column = 0;
        }
        out += item;
        column += item.size();
    }
    if (inRun) out += kEol;
    return out;
}

std::string SerialTrace::logText() const {
    std::string out = logLine("Time", "Type", "SubType", "Data", "OtherData");
    out += logLine("--------", "--------", "--------", "----------", "---------");
    for (const std::string& line : logLines_)
        out += line;
    if (pendingReads_ > 0) {
        out += logLine(std::to_string(lastReadMs_ - startMs_), "Read", "Chars",
                       std::to_string(pendingReads_), {});
    }
    return out;
}

std::string SerialTrace::finish(const std::filesystem::path& traceFile,
                                const std::filesystem::path& logFile) {
    if (!recording()) return {};
    flushReads();
    const std::string traceError = writeFile(traceFile, traceText());
    const std::string logError = writeFile(logFile, logText());
    state_ = State::Done;
    chars_.clear();
    logLines_.clear();
    logBytes_ = 0;
    if (traceError.empty() || logError.empty()) return traceError + logError;
    return traceError + "; " + logError;
}

}  // namespace tolvan
