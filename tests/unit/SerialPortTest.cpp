#include "link/SerialPort.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "link/SerialTrace.h"
#include "sim/Fakes.h"
#include "sim/SimLoop.h"
#include "sim/SimSerial.h"

namespace tolvan {
namespace {

namespace fs = std::filesystem;

// A simulated line that can be gone while the device stays open.
class LosableDriver : public sim::SimSerialDriver {
  public:
    using SimSerialDriver::SimSerialDriver;
    bool lineIsLost() const override { return lost; }
    bool lost = false;
};

std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The port on a simulated line with COM1 to COM4 mapped to /dev/sim1 to /dev/sim4, in a
// fresh current directory so that APD.TRC and APD.LOG land there.
class SerialPortTest : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_ = fs::current_path();
        dir_ = fs::temp_directory_path() /
               ("tolvan-serial-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        fs::current_path(dir_);
        for (int n = 1; n <= 4; ++n) {
            const std::string device = "/dev/sim" + std::to_string(n);
            registry.entries.push_back({"COM" + std::to_string(n), device});
            driver.addDevice(device);
        }
        port = std::make_unique<SerialPort>(driver, registry, dialogs, loop);
    }
    void TearDown() override {
        port.reset();
        fs::current_path(previous_);
        fs::remove_all(dir_);
    }
    // Counts of the data-available events; the handler takes every byte announced.
    void readEverything() {
        port->onTriggerAvail = [this](std::uint16_t count) {
            counts.push_back(count);
            for (int i = 0; i < count; ++i)
                got += static_cast<char>(port->readChar());
        };
    }

