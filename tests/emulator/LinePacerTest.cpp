#include <gtest/gtest.h>

#include "device/LinePacer.h"

namespace tolvan::emu {
namespace {

std::vector<std::int64_t> times(const std::vector<LinePacer::Write>& writes) {
    std::vector<std::int64_t> out;
    for (const auto& w : writes)
        out.push_back(w.atUs);
    return out;
}

std::string joined(const std::vector<LinePacer::Write>& writes) {
    std::string out;
    for (const auto& w : writes)
        out += w.bytes;
    return out;
}

TEST(LinePacerTest, PacedAnswersArriveInChunksWhenTheLineWouldHaveCarriedThem) {
    LinePacer pacer;  // 19200 baud, 10 bits a byte, chunks of 16
    const std::string answer(259, 'x');
    auto writes = pacer.schedule(answer, {}, 0, 1'000'000);
    ASSERT_EQ(writes.size(), 17u);
    EXPECT_EQ(joined(writes), answer);
    EXPECT_EQ(writes[0].bytes.size(), 16u);
    EXPECT_EQ(writes[0].atUs, 1'000'000 + 8334);        // 16 bytes of 520.83 µs, rounded up
    EXPECT_EQ(writes.back().atUs, 1'000'000 + 134896);  // 259 bytes
    // The next answer waits for the line, even when its frame came earlier.
    auto next = pacer.schedule("abc", {}, 0, 1'000'000);
    EXPECT_EQ(times(next), (std::vector<std::int64_t>{1'000'000 + 134896 + 1563}));
}

TEST(LinePacerTest, CutsAddAQuietGapAndDelaysMoveTheStart) {
    LineOptions options;
    options.pacing = false;
    options.splitGapUs = 10'000;
    LinePacer pacer(options);
    auto writes = pacer.schedule("abcdef", {1, 3, 9}, 5000, 100);
    EXPECT_EQ(joined(writes), "abcdef");
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(writes[0].bytes, "a");
    EXPECT_EQ(writes[1].bytes, "bc");
    EXPECT_EQ(times(writes), (std::vector<std::int64_t>{5100, 15100, 25100}));

    LineOptions paced;
    paced.chunkBytes = 1;
    paced.splitGapUs = 10'000;
    LinePacer bytewise(paced);
    auto link = bytewise.schedule("abc", {1}, 0, 0);
    EXPECT_EQ(times(link), (std::vector<std::int64_t>{521, 10521 + 521, 10521 + 1042}));
}

}  // namespace
}  // namespace tolvan::emu
