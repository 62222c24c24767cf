#include "platform/PosixSerialDriver.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "PtyTestSupport.h"
#include "platform/HeldOutput.h"

namespace tolvan {
namespace {

using test::Pty;
using test::runAWhile;
using test::runUntil;
using test::takeOnLoop;

class Recorder : public SerialDriver::Listener {
  public:
    explicit Recorder(SerialDriver& driver) : driver_(driver) { driver_.setListener(this); }
    ~Recorder() override { driver_.setListener(nullptr); }
    void bytesArrived() override {
        ++arrivals;
        got += driver_.takeReceived();
    }
    void lineLost(const std::string& reason) override { losses.push_back(reason); }

    std::string got;
    int arrivals = 0;
    std::vector<std::string> losses;

  private:
    SerialDriver& driver_;
};

std::string pattern(std::size_t size, std::size_t offset = 0) {
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        s[i] = static_cast<char>((offset + i) % 251);
    return s;
}

TEST(PosixSerialDriverTest, OpensAPseudoTerminalRawAt19200ThoughItRefusesDtrAndRts) {
    Pty pty;
    PosixSerialDriver driver;
    std::string error;
    ASSERT_TRUE(driver.open(pty.slave(), error)) << error;
    EXPECT_TRUE(driver.isOpen());
    EXPECT_FALSE(driver.lineIsLost());

    // The master side reports the slave's settings.
    termios tio{};
    ASSERT_EQ(::tcgetattr(pty.master(), &tio), 0);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(tio.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(::cfgetospeed(&tio), static_cast<speed_t>(B19200));

    driver.close();
    EXPECT_FALSE(driver.isOpen());
}

TEST(PosixSerialDriverTest, CarriesEveryByteValueBothWays) {
    Pty pty;
    PosixSerialDriver driver;
    Recorder recorder(driver);
    std::string error;
    ASSERT_TRUE(driver.open(pty.slave(), error)) << error;

    const std::string answer("\x00\x03\x01\r\n\x11\x13\xFF", 8);
    pty.send(answer);
    ASSERT_TRUE(runUntil([&] { return recorder.got.size() >= answer.size(); }));
    EXPECT_EQ(recorder.got, answer);

    const std::string sector = pattern(260);
    EXPECT_TRUE(driver.write(sector));
    EXPECT_EQ(takeOnLoop(pty, sector.size()), sector);
}

TEST(PosixSerialDriverTest, ADeviceHeldByAnotherOpeningIsInUse) {
    Pty pty;
    // Like the device emulator, the test keeps a descriptor of its own on the slave, so the
    // terminal outlives the driver's openings: closing must leave it open to the next one.
    const int keeper = ::open(pty.slave().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(keeper, 0);
    PosixSerialDriver first;
    PosixSerialDriver second;
    std::string error;
    EXPECT_EQ(second.probe(pty.slave()), SerialDriver::Availability::Free);
    ASSERT_TRUE(first.open(pty.slave(), error)) << error;

    EXPECT_FALSE(second.open(pty.slave(), error));
    EXPECT_EQ(error, "in use by another program");
    EXPECT_FALSE(second.isOpen());
    EXPECT_EQ(second.probe(pty.slave()), SerialDriver::Availability::InUse);
    EXPECT_EQ(first.probe(pty.slave()), SerialDriver::Availability::InUse);

    first.close();
    EXPECT_TRUE(second.open(pty.slave(), error)) << error;
    second.close();
    EXPECT_TRUE(first.open(pty.slave(), error)) << error;
    ::close(keeper);
}

TEST(PosixSerialDriverTest, WhatIsNoSerialDeviceDoesNotOpen) {
    const auto file =
        std::filesystem::temp_directory_path() / ("tolvan-not-a-tty-" + std::to_string(::getpid()));
    std::ofstream(file) << "x";
    PosixSerialDriver driver;
    std::string error;
    EXPECT_FALSE(driver.open("/dev/tolvan-no-such-device", error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(driver.open(file.string(), error));
    EXPECT_EQ(error, "not a serial device");
    EXPECT_EQ(driver.probe("/dev/tolvan-no-such-device"), SerialDriver::Availability::Missing);
    EXPECT_EQ(driver.probe(file.string()), SerialDriver::Availability::Missing);
    std::filesystem::remove(file);
}

TEST(PosixSerialDriverTest, AHungUpLineIsLeftAloneAndTheDeviceCanBeOpenedAgain) {
    auto pty = std::make_unique<Pty>();
    PosixSerialDriver driver;
    Recorder recorder(driver);
    std::string error;
    ASSERT_TRUE(driver.open(pty->slave(), error)) << error;

    pty->send("last");
    ASSERT_TRUE(runUntil([&] { return recorder.got == "last"; }));
    pty->closeMaster();  // the device side goes away (a hang-up discards what it had sent)
    ASSERT_TRUE(runUntil([&] { return !recorder.losses.empty(); }));
    EXPECT_TRUE(driver.lineIsLost());
    EXPECT_TRUE(driver.isOpen());

    // The dead descriptor no longer wakes the loop, and writes are refused without blocking.
    const std::uint64_t wakeups = driver.readWakeups();
    runAWhile(50);
    EXPECT_LE(driver.readWakeups(), wakeups + 1);
    EXPECT_FALSE(driver.write("frame"));
    EXPECT_EQ(recorder.losses.size(), 1u);

    driver.close();
    EXPECT_FALSE(driver.lineIsLost());
    pty = std::make_unique<Pty>();
    ASSERT_TRUE(driver.open(pty->slave(), error)) << error;
    pty->send("again");
    ASSERT_TRUE(runUntil([&] { return recorder.got.size() >= 9; }));
    EXPECT_EQ(recorder.got, "lastagain");
    EXPECT_TRUE(driver.write("ok"));
    EXPECT_EQ(takeOnLoop(*pty, 2), "ok");
}

// What the program writes in one turn of the event loop (a frame, a byte at a time) reaches
// the device in one write, so that no gap inside the frame looks like its end to the device;
// closing sends what is held yet; a device that refuses what is sent loses the line, once.
TEST(PosixSerialDriverTest, WhatOneTurnWritesLeavesInOneWrite) {
    Pty pty;
    const int keeper = ::open(pty.slave().c_str(), O_RDWR | O_NOCTTY);  // as the emulator does
    ASSERT_GE(keeper, 0);
    PosixSerialDriver driver;
    Recorder recorder(driver);
    std::string error;
    ASSERT_TRUE(driver.open(pty.slave(), error)) << error;

    const std::string frame("\x00\x05\x01\x55\xAA", 5);
    const std::uint64_t writes = driver.deviceWrites();
    for (const char c : frame)
        ASSERT_TRUE(driver.write(std::string_view(&c, 1)));
    EXPECT_EQ(takeOnLoop(pty, frame.size()), frame);
    EXPECT_EQ(driver.deviceWrites(), writes + 1);

    ASSERT_TRUE(driver.write("run"));
    driver.close();
    EXPECT_EQ(pty.take(3), "run");

    ASSERT_TRUE(driver.open(pty.slave(), error)) << error;
    ASSERT_TRUE(driver.write("lost"));
    pty.closeMaster();
    heldoutput::sendNow();  // as the program does before it pauses
    EXPECT_EQ(recorder.losses,
              std::vector<std::string>{"Input/output error (the adapter unplugged?)"});
    EXPECT_TRUE(driver.lineIsLost());
    EXPECT_FALSE(driver.write("x"));
    ::close(keeper);
}

TEST(PosixSerialDriverTest, WritesTheDeviceCannotTakeWaitInTheOutputQueue) {
    Pty pty;
    PosixSerialDriver driver;
    std::string error;
    ASSERT_TRUE(driver.open(pty.slave(), error)) << error;

    // Nobody reads the master: the pseudo-terminal fills up and the queue takes the rest.
    std::size_t sent = 0;
    while (driver.queued() == 0 && sent < (8u << 20)) {
        ASSERT_TRUE(driver.write(pattern(256, sent)));
        sent += 256;
        heldoutput::sendNow();
    }
    ASSERT_GT(driver.queued(), 0u);
    while (driver.write(pattern(256, sent)))
        sent += 256;
    EXPECT_GT(driver.queued() + 256, PosixSerialDriver::kOutSize);
    EXPECT_LE(driver.queued(), PosixSerialDriver::kOutSize);

    // As the device reads, the queue drains in order.
    std::string received;
    ASSERT_TRUE(runUntil([&] {
        received += pty.take();
        return received.size() >= sent;
    }));
    EXPECT_EQ(driver.queued(), 0u);
    EXPECT_TRUE(received == pattern(sent)) << "the bytes arrived out of order";
}

}  // namespace
}  // namespace tolvan