    sim::SimLoop loop;
    LosableDriver driver{loop};
    sim::FakePortRegistry registry;
    sim::ScriptedDialogs dialogs;
    std::unique_ptr<SerialPort> port;
    std::vector<int> counts;
    std::string got;
    fs::path dir_;
    fs::path previous_;
};

TEST_F(SerialPortTest, OpensTheMappedDeviceClosesAndReopens) {
    EXPECT_EQ(port->comNumber(), 2);
    EXPECT_FALSE(port->isOpen());
    port->setOpen(true);
    EXPECT_TRUE(port->isOpen());
    EXPECT_EQ(driver.openedDevice(), "/dev/sim2");
    port->setOpen(true);  // already open: nothing happens
    EXPECT_EQ(driver.openCount(), 1);

    port->setOpen(false);
    EXPECT_FALSE(port->isOpen());
    port->setComNumber(4);
    port->setOpen(true);
    EXPECT_EQ(driver.openedDevice(), "/dev/sim4");
    EXPECT_EQ(driver.openCount(), 2);
}

TEST_F(SerialPortTest, OpeningFailsForUnmappedMissingOrHeldPorts) {
    port->setComNumber(9);
    EXPECT_THROW(port->setOpen(true), SerialError);
    EXPECT_FALSE(port->isOpen());

    registry.entries.push_back({"COM5", "/dev/gone"});
    port->setComNumber(5);
    EXPECT_THROW(port->setOpen(true), SerialError);

    driver.setInUse("/dev/sim1", true);
    port->setComNumber(1);
    EXPECT_THROW(port->setOpen(true), SerialError);
    EXPECT_FALSE(port->isOpen());

    // ComNumber is 16 bits: 65538 is port 2.
    port->setComNumber(65538);
    EXPECT_EQ(port->comNumber(), 2);
    port->setOpen(true);
    EXPECT_EQ(driver.openedDevice(), "/dev/sim2");
}

TEST_F(SerialPortTest, PortZeroAsksForAPortThatExists) {
    registry.entries[3].device = "/dev/gone";  // COM4: not there, not offered
    driver.setInUse("/dev/sim3", true);        // COM3: held elsewhere, still offered
    dialogs.onSelectPort = [](const SelectPortRequest&) { return std::string("COM1"); };
    port->setComNumber(0);
    port->setOpen(true);

    ASSERT_EQ(dialogs.selectPortRequests.size(), 1u);
    const SelectPortRequest& request = dialogs.selectPortRequests[0];
    EXPECT_EQ(request.caption, "Select Port");
    EXPECT_EQ(request.line1, "The configured serial port is not valid.");
    EXPECT_EQ(request.line2, "Please choose another port.");
    EXPECT_EQ(request.choices, (std::vector<std::string>{"COM1", "COM2", "COM3"}));
    EXPECT_EQ(driver.openedDevice(), "/dev/sim1");
    EXPECT_EQ(port->comNumber(), 1);
}

TEST_F(SerialPortTest, CancellingThePortChoiceFailsTheOpening) {
    port->setComNumber(0);
    EXPECT_THROW(port->setOpen(true), SerialError);
    EXPECT_EQ(dialogs.selectPortRequests.size(), 1u);
    EXPECT_FALSE(port->isOpen());
    EXPECT_EQ(port->comNumber(), 0);
}

TEST_F(SerialPortTest, SendingWhileThePortChoiceIsOpenDoesNotAskAgain) {
    // A timer tick inside the dialog's event loop sends, which would open the port again.
    dialogs.onSelectPort = [this](const SelectPortRequest&) {
        EXPECT_THROW(port->sendString("tick"), SerialError);
        return std::string("COM2");
    };
    port->setComNumber(0);
    port->setOpen(true);
    EXPECT_EQ(dialogs.selectPortRequests.size(), 1u);
    EXPECT_EQ(driver.openedDevice(), "/dev/sim2");
    EXPECT_EQ(driver.written(), "");
}

TEST_F(SerialPortTest, SendingOnAClosedPortOpensItFirst) {
    const std::string frame("\x00\x05\x01\x55\xAA", 5);
    port->sendString(frame);
    EXPECT_TRUE(port->isOpen());
    EXPECT_EQ(driver.written(), frame);

    port->setOpen(false);
    port->setComNumber(8);
    EXPECT_THROW(port->sendString(frame), SerialError);
}

TEST_F(SerialPortTest, EachArrivalRaisesOneEventWithTheCountWaiting) {
    readEverything();
    port->setOpen(true);
    EXPECT_THROW(port->readChar(), SerialError);

    driver.deliver("ab", 10);
    driver.deliver("c", 10);  // due together: taken in one event
    driver.deliver(std::string("\x00\xFF", 2), 30);
    loop.runFor(50);
    EXPECT_EQ(counts, (std::vector<int>{3, 2}));
    EXPECT_EQ(got, std::string("abc\x00\xFF", 5));
    EXPECT_EQ(port->waiting(), 0u);
    EXPECT_THROW(port->readChar(), SerialError);
}

TEST_F(SerialPortTest, ArrivalsInsideAHandlersModalDialogAreHandledNested) {
    int depth = 0;
    int deepest = 0;
    port->onTriggerAvail = [&](std::uint16_t count) {
        ++depth;
        deepest = std::max(deepest, depth);
        counts.push_back(count);
        for (int i = 0; i < count; ++i)
            got += static_cast<char>(port->readChar());
        // The first event shows a "message": its loop runs while the line goes on.
        if (counts.size() == 1) loop.runFor(100);
        --depth;
    };
    port->setOpen(true);
    driver.deliver("12", 10);
    driver.deliver("345", 50);
    driver.deliver("6", 200);
    loop.runFor(300);
    EXPECT_EQ(deepest, 2);
    EXPECT_EQ(counts, (std::vector<int>{2, 3, 1}));
    EXPECT_EQ(got, "123456");
}

TEST_F(SerialPortTest, BytesBeyondTheInputBufferAreLost) {
    port->setOpen(true);
    driver.deliverNow(std::string(5000, 'x'));
    loop.runFor(1);
    EXPECT_EQ(port->waiting(), SerialPort::kInSize);
}

TEST_F(SerialPortTest, TraceAndLogAreWrittenOnTheFirstCloseOnly) {
    readEverything();
    port->setComNumber(7);
    EXPECT_THROW(port->sendString("lost"), SerialError);  // a failed opening records nothing
    port->setComNumber(2);
    loop.runFor(100);
    port->sendString(std::string("\x00\x05\x01\x55\xAA", 5));
    driver.deliver(std::string("\x00\x03\x01", 3), 120);
    loop.runFor(50);
    EXPECT_FALSE(fs::exists("APD.TRC"));

    port->setOpen(false);
    EXPECT_EQ(readFile("APD.TRC"),
              "Transmit: \r\n[00][05][01]U[AA]\r\n\r\nReceive: \r\n[00][03][01]\r\n");
    const std::string log = readFile("APD.LOG");
    EXPECT_EQ(log.find("    Time  Type      SubType   Data        OtherData\r\n"), 0u);
    for (const char* line :
         {"       0  Port      Open      COM2        /dev/sim2\r\n",
          "       0  Write     Queued    5           00 05 01 55 AA\r\n",
          "      20  Receive   Data      3           00 03 01\r\n",
          "      20  Trigger   Avail     3\r\n", "      20  Read      Chars     3\r\n",
          "      50  Port      Close     COM2\r\n"}) {
        EXPECT_NE(log.find(line), std::string::npos) << line;
    }
    EXPECT_EQ(log.find("lost"), std::string::npos);

    // Later traffic and closes write nothing, the program's end included.
    fs::remove("APD.TRC");
    fs::remove("APD.LOG");
    port->setOpen(true);
    port->sendString("more");
    port->setOpen(false);
    port->setOpen(true);
    port.reset();
    EXPECT_FALSE(fs::exists("APD.TRC"));
    EXPECT_FALSE(fs::exists("APD.LOG"));
}

TEST_F(SerialPortTest, TheProgramsEndWritesTheTraceOfAnOpenPort) {
    port->sendString("AB");
    port.reset();
    EXPECT_EQ(readFile("APD.TRC"), "Transmit: \r\nAB\r\n");
}

TEST_F(SerialPortTest, WritesToALineThatIsGoneAreDroppedQuietly) {
    port->setOpen(true);
    driver.lost = true;
    driver.setBroken(true);
    EXPECT_NO_THROW(port->sendString("AB"));
    EXPECT_EQ(driver.written(), "");

    // A refused write on a line that is still there is an error.
    driver.lost = false;
    EXPECT_THROW(port->sendString("CD"), SerialError);

    port->setOpen(false);
    const std::string log = readFile("APD.LOG");
    EXPECT_NE(log.find("Write     Dropped   2           41 42"), std::string::npos);
    EXPECT_NE(log.find("Write     Refused   2           43 44"), std::string::npos);
    EXPECT_EQ(readFile("APD.TRC"), "");
}

}  // namespace
}  // namespace tolvan
