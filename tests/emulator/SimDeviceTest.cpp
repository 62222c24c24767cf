#include <gtest/gtest.h>

#include "HostFrames.h"
#include "device/Commands.h"
#include "device/FrameLog.h"
#include "sim/SimDevice.h"
#include "sim/SimLoop.h"
#include "sim/SimSerial.h"

namespace tolvan::sim {
namespace {

using namespace emu::test;

// A host on the simulated line that writes byte by byte, as the program's frames go out.
struct Line {
    explicit Line(emu::DeviceOptions options = {}, emu::LineOptions line = {})
        : device(loop, serial, std::move(options), line) {
        serial.addDevice("/dev/ttyS1");
        std::string error;
        EXPECT_TRUE(serial.open("/dev/ttyS1", error));
    }
    void send(const std::string& frame) {
        for (char b : frame)
            serial.write(std::string(1, b));
    }
    // Waits up to a second of simulated time for n bytes.
    std::string ask(const std::string& frame, std::size_t n) {
        send(frame);
        std::string got;
        loop.runUntil(
            [&] {
                got += serial.takeReceived();
                return got.size() >= n;
            },
            1000);
        return got;
    }

    SimLoop loop;
    SimSerialDriver serial{loop};
    SimDevice device;
};

TEST(SimDeviceTest, AnswersArriveAtTheLinesPaceOnTheSimulatedClock) {
    Line line;
    EXPECT_EQ(line.ask(linkPoll(), 3), bytes({0x00, 0x03, 0x01}));
    EXPECT_EQ(line.loop.nowMs(), 2);  // 3 bytes at 19200 baud take 1.6 ms
    const std::int64_t start = line.loop.nowMs();
    line.ask(endereco2Leitura(emu::kMainImage), 3);
    EXPECT_EQ(line.ask(leSetor(), 259).size(), 259u);
    EXPECT_EQ(line.loop.nowMs() - start, 2 + 135);
}

TEST(SimDeviceTest, ProgramsAndReadsBackThroughTheSameDeviceLogic) {
    emu::LineOptions fast;
    fast.pacing = false;
    Line line({}, fast);
    const std::string image = pattern(300);
    line.ask(nome("SIS01.BIN"), 3);
    line.ask(endereco2Gravacao(emu::kLImage), 3);
    for (const std::string& frame : gravaSetores(image))
        EXPECT_EQ(line.ask(frame, 3), bytes({0x00, 0x03, 0x06}));
    line.ask(endereco2Leitura(emu::kLImage), 3);
    std::string back = line.ask(leSetor(), 259).substr(3);
    back += line.ask(leSetor(), 259).substr(3);
    EXPECT_EQ(back.substr(0, 300), image);
    EXPECT_EQ(line.device.framesHeard(),
              (std::vector<std::uint8_t>{emu::kNome, emu::kEndereco2Gravacao, emu::kGravaSetor,
                                         emu::kGravaSetor, emu::kEndereco2Leitura, emu::kLeSetor,
                                         emu::kLeSetor}));
}

TEST(SimDeviceTest, LongNameIsAnsweredAfterTheQuietGapWithoutFurtherBytes) {
    Line line;
    line.send(nome("A-VERY-LONG-SYSTEM.BIN"));
    line.loop.runFor(40);
    EXPECT_EQ(line.serial.takeReceived(), "");
    line.loop.runFor(100);
    EXPECT_EQ(line.serial.takeReceived(), bytes({0x00, 0x03, 0x02}));
    EXPECT_EQ(line.device.model().lastName(), "A-VERY-LONG-SYSTEM.BIN");
}

TEST(SimDeviceTest, HangUpBreaksTheLineAndSilencesAnswersOnTheirWay) {
    emu::DeviceOptions options;
    options.hangUpAfter = emu::FrameSelector::parse("LeSetor:1");
    options.delayUs = 50'000;
    Line line(options);
    line.send(linkPoll());  // answered 50 ms later...
    line.send(leSetor());   // ...but the line goes dead first
    line.loop.runFor(500);
    EXPECT_EQ(line.serial.takeReceived(), "");
    EXPECT_TRUE(line.device.hungUp());
    EXPECT_FALSE(line.serial.write(linkPoll()));
}

TEST(SimDeviceTest, SplitAnswersArriveAsSeparateDeliveries) {
    emu::DeviceOptions options;
    options.splits = {1};
    emu::LineOptions lineOptions;
    lineOptions.pacing = false;
    Line line(options, lineOptions);
    line.send(linkPoll());
    line.loop.runFor(1);
    EXPECT_EQ(line.serial.takeReceived(), bytes({0x00}));
    line.loop.runFor(20);
    EXPECT_EQ(line.serial.takeReceived(), bytes({0x03, 0x01}));
}

// The frame log reads back as it was written; what is not a line of it is passed over.
TEST(SimDeviceTest, TheFrameLogReadsBackAsWritten) {
    Line line;
    line.ask(linkPoll(), 3);
    std::string text;
    for (const emu::LogEntry& e : line.device.log())
        text += emu::formatLogLine(e) + "\n";
    text +=
        "12 rx CmdLink 5 0 00 05\n"        // fewer bytes than counted
        "12 up CmdLink 1 0 00\n"           // no such direction
        "12 tx RespostaLink 1 0 0G\n"      // not a byte
        "12 -- hangup 0 0 # the cable\n";  // an event, with its note
    const std::vector<emu::LogEntry> read = emu::parseFrameLog(text);
    ASSERT_EQ(read.size(), line.device.log().size() + 1);
    for (std::size_t i = 0; i < line.device.log().size(); ++i)
        EXPECT_EQ(emu::formatLogLine(read[i]), emu::formatLogLine(line.device.log()[i])) << i;
    EXPECT_EQ(read.back().dir, emu::LogEntry::Dir::Event);
    EXPECT_EQ(read.back().note, "the cable");
}

}  // namespace
}  // namespace tolvan::sim
