// The emulator program on a real pty, driven as the host drives its port.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "HostFrames.h"
#include "device/ImageStore.h"

extern char** environ;

namespace tolvan::emu {
namespace {

using namespace test;
namespace fs = std::filesystem;

// Generous limits that only keep a broken run from hanging; nothing here measures time.
constexpr int kWaitMs = 10'000;

class EmulatorProcess {
  public:
    explicit EmulatorProcess(std::vector<std::string> args) {
        int out[2];
        EXPECT_EQ(pipe(out), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        args.insert(args.begin(), TOLVAN_EMULATOR_PATH);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        EXPECT_EQ(posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        // The first line is the slave path.
        char c;
        pollfd pfd{out[0], POLLIN, 0};
        while (poll(&pfd, 1, kWaitMs) > 0 && read(out[0], &c, 1) == 1 && c != '\n')
            slavePath_ += c;
        close(out[0]);
    }
    ~EmulatorProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    const std::string& slavePath() const { return slavePath_; }
    void terminate() { kill(pid_, SIGTERM); }
    // The exit code, or -1 when the process did not exit by itself in time.
    int wait() {
        for (int i = 0; i < kWaitMs / 10; ++i) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            usleep(10'000);
        }
        return -1;
    }

  private:
    pid_t pid_ = -1;
    std::string slavePath_;
};

// The host's end of the line.
class Port {
  public:
    explicit Port(const std::string& path) {
        fd_ = open(path.c_str(), O_RDWR | O_NOCTTY);
        EXPECT_GE(fd_, 0) << path;
        termios tio{};
        tcgetattr(fd_, &tio);
        cfmakeraw(&tio);
        tcsetattr(fd_, TCSANOW, &tio);
    }
    ~Port() {
        if (fd_ >= 0) close(fd_);
    }
    void send(const std::string& bytes) {
        EXPECT_EQ(write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // Reads until n bytes have come or the line fails or stays silent too long.
    std::string receive(std::size_t n) {
        std::string got;
        char buffer[512];
        while (got.size() < n) {
            pollfd pfd{fd_, POLLIN, 0};
            if (poll(&pfd, 1, kWaitMs) <= 0) break;
            const ssize_t r = read(fd_, buffer, std::min(sizeof buffer, n - got.size()));
            if (r <= 0) {
                hungUp_ = true;
                break;
            }
            got.append(buffer, static_cast<std::size_t>(r));
        }
        return got;
    }
    std::string ask(const std::string& frame, std::size_t answerBytes) {
        send(frame);
        return receive(answerBytes);
    }
    bool hungUp() const { return hungUp_; }

  private:
    int fd_ = -1;
    bool hungUp_ = false;
};

class PtyEmulatorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("tolvan-emu-" + std::to_string(getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string file(const std::string& name) const { return (dir_ / name).string(); }

    fs::path dir_;
};

std::string readText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST_F(PtyEmulatorTest, AnswersAPollAndKeepsAProgrammedSectorAcrossRuns) {
    const std::string sector = pattern(256, 4);
    {
        EmulatorProcess emulator({"--store", file("store.txt"), "--frame-log", file("frames.log"),
                                  "--link", file("port")});
        ASSERT_FALSE(emulator.slavePath().empty());
        EXPECT_EQ(readText(file("port")), emulator.slavePath() + "\n");
        Port port(emulator.slavePath());
        EXPECT_EQ(port.ask(linkPoll(), 3), bytes({0x00, 0x03, 0x01}));
        EXPECT_EQ(port.ask(nome("SIS01.BIN"), 3), bytes({0x00, 0x03, 0x02}));
        EXPECT_EQ(port.ask(endereco1(kMainImage), 3), bytes({0x00, 0x03, 0x03}));
        EXPECT_EQ(port.ask(endereco2Gravacao(kMainImage), 3), bytes({0x00, 0x03, 0x04}));
        EXPECT_EQ(port.ask(setores(0x05, 1), 3), bytes({0x00, 0x03, 0x05}));
        // The host sends a sector byte by byte.
        const std::string frame = gravaSetores(sector)[0];
        for (char b : frame)
            port.send(std::string(1, b));
        EXPECT_EQ(port.receive(3), bytes({0x00, 0x03, 0x06}));
        EXPECT_EQ(port.ask(endereco2Leitura(kMainImage), 3), bytes({0x00, 0x03, 0x07}));
        EXPECT_EQ(port.ask(leSetor(), 259), bytes({0x01, 0x03, 0x09}) + sector);
        emulator.terminate();
        EXPECT_EQ(emulator.wait(), 0);
    }
    const std::string log = readText(file("frames.log"));
    EXPECT_NE(log.find(" rx CmdLink 5 "), std::string::npos) << log;
    EXPECT_NE(log.find(" rx CmdGravaSetor 260 "), std::string::npos) << log;
    EXPECT_NE(log.find(" tx RespostaLink 3 0 00 03 01"), std::string::npos) << log;

    // A second run reads the sector from the store; no pacing this time.
    EmulatorProcess emulator({"--store", file("store.txt"), "--no-pacing"});
    Port port(emulator.slavePath());
    EXPECT_EQ(port.ask(endereco2Leitura(kMainImage), 3), bytes({0x00, 0x03, 0x07}));
    EXPECT_EQ(port.ask(leSetor(), 259), bytes({0x01, 0x03, 0x09}) + sector);
    // The one frame's last byte, the fill, was kept as the first byte of sector 2.
    EXPECT_EQ(port.ask(leSetor(), 259), bytes({0x01, 0x03, 0x09, 0x00}) + std::string(255, '\xFF'));
}

TEST_F(PtyEmulatorTest, HangUpClosesTheLineAndEndsTheProgram) {
    EmulatorProcess emulator({"--hangup-after", "Link:2", "--store", file("store.txt")});
    Port port(emulator.slavePath());
    EXPECT_EQ(port.ask(linkPoll(), 3), bytes({0x00, 0x03, 0x01}));
    EXPECT_EQ(port.ask(linkPoll(), 3), "");
    EXPECT_TRUE(port.hungUp());
    EXPECT_EQ(emulator.wait(), 0);
    EXPECT_TRUE(fs::exists(file("store.txt")));
}

TEST(EmulatorProgramTest, BadOptionsEndWithExitCodeTwo) {
    EmulatorProcess emulator({"--split", "zero"});
    EXPECT_EQ(emulator.slavePath(), "");
    EXPECT_EQ(emulator.wait(), 2);
}

}  // namespace
}  // namespace tolvan::emu
