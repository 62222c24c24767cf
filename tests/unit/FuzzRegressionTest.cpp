#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "CatalogueTool.h"
#include "FuzzEntries.h"
#include "FuzzSupport.h"

namespace tolvan::fuzz {
namespace {

const std::filesystem::path kFuzzDir = TOLVAN_FUZZ_DIR;

// The inputs kept for a fuzz target: its seed corpus and the inputs of the faults its fuzzer
// found (each mended since), named after the fault.
std::vector<std::filesystem::path> inputsOf(const std::string& target) {
    std::vector<std::filesystem::path> inputs;
    for (const char* folder : {"corpus", "regressions"}) {
        const std::filesystem::path dir = kFuzzDir / folder / target;
        if (!std::filesystem::is_directory(dir)) continue;
        for (const auto& entry : std::filesystem::directory_iterator(dir))
            if (entry.is_regular_file()) inputs.push_back(entry.path());
    }
    std::sort(inputs.begin(), inputs.end());
    return inputs;
}

std::vector<std::string> targetNames() {
    std::vector<std::string> names;
    for (const FuzzEntry& e : fuzzEntries())
        names.push_back(e.name);
    return names;
}

class FuzzRegressionTest : public ::testing::TestWithParam<std::string> {};

// Every kept input runs through the same entry point as under the fuzzer, here without clang
// and its sanitizers, and keeps every rule of its target.
TEST_P(FuzzRegressionTest, KeptInputsKeepEveryRule) {
    const FuzzEntry* entry = findFuzzEntry(GetParam());
    ASSERT_NE(entry, nullptr);
    const auto inputs = inputsOf(GetParam());
    EXPECT_FALSE(inputs.empty()) << "no seed corpus for " << GetParam();
    for (const std::filesystem::path& input : inputs) {
        const std::string bytes = readBytes(input);
        try {
            entry->run(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        } catch (const std::exception& e) {
            ADD_FAILURE() << input.string() << ": " << e.what();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzRegressionTest, ::testing::ValuesIn(targetNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             return info.param;
                         });

TEST(FuzzCorpusTest, EveryCorpusFolderHasItsTarget) {
    for (const auto& entry : std::filesystem::directory_iterator(kFuzzDir / "corpus"))
        EXPECT_NE(findFuzzEntry(entry.path().filename().string()), nullptr) << entry.path();
}

// A Paradox table whose data blocks chain back to themselves made the conversion read for ever;
// it is refused as damaged and left as it was.
TEST(FuzzFindingsTest, ParadoxTableWithBlocksInACircleIsRefused) {
    const std::string table =
        readBytes(kFuzzDir / "regressions" / "catalogue_paradox" / "block-chain-in-a-circle");
    const std::filesystem::path file = scratchFolder() / "circle" / "TolvanLink.db";
    writeBytes(file, table);
    std::ostringstream out, err;
    const std::string path = file.string();
    const char* argv[] = {"tolvan-catalogue", "convert", path.c_str()};
    EXPECT_EQ(catalogue::runCatalogueTool(3, argv, out, err), catalogue::kExitFailed);
    EXPECT_NE(err.str().find("a damaged Paradox table"), std::string::npos) << err.str();
    EXPECT_EQ(readBytes(file), table);
}

}  // namespace
}  // namespace tolvan::fuzz
