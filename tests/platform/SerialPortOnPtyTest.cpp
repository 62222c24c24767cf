// The serial port component on the termios line, with the test as the device.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "PtyTestSupport.h"
#include "link/SerialPort.h"
#include "platform/PosixSerialDriver.h"
#include "sim/Fakes.h"
#include "sim/SimLoop.h"

namespace tolvan {
namespace {

namespace fs = std::filesystem;

TEST(SerialPortOnPtyTest, CarriesTheLinkAndOutlivesAHangUp) {
    const fs::path dir =
        fs::temp_directory_path() / ("tolvan-serial-pty-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    auto pty = std::make_unique<test::Pty>();
    PosixSerialDriver driver;
    sim::FakePortRegistry registry;
    registry.entries = {{"COM2", pty->slave()}};
    sim::ScriptedDialogs dialogs;
    sim::SimLoop clock;
    SerialPort port(driver, registry, dialogs, clock);
    port.setTraceFiles((dir / "APD.TRC").string(), (dir / "APD.LOG").string());
    std::string got;
    port.onTriggerAvail = [&](std::uint16_t count) {
        for (int i = 0; i < count; ++i)
            got += static_cast<char>(port.readChar());
    };

    const std::string cmdLink("\x00\x05\x01\x55\xAA", 5);
    port.sendString(cmdLink);  // opens the port on the way
    EXPECT_EQ(test::takeOnLoop(*pty, cmdLink.size()), cmdLink);
    pty->send(std::string("\x00\x03\x01", 3));
    ASSERT_TRUE(test::runUntil([&] { return got.size() == 3; }));

    // The device goes away: sending goes on without failing until the port is reopened.
    pty->closeMaster();
    ASSERT_TRUE(test::runUntil([&] { return driver.lineIsLost(); }));
    EXPECT_NO_THROW(port.sendString(cmdLink));
    port.setOpen(false);
    std::ifstream logFile(dir / "APD.LOG");
    std::stringstream log;
    log << logFile.rdbuf();
    EXPECT_NE(log.str().find("Line      Lost"), std::string::npos) << log.str();
    EXPECT_NE(log.str().find("Write     Dropped"), std::string::npos) << log.str();

    pty = std::make_unique<test::Pty>();
    registry.entries = {{"COM2", pty->slave()}};
    port.setOpen(true);
    port.sendString("A");
    EXPECT_EQ(test::takeOnLoop(*pty, 1), "A");
    fs::remove_all(dir);
}

}  // namespace
}  // namespace tolvan
