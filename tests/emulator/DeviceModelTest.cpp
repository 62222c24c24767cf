#include <gtest/gtest.h>

#include "HostFrames.h"
#include "device/Commands.h"
#include "device/DeviceModel.h"

namespace tolvan::emu {
namespace {

using namespace test;

const std::string kLinkAnswer = bytes({0x00, 0x03, 0x01});

// Feeds frames to a model, one every 300 ms (well apart, as the host sends them), and collects
// the reactions.
class Host {
  public:
    explicit Host(DeviceOptions options = {}) : model(std::move(options)) {}

    std::vector<Reaction> send(const std::string& frame) {
        now += 300'000;
        auto out = model.receive(frame, now);
        return out;
    }
    // The answer to one frame sent whole.
    std::string ask(const std::string& frame) {
        auto out = send(frame);
        EXPECT_EQ(out.size(), 1u);
        return out.empty() ? std::string() : out.back().answer;
    }
    void program(std::uint32_t image, const std::string& entries) {
        ask(nome("SIS01.BIN"));
        ask(endereco1(0));
        ask(endereco2Gravacao(image));
        ask(setores(0x05, static_cast<int>((entries.size() + 255) / 256)));
        for (const std::string& frame : gravaSetores(entries))
            EXPECT_EQ(ask(frame), bytes({0x00, 0x03, 0x06}));
    }
    // The data bytes of `sectors` sector answers, heads checked and taken off.
    std::string readBack(std::uint32_t image, int sectors) {
        ask(nome("SIS01.BIN"));
        ask(endereco1(0));
        ask(endereco2Leitura(image));
        ask(setores(0x08, sectors));
        std::string data;
        for (int s = 0; s < sectors; ++s) {
            const std::string answer = ask(leSetor());
            EXPECT_EQ(answer.substr(0, 3), bytes({0x01, 0x03, 0x09}));
            EXPECT_EQ(answer.size(), 259u);
            data += answer.substr(3);
        }
        return data;
    }

    DeviceModel model;
    std::int64_t now = 0;
};

TEST(DeviceModelTest, AnswersEveryCommandAsTheHostExpects) {
    Host host;
    EXPECT_EQ(host.ask(linkPoll()), kLinkAnswer);
    EXPECT_EQ(host.ask(nome("SIS01.BIN")), bytes({0x00, 0x03, 0x02}));
    EXPECT_EQ(host.model.lastName(), "SIS01.BIN");
    EXPECT_EQ(host.ask(endereco1(kMainImage)), bytes({0x00, 0x03, 0x03}));
    EXPECT_EQ(host.ask(endereco2Gravacao(kMainImage)), bytes({0x00, 0x03, 0x04}));
    auto count = host.send(setores(0x05, 300));
    ASSERT_EQ(count.size(), 1u);
    EXPECT_EQ(count[0].answer, bytes({0x00, 0x03, 0x05}));
    EXPECT_NE(count[0].received.note.find("300 sectors"), std::string::npos);
    EXPECT_EQ(host.ask(endereco2Leitura(kMainImage)), bytes({0x00, 0x03, 0x07}));
    EXPECT_EQ(host.ask(setores(0x08, 1)), bytes({0x00, 0x03, 0x08}));
    auto run = host.send(executa());
    ASSERT_EQ(run.size(), 1u);
    EXPECT_TRUE(run[0].answer.empty());
    EXPECT_EQ(run[0].received.name, "CmdExecuta");
    EXPECT_EQ(host.model.runCount(), 1);
    EXPECT_EQ(host.model.frameCount(), 8);
}

TEST(DeviceModelTest, FramesSplitAcrossReadsAndRunTogetherAreFoundByTheirHead) {
    DeviceModel model;
    // One poll in three pieces, then two polls and a sector read in one read.
    EXPECT_TRUE(model.receive(bytes({0x00}), 0).empty());
    EXPECT_TRUE(model.receive(bytes({0x05, 0x01}), 10).empty());
    auto one = model.receive(bytes({0x55, 0xAA}), 20);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].answer, kLinkAnswer);
    EXPECT_EQ(one[0].received.spanUs, 20);
    auto three = model.receive(linkPoll() + linkPoll() + leSetor(), 30);
    ASSERT_EQ(three.size(), 3u);
    EXPECT_EQ(three[2].received.name, "CmdLeSetor");
    EXPECT_EQ(three[2].answer.size(), 259u);
}

TEST(DeviceModelTest, BytesThatStartNoFrameAreSkippedAndParsingResyncs) {
    DeviceModel model;
    // Junk, a doubled 00, an unknown code (0A) and a wrong second byte before real frames.
    auto out = model.receive(bytes({0x7F, 0x00, 0x00, 0x05, 0x01, 0x55, 0xAA, 0x00, 0x03, 0x0A,
                                    0x00, 0x04, 0x09, 0x00, 0x03, 0x09}),
                             0);
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[0].received.name, "junk");
    EXPECT_EQ(out[0].received.bytes, bytes({0x7F, 0x00}));
    EXPECT_EQ(out[1].received.name, "CmdLink");
    EXPECT_EQ(out[2].received.name, "junk");
    EXPECT_EQ(out[2].received.bytes, bytes({0x00, 0x03, 0x0A, 0x00, 0x04, 0x09}));
    EXPECT_TRUE(out[2].answer.empty());
    EXPECT_EQ(out[3].received.name, "CmdLeSetor");
    EXPECT_EQ(model.frameCount(), 2);
}

