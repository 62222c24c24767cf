#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "device/Commands.h"
#include "device/ImageStore.h"
#include "emulator/CommandLine.h"

namespace tolvan::emu {
namespace {

TEST(CommandLineTest, EveryFaultAndLineOptionIsTaken) {
    EmulatorConfig c;
    std::string error;
    ASSERT_TRUE(parseCommandLine({"--link",
                                  "/tmp/p",
                                  "--frame-log=/tmp/f",
                                  "--store",
                                  "/tmp/s",
                                  "--load",
                                  "L:a.bin",
                                  "--program",
                                  "main:b.bin",
                                  "--no-pacing",
                                  "--baud",
                                  "9600",
                                  "--chunk",
                                  "1",
                                  "--delay",
                                  "2.5",
                                  "--delay-on",
                                  "LeSetor:2=6000",
                                  "--gap",
                                  "80",
                                  "--silent-from",
                                  "Endereco1",
                                  "--drop",
                                  "Link:1",
                                  "--hangup-after",
                                  "GravaSetor:4",
                                  "--split",
                                  "1,2",
                                  "--split-only",
                                  "Link,09",
                                  "--split-gap",
                                  "20",
                                  "--corrupt",
                                  "L2:511",
                                  "--truncate-read",
                                  "3:10",
                                  "--truncate-read",
                                  "main:1:2",
                                  "--garbage-link=10",
                                  "-v"},
                                 c, error))
        << error;
    EXPECT_EQ(c.linkFile, "/tmp/p");
    EXPECT_EQ(c.frameLogFile, "/tmp/f");
    ASSERT_EQ(c.preloads.size(), 2u);
    EXPECT_EQ(c.preloads[0].image, kLImage);
    EXPECT_FALSE(c.preloads[0].asProgrammed);
    EXPECT_TRUE(c.preloads[1].asProgrammed);
    EXPECT_FALSE(c.line.pacing);
    EXPECT_EQ(c.line.baud, 9600);
    EXPECT_EQ(c.device.delayUs, 2500);
    ASSERT_EQ(c.device.delays.size(), 1u);
    EXPECT_EQ(c.device.delays[0].delayUs, 6'000'000);
    EXPECT_EQ(c.device.quietGapUs, 80'000);
    EXPECT_EQ(c.device.silentFrom->code, kEndereco1);
    EXPECT_EQ(c.device.hangUpAfter->number, 4);
    EXPECT_EQ(c.device.splits, (std::vector<std::size_t>{1, 2}));
    EXPECT_EQ(c.device.splitCodes, (std::set<std::uint8_t>{kLink, kLeSetor}));
    EXPECT_EQ(c.line.splitGapUs, 20'000);
    EXPECT_EQ(c.device.corruptions[0].image, kL2Image);
    EXPECT_EQ(c.device.corruptions[0].index, 511u);
    EXPECT_FALSE(c.device.truncations[0].image);
    EXPECT_EQ(c.device.truncations[1].image, kMainImage);
    EXPECT_EQ(c.device.truncations[1].bytes, 2u);
    EXPECT_EQ(c.device.linkAnswerCount, 10);
    EXPECT_TRUE(c.verbose);
}

TEST(CommandLineTest, BadValuesAreRefusedWithTheOptionNamed) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--corrupt", "X:1"},
                                                 {"--corrupt", "main"},
                                                 {"--split", "0"},
                                                 {"--delay", "-1"},
                                                 {"--silent-from", "Nothing"},
                                                 {"--truncate-read", "0:4"},
                                                 {"--link-answer", "0"},
                                                 {"--chunk"},
                                                 {"--bogus"},
                                                 {"--bogus", "--chunk"}}) {
        EmulatorConfig c;
        std::string error;
        EXPECT_FALSE(parseCommandLine(args, c, error)) << args[0];
        EXPECT_NE(error.find(args[0]), std::string::npos) << error;
    }
}

TEST(ImageStoreTest, StoreFileKeepsEveryImageAndRejectsDamage) {
    const auto dir =
        std::filesystem::temp_directory_path() /
        ("tolvan-store-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "store.txt").string();
    ImageStore store;
    std::string bytes;
    for (int i = 0; i < 700; ++i)
        bytes.push_back(static_cast<char>(i * 13));
    store.setImage(kMainImage, bytes);
    store.writeSector(0x030405, 2, "abc");
    std::string error;
    ASSERT_TRUE(store.save(path, error)) << error;

    ImageStore loaded;
    ASSERT_TRUE(loaded.load(path, error)) << error;
    EXPECT_EQ(loaded.image(kMainImage), bytes);
    EXPECT_EQ(loaded.sector(0x030405, 1), std::string(256, '\xFF'));
    EXPECT_EQ(loaded.sector(0x030405, 2).substr(0, 4), "abc\xFF");

    std::ofstream(path) << "tolvan-device-store 1\nimage 002000 4\n0102\n";
    EXPECT_FALSE(loaded.load(path, error));
    EXPECT_NE(error.find("short"), std::string::npos);
    EXPECT_EQ(loaded.image(kMainImage), bytes);  // a damaged file changes nothing
    std::filesystem::remove_all(dir);
}

TEST(ImageStoreTest, ProgrammedImageSkipsLeadingFillOfTheMainImageOnly) {
    const std::string file("\xFF\x00\xFF\x00\x3C\x00\xFF", 7);
    std::string main = asProgrammed(file, true);
    ASSERT_EQ(main.size(), 256u);
    EXPECT_EQ(main.substr(0, 4), std::string("\x3C\x00\xFF\x00", 4));
    std::string l = asProgrammed(file, false);
    EXPECT_EQ(l.substr(0, 7), file);
    EXPECT_EQ(asProgrammed(std::string(512, 'a'), true).size(), 512u);
    EXPECT_EQ(parseImageName("l2"), kL2Image);
    EXPECT_EQ(imageName(0x030405), "030405");
    EXPECT_FALSE(parseImageName("main2"));
}

}  // namespace
}  // namespace tolvan::emu
