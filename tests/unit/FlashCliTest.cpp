// The parts of tolvan-flash that stand on their own, on every system: the command line a
// bench's children get, and the report lines (their files' hashes and their appending).
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <atomic>
#include <fstream>
#include <map>
#include <random>
#include <thread>

#include "cli/FlashOptions.h"
#include "cli/UnitReport.h"
#include "services/PathResolver.h"

namespace tolvan {
namespace {

namespace fs = std::filesystem;

// A folder of the test's own, removed with everything in it.
struct TempDir {
    fs::path path =
        fs::temp_directory_path() / ("tolvan-flash-cli-" + std::to_string(std::random_device()()));
    TempDir() { fs::create_directories(path); }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

TEST(FlashOptionsTest, BenchChildrenGetTheirShareOfTheCommandLine) {
    using V = std::vector<std::string>;
    struct Case {
        const char* name;
        V args;
        const char* error;      // the start of the error; none: the command line is good
        std::string port = {};  // the child on this port ...
        V expected = {};        // ... has these arguments in a row
    };
    const std::vector<Case> cases = {
        {"ReportAndDryRun",
         {"--port", "COM1", "--port", "COM2", "--system", "A", "--report", "r.jsonl", "--dry-run"},
         nullptr,
         "COM2",
         {"--dry-run", "--report", "r.jsonl"}},
        {"BackupFolderPerDevice",
         {"--port", "COM1", "--port", "/dev/ttyUSB1", "--system", "A", "--read-to", "backup"},
         nullptr,
         "/dev/ttyUSB1",
         {"--read-to", "backup/ttyUSB1"}},
        {"BackupIsNoProgramming",
         {"--port", "COM1", "--system", "A", "--read-to", "b", "--verify"},
         "--read-to takes none of"},
        {"FirstWrongWordIsReported",
         {"--bogus", "--program", "--verify"},
         "unknown argument: --bogus"},
        {"EmptyReportName", {"--port", "COM1", "--system", "A", "--report", ""}, "--report takes"},
        {"SameNameInTwoFolders",
         {"--port", "/dev/ttyUSB0", "--port", "/tmp/ttyUSB0", "--system", "A"},
         "--port /dev/ttyUSB0 and --port /tmp/ttyUSB0 end in the same name"},
        // Network ports beside a local one; only a traced bench names its children's traces.
        {"NetworkPortsTraced",
         {"--port", "COM1", "--port", "rfc2217://bench-07:3001", "--port", "socket://[::1]:7",
          "--system", "A", "--trace", "lab"},
         nullptr,
         "rfc2217://bench-07:3001",
         {"--trace", "lab-bench-07:3001"}},
        {"NetworkPortWithMoreThanHostAndPort",
         {"--port", "rfc2217://bench-07:3001/ttyUSB0", "--system", "A"},
         "--port rfc2217://bench-07:3001/ttyUSB0: only HOST:PORT may follow rfc2217://"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        const auto options = cli::parseFlashOptions(c.args, error);
        if (c.error) {
            EXPECT_FALSE(options);
            EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
            continue;
        }
        ASSERT_TRUE(options) << error;
        for (const std::string& port : options->ports) {
            const V child = cli::childArguments(*options, port, "/root");
            EXPECT_EQ(std::count(child.begin(), child.end(), "--trace"), options->trace ? 1 : 0);
            EXPECT_TRUE(cli::parseFlashOptions(child, error)) << port << ": " << error;
            if (port == c.port) {
                EXPECT_NE(
                    std::search(child.begin(), child.end(), c.expected.begin(), c.expected.end()),
                    child.end());
            }
        }
    }
}

// Each image is sized and hashed from its file (SHA-256 of known bytes); a file that cannot
// be read has neither, and says so with null rather than the hash of nothing.
TEST(UnitReportTest, ImagesAreTheFilesSizeAndHash) {
    const TempDir dir;
    struct Case {
        const char* file;
        std::optional<std::string> bytes;  // none: no such file
        const char* sha256;
    };
    const std::vector<Case> cases = {
        {"ABC.BIN", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"EMPTY.BIN", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        // More than one read of the file.
        {"MILLION.BIN", std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        {"MISSING.BIN", std::nullopt, ""},
    };
    cli::UnitRecord record = cli::beginRecord("COM2", "/dev/ttyUSB0", "Teste", Operacao::Gravacao);
    for (const Case& c : cases) {
        if (c.bytes) std::ofstream(dir.path / c.file, std::ios::binary) << *c.bytes;
        record.images.push_back(cli::reportImage(Imagem::L, c.file, dir.path / c.file, 3));
    }
    const QJsonDocument line = QJsonDocument::fromJson(cli::reportLine(record));
    const QJsonArray images = line.object()["images"].toArray();
    ASSERT_EQ(images.size(), static_cast<qsizetype>(cases.size()));
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].file);
        const QJsonObject image = images[static_cast<qsizetype>(i)].toObject();
        EXPECT_EQ(image["image"].toString(), "L");
        EXPECT_EQ(image["file"].toString(), cases[i].file);
        EXPECT_EQ(image["sectors"].toInt(), 3);
        if (!cases[i].bytes) {
            EXPECT_TRUE(image["size"].isNull());
            EXPECT_TRUE(image["sha256"].isNull());
            continue;
        }
        EXPECT_EQ(image["size"].toInteger(), static_cast<qint64>(cases[i].bytes->size()));
        EXPECT_EQ(image["sha256"].toString(), cases[i].sha256);
    }
    EXPECT_EQ(line.object()["operation"].toString(), "program");
    EXPECT_EQ(cli::isoUtc(std::chrono::system_clock::time_point{}), "1970-01-01T00:00:00Z");
    EXPECT_EQ(cli::isoUtc(std::chrono::system_clock::time_point{std::chrono::seconds{1709251199}}),
              "2024-02-29T23:59:59Z");
    EXPECT_EQ(record.deviceTarget, "");
}

// Four writers of a bench append long lines to one report at once, each opening the file for
// every line as a bench's process does: every line arrives whole, none is lost. The file's name
// is not ASCII (UTF-16 on Windows, never the ANSI code page).
TEST(UnitReportTest, BenchWritersNeverInterleaveALine) {
    const TempDir dir;
    const fs::path file = dir.path / pathFromUtf8("relatório.jsonl");
    constexpr int kWriters = 4, kLines = 250;
    std::vector<std::thread> writers;
    std::atomic<int> failures{0};
    for (int k = 0; k < kWriters; ++k) {
        writers.emplace_back([&, k] {
            // Lines longer than any buffer a writer might cut them at.
            cli::UnitRecord r =
                cli::beginRecord("COM" + std::to_string(k + 1), "COM9",
                                 std::string(12000, char('a' + k)), Operacao::GravacaoVerificacao);
            cli::endRecord(r, {Desfecho::Verificado, ""}, 1.5, 650);
            std::string error;
            for (int i = 0; i < kLines; ++i)
                if (!cli::appendReportLine(file, r, error)) ++failures;
        });
    }
    for (std::thread& w : writers)
        w.join();
    EXPECT_EQ(failures, 0);
    std::map<std::string, int> lines;
    std::ifstream in(file, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
        const std::string port = o["port"].toString().toStdString();
        ASSERT_FALSE(port.empty()) << "a broken line: " << line.substr(0, 80);
        EXPECT_EQ(o["system"].toString().toStdString(), std::string(12000, port[3] - '1' + 'a'));
        EXPECT_EQ(o["outcome"].toString(), "Verificado");
        ++lines[port];
    }
    EXPECT_EQ(lines, (std::map<std::string, int>{
                         {"COM1", kLines}, {"COM2", kLines}, {"COM3", kLines}, {"COM4", kLines}}));
    std::string error;
    EXPECT_FALSE(cli::appendReportLine(dir.path / "no" / "such" / "folder", {}, error));
    EXPECT_NE(error, "");
}

}  // namespace
}  // namespace tolvan