TEST(DeviceModelTest, LongNamesEndAtTheQuietGapAndCutFramesAreDropped) {
    DeviceOptions options;
    options.quietGapUs = 50'000;
    DeviceModel model(options);
    // 13 characters leave no fill byte; 20 characters are sent whole: both wait for the gap.
    for (const std::string name : {"ABCDEFGHIJKLM", "SYSTEM-NAME-0123.BIN"}) {
        EXPECT_TRUE(model.receive(nome(name), 0).empty());
        ASSERT_TRUE(model.deadlineUs());
        EXPECT_TRUE(model.tick(*model.deadlineUs() - 1).empty());
        auto out = model.tick(*model.deadlineUs());
        ASSERT_EQ(out.size(), 1u);
        EXPECT_EQ(out[0].received.bytes.size(), 3 + name.size());
        EXPECT_EQ(out[0].answer, bytes({0x00, 0x03, 0x02}));
        EXPECT_EQ(model.lastName(), name);
        EXPECT_FALSE(model.deadlineUs());
    }
    // A sector write cut off after 100 bytes is dropped, the next frame is taken.
    EXPECT_TRUE(model.receive(gravaSetores(pattern(256))[0].substr(0, 100), 1'000'000).empty());
    auto out = model.receive(linkPoll(), 1'060'000);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].received.name, "dropped");
    EXPECT_EQ(out[0].received.bytes.size(), 100u);
    EXPECT_EQ(out[1].answer, kLinkAnswer);
    // Only the gap ends a long name: a frame sent right after it is taken as part of the name.
    EXPECT_TRUE(model.receive(nome("ABCDEFGHIJKLMNOP") + linkPoll(), 2'000'000).empty());
    out = model.tick(3'000'000);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].received.bytes.size(), 3u + 16 + 5);
}

TEST(DeviceModelTest, SectorsWrittenWithTheOneByteOverlapReadBackAsTheImage) {
    Host host;
    const std::string mainImage = pattern(300, 3);
    const std::string lImage = pattern(513, 5);
    host.program(kMainImage, mainImage);
    host.program(kLImage, lImage);

    std::string expected = mainImage;
    expected.resize(513, '\0');            // the last frame's fill, its last byte sent ahead
    expected += std::string(255, '\xFF');  // never written
    EXPECT_EQ(host.readBack(kMainImage, 3), expected);
    // 513 entries go out in two frames; the last entry only as byte 259 of the second, which
    // the device keeps as the first byte of sector 3.
    EXPECT_EQ(host.model.store().image(kLImage), lImage);
    EXPECT_EQ(host.readBack(kLImage, 3), lImage + std::string(255, '\xFF'));
    EXPECT_EQ(host.model.store().image(kL2Image), "");

    // A new write sequence erases the image first.
    host.program(kMainImage, pattern(10, 9));
    std::string shorter = pattern(10, 9);
    shorter.resize(256, '\0');
    EXPECT_EQ(host.readBack(kMainImage, 2), shorter + '\0' + std::string(255, '\xFF'));
    // Each read sequence starts again at sector 1.
    EXPECT_EQ(host.readBack(kMainImage, 1), shorter);
}

TEST(DeviceModelTest, SectorFramesOutsideTheirSequenceAreAnsweredButChangeNothing) {
    Host host;
    host.program(kMainImage, pattern(256));
    host.ask(nome("X"));  // closes the write sequence
    EXPECT_EQ(host.ask(gravaSetores(pattern(256, 7))[0]), bytes({0x00, 0x03, 0x06}));
    EXPECT_EQ(host.model.store().image(kMainImage), pattern(256) + '\0');
    EXPECT_EQ(host.ask(leSetor()), bytes({0x01, 0x03, 0x09}) + std::string(256, '\xFF'));
}

TEST(DeviceModelTest, CorruptionFlipsChosenBytesOnReadBackOnly) {
    DeviceOptions options;
    options.corruptions = {{kMainImage, 0}, {kMainImage, 299}, {kLImage, 5}};
    Host host(options);
    const std::string image = pattern(300);
    host.program(kMainImage, image);
    const std::string back = host.readBack(kMainImage, 2);
    for (std::size_t i = 0; i < 300; ++i) {
        if (i == 0 || i == 299)
            EXPECT_EQ(back[i], static_cast<char>(image[i] ^ '\xFF')) << i;
        else
            EXPECT_EQ(back[i], image[i]) << i;
    }
    EXPECT_EQ(host.model.store().image(kMainImage).substr(0, 300), image);
}

