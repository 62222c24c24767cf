// The COM port driver under Wine, against the device emulator on pseudo-terminals that
// tests/windows/run.sh maps as COM ports: TOLVAN_TEST_COM (COM5), TOLVAN_TEST_HIGH_COM (COM12,
// past the names that work without \\.\) and TOLVAN_TEST_HANGUP_COM (COM6, an emulator that
// hangs up at the run frame).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "EventLoopWait.h"
#include "platform/win32/RegistryPortList.h"
#include "platform/win32/Win32SerialDriver.h"

namespace tolvan::test {

namespace {

const std::string kLink("\x00\x05\x01\x55\xAA", 5);
const std::string kLinkAnswer("\x00\x03\x01", 3);

std::string port(const char* variable) {
    const char* value = std::getenv(variable);
    return value ? value : "";
}

struct Recorder : SerialDriver::Listener {
    explicit Recorder(SerialDriver& d) : driver(d) { driver.setListener(this); }
    ~Recorder() override { driver.setListener(nullptr); }
    void bytesArrived() override { got += driver.takeReceived(); }
    void lineLost(const std::string& reason) override { losses.push_back(reason); }
    SerialDriver& driver;
    std::string got;
    std::vector<std::string> losses;
};

// Sends a frame a byte at a time, as the program does, and waits for `answerSize` bytes.
std::string exchange(Win32SerialDriver& driver, Recorder& recorder, const std::string& frame,
                     std::size_t answerSize) {
    recorder.got.clear();
    for (const char c : frame)
        EXPECT_TRUE(driver.write(std::string_view(&c, 1)));
    runUntil([&] { return recorder.got.size() >= answerSize; });
    return recorder.got;
}

std::uint64_t processorMs() {
    FILETIME created, ended, kernel, user;
    ::GetProcessTimes(::GetCurrentProcess(), &created, &ended, &kernel, &user);
    const auto ticks = [](FILETIME t) {
        return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return (ticks(kernel) + ticks(user)) / 10000;
}

}  // namespace

class Win32SerialDriverTest : public ::testing::TestWithParam<const char*> {};

// Opened at 19200 8N1 with DTR and RTS through the DCB (a pseudo-terminal under Wine takes it),
// the link poll leaves in one WriteFile and the answer comes back; bytes 00 and FF pass both
// ways; while one driver holds the port another is refused, and the port is free again after.
TEST_P(Win32SerialDriverTest, CarriesTheLinkAndHoldsThePort) {
    const std::string com = port(GetParam());
    if (com.empty()) GTEST_SKIP() << GetParam() << " is set by tests/windows/run.sh";
    Win32SerialDriver driver;
    Recorder recorder(driver);
    std::string error;
    ASSERT_TRUE(driver.open(com, error)) << error;

    const std::uint64_t writes = driver.deviceWrites();
    EXPECT_EQ(exchange(driver, recorder, kLink, 3), kLinkAnswer);
    EXPECT_EQ(driver.deviceWrites(), writes + 1);
    EXPECT_EQ(exchange(driver, recorder, std::string("\x00\x06\x03\xFF\xFF\xFF", 6), 3),
              std::string("\x00\x03\x03", 3));
    // A sector read outside a read sequence answers FF.
    const std::string sector = exchange(driver, recorder, std::string("\x00\x03\x09", 3), 259);
    ASSERT_EQ(sector.size(), 259u);
    EXPECT_EQ(sector.substr(0, 3), std::string("\x01\x03\x09", 3));
    EXPECT_EQ(sector.substr(3), std::string(256, '\xFF'));

    Win32SerialDriver other;
    EXPECT_FALSE(other.open(com, error));
    EXPECT_EQ(error, "held by another program");
    EXPECT_EQ(other.probe(com), SerialDriver::Availability::InUse);
    EXPECT_EQ(driver.probe(com), SerialDriver::Availability::InUse);
    driver.close();
    EXPECT_EQ(other.probe(com), SerialDriver::Availability::Free);
    ASSERT_TRUE(other.open(com, error)) << error;
    Recorder again(other);
    EXPECT_EQ(exchange(other, again, kLink, 3), kLinkAnswer);
    EXPECT_EQ(other.probe("COM40"), SerialDriver::Availability::Missing);
    EXPECT_FALSE(driver.open("COM40", error));
    EXPECT_FALSE(error.empty());
}

INSTANTIATE_TEST_SUITE_P(Ports, Win32SerialDriverTest,
                         ::testing::Values("TOLVAN_TEST_COM", "TOLVAN_TEST_HIGH_COM"));

// The device hanging up is told once as a lost line; the port then wakes nobody and takes no
// writes, and once closed it is gone.
TEST(Win32SerialDriverLossTest, AHangUpIsToldOnceAndCostsNothingAfter) {
    const std::string com = port("TOLVAN_TEST_HANGUP_COM");
    if (com.empty()) GTEST_SKIP() << "TOLVAN_TEST_HANGUP_COM is set by tests/windows/run.sh";
    Win32SerialDriver driver;
    Recorder recorder(driver);
    std::string error;
    ASSERT_TRUE(driver.open(com, error)) << error;
    EXPECT_EQ(exchange(driver, recorder, kLink, 3), kLinkAnswer);

    ASSERT_TRUE(driver.write(std::string("\x00\x03\x0B", 3)));  // run: the emulator hangs up
    ASSERT_TRUE(runUntil([&] { return !recorder.losses.empty(); }));
    EXPECT_TRUE(driver.lineIsLost());
    const std::uint64_t wakeups = driver.readWakeups();
    const std::uint64_t processor = processorMs();
    runAWhile(300);
    EXPECT_LE(driver.readWakeups(), wakeups + 1);
    EXPECT_LT(processorMs() - processor, 100u);
    EXPECT_FALSE(driver.write(kLink));
    EXPECT_EQ(recorder.losses.size(), 1u);

    driver.close();
    EXPECT_FALSE(driver.lineIsLost());
    EXPECT_EQ(driver.probe(com), SerialDriver::Availability::Missing);
}

// The registry lists the ports the run script mapped, each opened by its own name.
TEST(RegistryPortListTest, ListsTheMappedPortsByName) {
    const std::string low = port("TOLVAN_TEST_COM");
    const std::string high = port("TOLVAN_TEST_HIGH_COM");
    if (low.empty() || high.empty()) GTEST_SKIP() << "the ports are set by tests/windows/run.sh";
    RegistryPortList registry;
    int found = 0;
    for (const SerialPortEntry& entry : registry.ports()) {
        EXPECT_EQ(entry.device, entry.name);
        if (entry.name == low || entry.name == high) ++found;
    }
    EXPECT_EQ(found, 2);
}

}  // namespace tolvan::test
