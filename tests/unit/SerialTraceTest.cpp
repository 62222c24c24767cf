#include "link/SerialTrace.h"

#include <gtest/gtest.h>

#include <sstream>

#include "services/PathResolver.h"

namespace tolvan {
namespace {

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t eol; (eol = text.find("\r\n", start)) != std::string::npos; start = eol + 2)
        lines.push_back(text.substr(start, eol - start));
    EXPECT_EQ(start, text.size()) << "the text ends with a line break";
    return lines;
}

TEST(SerialTraceTest, NothingIsRecordedBeforeTheStart) {
    SerialTrace trace;
    trace.transmit("A");
    trace.log(0, "Port", "Open");
    trace.start(0);
    EXPECT_EQ(trace.traceText(), "");
    EXPECT_EQ(linesOf(trace.logText()).size(), 2u);  // heading and rule only
}

TEST(SerialTraceTest, RunsOfOneDirectionWithPrintablesAndHexItems) {
    SerialTrace trace;
    trace.start(0);
    trace.transmit("! ~");
    trace.transmit(std::string("\x7F\x00", 2));
    trace.receive("ok");
    trace.transmit("\n");
    EXPECT_EQ(trace.traceText(),
              "Transmit: \r\n![20]~[7F][00]\r\n"
              "\r\n"
              "Receive: \r\nok\r\n"
              "\r\n"
              "Transmit: \r\n[0A]\r\n");
}

TEST(SerialTraceTest, LinesBreakBeforeAnItemThatWouldPass78Columns) {
    std::string zeros;  // 19 hex items: 76 columns
    for (int i = 0; i < 19; ++i)
        zeros += "[00]";
    SerialTrace trace;
    trace.start(0);
    trace.transmit(std::string(19, '\0') + "ABC");
    trace.transmit(std::string(19, '\0') + "A\x01");                    // the same run goes on
    EXPECT_EQ(trace.traceText(), "Transmit: \r\n" + zeros + "AB\r\n" +  // 78 columns
                                     "C" + zeros + "A\r\n" +            // 78 columns
                                     "[01]\r\n");
}

TEST(SerialTraceTest, KeepsTheLast10000Characters) {
    SerialTrace trace;
    trace.start(0);
    trace.receive("RR");
    trace.transmit(std::string(SerialTrace::kTraceSize - 1, 'x'));
    trace.transmit("y");
    const std::vector<std::string> lines = linesOf(trace.traceText());
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "Transmit: ");  // the received characters have given way
    std::size_t chars = 0;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        EXPECT_LE(lines[i].size(), SerialTrace::kLineWidth);
        chars += lines[i].size();
    }
    EXPECT_EQ(chars, SerialTrace::kTraceSize);
    EXPECT_EQ(lines.back().back(), 'y');
}

TEST(SerialTraceTest, LogKeepsItsNewestLinesWithinTheSize) {
    SerialTrace trace;
    trace.start(1000);
    for (int i = 0; i < 1000; ++i)
        trace.log(1000 + i, "Write", "Queued", "1", "41");
    trace.noteRead(3000);
    trace.noteRead(3005);
    const std::string text = trace.logText();
    const std::vector<std::string> lines = linesOf(text);
    std::size_t body = 0;
    for (std::size_t i = 2; i < lines.size(); ++i)
        body += lines[i].size() + 2;
    EXPECT_LE(body, SerialTrace::kLogSize + lines.back().size() + 2);
    EXPECT_EQ(lines[lines.size() - 2].substr(0, 8), "     999");
    EXPECT_EQ(lines.back(), "    2005  Read      Chars     2");
}

TEST(SerialTraceTest, FinishingWritesOnceAndStopsRecording) {
    // A folder whose name the ANSI code page of Windows may not spell.
    const auto dir = std::filesystem::temp_directory_path() / pathFromUtf8("tolvan-traço-Δ");
    std::filesystem::create_directories(dir);
    const auto traceFile = dir / "tolvan-trace-test.trc";
    const auto logFile = dir / "tolvan-trace-test.log";
    SerialTrace trace;
    trace.start(0);
    trace.transmit("A");
    EXPECT_EQ(trace.finish(traceFile, logFile), "");
    EXPECT_TRUE(std::filesystem::exists(traceFile));
    EXPECT_TRUE(std::filesystem::exists(logFile));
    std::filesystem::remove(traceFile);
    std::filesystem::remove(logFile);

    EXPECT_EQ(trace.state(), SerialTrace::State::Done);
    trace.start(0);
    trace.transmit("B");
    EXPECT_EQ(trace.finish(traceFile, logFile), "");
    EXPECT_FALSE(std::filesystem::exists(traceFile));
    EXPECT_FALSE(std::filesystem::exists(logFile));
    std::filesystem::remove(dir);
}

// A trace that cannot be written whole (a full disk) is never passed off as written.
TEST(SerialTraceTest, FinishingSaysWhichFileWasNotWrittenAndWhy) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no always-full device like /dev/full";
#endif
    const auto logFile = std::filesystem::temp_directory_path() / "tolvan-trace-full.log";
    SerialTrace trace;
    trace.start(0);
    trace.transmit(std::string(5000, 'A'));
    EXPECT_EQ(trace.finish("/dev/full", logFile), "/dev/full: No space left on device");
    std::filesystem::remove(logFile);
}

TEST(SerialTraceTest, HexPreviewIsCutAfterItsLimit) {
    EXPECT_EQ(hexPreview(std::string("\x00\xAB\x10", 3)), "00 AB 10");
    EXPECT_EQ(hexPreview("ABC", 2), "41 42 ...");
    EXPECT_EQ(hexPreview(""), "");
}

}  // namespace
}  // namespace tolvan