TEST(DeviceModelTest, SilenceHangUpAndDroppedAnswersFollowTheFramesPicked) {
    {
        DeviceOptions options;
        options.silentFrom = FrameSelector::parse("GravaSetor:2");
        Host host(options);
        host.ask(endereco2Gravacao(kMainImage));
        const auto frames = gravaSetores(pattern(600));
        EXPECT_FALSE(host.ask(frames[0]).empty());
        EXPECT_TRUE(host.ask(frames[1]).empty());
        EXPECT_TRUE(host.ask(linkPoll()).empty());  // silent from there on
        // Silent, but still listening: the second sector was stored.
        EXPECT_EQ(host.model.store().sector(kMainImage, 2), pattern(600).substr(256, 256));
    }
    {
        DeviceOptions options;
        options.drop = {*FrameSelector::parse("LeSetor:2")};
        Host host(options);
        host.ask(endereco2Leitura(kMainImage));
        EXPECT_FALSE(host.ask(leSetor()).empty());
        EXPECT_TRUE(host.ask(leSetor()).empty());
        EXPECT_FALSE(host.ask(leSetor()).empty());
    }
    {
        DeviceOptions options;
        options.hangUpAfter = FrameSelector::parse("3");
        Host host(options);
        EXPECT_FALSE(host.ask(linkPoll()).empty());
        EXPECT_FALSE(host.ask(linkPoll()).empty());
        auto out = host.send(linkPoll() + linkPoll());
        ASSERT_EQ(out.size(), 1u);
        EXPECT_TRUE(out[0].hangUp);
        EXPECT_TRUE(out[0].answer.empty());
        EXPECT_TRUE(host.model.hungUp());
        EXPECT_TRUE(host.send(linkPoll()).empty());
    }
}

TEST(DeviceModelTest, AnswersAreSplitDelayedCutShortOrGarbledAsAsked) {
    DeviceOptions options;
    options.splits = {2, 1, 400};
    options.splitCodes = {kLink, kLeSetor};
    options.delayUs = 1000;
    options.delays = {{*FrameSelector::parse("LeSetor"), 6'000'000}};
    options.truncations = {{kMainImage, 2, 100}};
    options.linkAnswer = bytes({0xE5, 0xE5, 0xE5});
    options.linkAnswerCount = 2;
    Host host(options);

    auto poll = host.send(linkPoll());
    EXPECT_EQ(poll[0].answer, bytes({0xE5, 0xE5, 0xE5}));
    EXPECT_EQ(poll[0].cuts, (std::vector<std::size_t>{1, 2}));
    EXPECT_EQ(poll[0].delayUs, 1000);
    host.send(linkPoll());
    EXPECT_EQ(host.send(linkPoll())[0].answer, kLinkAnswer);

    auto ack = host.send(endereco2Leitura(kMainImage));
    EXPECT_TRUE(ack[0].cuts.empty());
    auto first = host.send(leSetor());
    EXPECT_EQ(first[0].answer.size(), 259u);
    EXPECT_EQ(first[0].cuts, (std::vector<std::size_t>{1, 2}));
    EXPECT_EQ(first[0].delayUs, 6'001'000);
    auto second = host.send(leSetor());
    EXPECT_EQ(second[0].answer.size(), 100u);
    EXPECT_EQ(host.send(leSetor())[0].answer.size(), 259u);
}

TEST(FrameSelectorTest, PicksByOverallOrderOrByOrderWithinItsCommand) {
    auto any7 = *FrameSelector::parse("7");
    EXPECT_TRUE(any7.matches(kLink, 7, 1));
    EXPECT_FALSE(any7.matches(kLink, 6, 6));
    auto third = *FrameSelector::parse("CmdGravaSetor:3");
    EXPECT_TRUE(third.matches(kGravaSetor, 20, 3));
    EXPECT_FALSE(third.matches(kLeSetor, 20, 3));
    auto every = *FrameSelector::parse("0x09");  // a bare number counts frames
    EXPECT_TRUE(every.matches(kLeSetor, 1, 1));
    EXPECT_TRUE(every.matches(kLeSetor, 9, 5));
    EXPECT_FALSE(FrameSelector::parse("Sector:1"));
    EXPECT_FALSE(FrameSelector::parse("0"));
    EXPECT_FALSE(FrameSelector::parse("Link:x"));
    auto range = *FrameSelector::parse("Link:2-4");
    EXPECT_FALSE(range.matches(kLink, 1, 1));
    EXPECT_TRUE(range.matches(kLink, 2, 2));
    EXPECT_TRUE(range.matches(kLink, 9, 4));
    EXPECT_FALSE(range.matches(kLink, 9, 5));
    EXPECT_FALSE(FrameSelector::parse("Link:4-2"));
    EXPECT_FALSE(FrameSelector::parse("Link:2-"));
}

}  // namespace
}  // namespace tolvan::emu
