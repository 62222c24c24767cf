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

struct ParadoxFinding {
    const char* input;  // under fuzz/regressions/catalogue_paradox
    const char* refusal;
};

// Damaged tables that pxlib read for ever or past its buffers: the conversion refuses them before
// pxlib reads what it cannot, and leaves the table as it was.
//   block-chain-in-a-circle, block-chain-past-the-end: a table of one data block that names
//     itself, or a block past the end of the file, as the next one.
//   encrypted-key-*: a key in the data header; decrypted, the chain of blocks runs in a circle
//     or past the end of the file, where pxlib decrypts whatever its buffer held.
//   field-longer-than-the-record: a text field of 92 bytes in records of 86.
//   currency-field-of-40-bytes: pxlib inverts a number's bytes by the field's length in a buffer
//     of 8 on its stack.
//   memo-blob-in-the-record: Descricao is a memo whose 5 bytes the record holds; pxlib hands them
//     over with the record and they were not freed (the suite under LeakSanitizer sees it).
class ParadoxFindingTest : public ::testing::TestWithParam<ParadoxFinding> {};

TEST_P(ParadoxFindingTest, ConversionRefusesTheTableAndLeavesIt) {
    const std::string table =
        readBytes(kFuzzDir / "regressions" / "catalogue_paradox" / GetParam().input);
    ASSERT_FALSE(table.empty());
    const std::filesystem::path folder = scratchFolder() / "finding";
    std::filesystem::remove_all(folder);
    const std::filesystem::path file = folder / "TolvanLink.db";
    writeBytes(file, table);
    std::ostringstream out, err;
    const std::string path = file.string();
    const char* argv[] = {"tolvan-catalogue", "convert", path.c_str()};
    EXPECT_EQ(catalogue::runCatalogueTool(3, argv, out, err), catalogue::kExitFailed);
    EXPECT_NE(err.str().find(GetParam().refusal), std::string::npos) << err.str();
    EXPECT_EQ(readBytes(file), table);
    EXPECT_FALSE(std::filesystem::exists(path + ".paradox-backup"));
}

INSTANTIATE_TEST_SUITE_P(
    Findings, ParadoxFindingTest,
    ::testing::Values(
        ParadoxFinding{"block-chain-in-a-circle", "a damaged Paradox table (its chain of data"},
        ParadoxFinding{"block-chain-past-the-end", "a damaged Paradox table (its chain of data"},
        ParadoxFinding{"encrypted-key-1-blocks-decrypted-in-a-circle",
                       "an encrypted Paradox table"},
        ParadoxFinding{"encrypted-key-8-blocks-decrypted-past-the-end",
                       "an encrypted Paradox table"},
        ParadoxFinding{"field-longer-than-the-record", "a damaged Paradox table (its fields"},
        ParadoxFinding{"currency-field-of-40-bytes", "field 1 has a length its type cannot have"},
        ParadoxFinding{"memo-blob-in-the-record", "column Descricao does not hold text"}),
    [](const ::testing::TestParamInfo<ParadoxFinding>& info) {
        std::string name;
        for (const char* c = info.param.input; *c; ++c)
            if (*c != '-') name += *c;
        return name;
    });

}  // namespace
}  // namespace tolvan::fuzz
