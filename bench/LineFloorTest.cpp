#include <gtest/gtest.h>

#include "LineFloor.h"
#include "SimOperation.h"
#include "device/FrameLog.h"
#include "sim/SimDevice.h"

namespace tolvan::bench {
namespace {

// The program on the simulated clock is the ideal host: it reacts at once and its pauses and
// timers are exact; only the line's deliveries are rounded up to the millisecond. Its run of a
// three-image system must therefore meet the floor, step by step, within that rounding.
class LineFloorTest : public ::testing::TestWithParam<int> {
  protected:
    std::vector<LogLine> runSystem(int linha) {
        sim::TestRig rig;
        emu::DeviceOptions options;
        options.delayUs = GetParam() * 1000;
        sim::SimDevice device(rig.loop, rig.serial, options);
        writeImage(rig, "PRINC.BIN", imagePattern(5 * 256 - 40, 1));
        writeImage(rig, "PRINC_L.BIN", imagePattern(2 * 256, 2));
        writeImage(rig, "PRINC_2.BIN", imagePattern(256, 3));
        message = runOperation(rig, {"Sistema", "PRINC.BIN", 5, "PRINC_L.BIN", 2, "PRINC_2.BIN", 1},
                               linha);
        std::string text;
        for (const emu::LogEntry& e : device.log())
            text += emu::formatLogLine(e) + "\n";
        return parseFrameLog(text);
    }
    LineModel model() const {
        LineModel m;
        m.answerDelayUs = GetParam() * 1000;
        return m;
    }
    std::string message;
};

void expectOnTheFloor(const LineFloor& r) {
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.images, 6);
    EXPECT_EQ(r.pausesUs + r.lineUs + r.delaysUs, r.floorUs);
    std::int64_t late = 0;
    for (const Step& s : r.each) {
        const std::int64_t stepLate = s.measuredUs - s.idealUs;
        EXPECT_GE(stepLate, 0) << s.kind << " to " << s.frame;
        EXPECT_LT(stepLate, 1000) << s.kind << " to " << s.frame;
        late += stepLate;
    }
    EXPECT_EQ(r.wallUs - r.floorUs, late);
}

TEST_P(LineFloorTest, ProgrammingAndVerificationMeetTheFloor) {
    const LineFloor r = computeLineFloor(runSystem(kGravacaoEVerificacao), model());
    EXPECT_EQ(message.rfind(" ARQUIVO VERIFICADO SEM ERROS", 0), 0u) << message;
    expectOnTheFloor(r);
    std::vector<std::string> kinds;
    for (const StepTotals& s : r.steps)
        kinds.push_back(s.kind);
    EXPECT_EQ(kinds, (std::vector<std::string>{"image start", "set-up step", "sector write",
                                               "image change", "sector read", "last answer"}));
    // Each image's set-up: name, two addresses, sector count, first sector.
    EXPECT_EQ(r.steps[1].count, 6 * 4);
    EXPECT_EQ(r.steps[2].count, (5 - 1) + (2 - 1) + (1 - 1));
    EXPECT_EQ(r.steps[4].count, (5 - 1) + (2 - 1) + (1 - 1));
}

// A host that answers late somewhere is charged exactly that much, in the step it was late in.
TEST_P(LineFloorTest, LatenessIsChargedToItsStep) {
    std::vector<LogLine> log = runSystem(kGravacaoEVerificacao);
    const LineFloor before = computeLineFloor(log, model());
    int reads = 0;
    bool shifting = false;
    for (LogLine& l : log) {
        if (l.dir == LogLine::Dir::Rx && l.name == "CmdLeSetor" && ++reads == 3) shifting = true;
        if (shifting) l.atUs += 7000;
    }
    const LineFloor after = computeLineFloor(log, model());
    ASSERT_TRUE(after.ok) << after.error;
    EXPECT_EQ(after.floorUs, before.floorUs);
    EXPECT_EQ(after.wallUs - before.wallUs, 7000);
    EXPECT_EQ(after.steps[4].kind, "sector read");
    EXPECT_EQ(after.steps[4].measuredUs - before.steps[4].measuredUs, 7000);
}

INSTANTIATE_TEST_SUITE_P(AnswerDelays, LineFloorTest, ::testing::Values(0, 3),
                         [](const auto& info) { return std::to_string(info.param) + "ms"; });

TEST(LineFloor, FrameLogWithoutATransferIsRefused) {
    const LineFloor r = computeLineFloor(
        parseFrameLog("1000 rx CmdLink 5 0 00 05 01 55 AA\n2600 tx RespostaLink 3 0 00 03 01\n"),
        {});
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.error.empty());
}

}  // namespace
}  // namespace tolvan::bench
