#include "link/SerialCommRegistry.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "platform/NativeFileAccess.h"

namespace tolvan {
namespace {

namespace fs = std::filesystem;

class FixedDevices : public SerialDeviceList {
  public:
    std::vector<std::string> serialDevices() override {
        ++scans;
        return devices;
    }
    std::vector<std::string> devices;
    int scans = 0;
};

std::vector<std::string> namesAndDevices(const std::vector<SerialPortEntry>& entries) {
    std::vector<std::string> out;
    for (const SerialPortEntry& e : entries)
        out.push_back(e.name + "=" + e.device);
    return out;
}

TEST(SerialCommParseTest, TakesPortLinesInFileOrderAndSkipsTheRest) {
    const std::string text =
        "\xEF\xBB\xBF"
        "COM3=/dev/ttyUSB0\r\n"
        "# a comment\r\n"
        "\r\n"
        "  com1 =  /dev/serial/by-id/usb-Maker_Cable 01-if00-port0  \r\n"
        "   # indented comment\n"
        "COM2\n"
        "LPT1=/dev/lp0\n"
        "COM=/dev/ttyS9\n"
        "COM0=/dev/ttyS0\n"
        "COM70000=/dev/ttyS0\n"
        "COM4x=/dev/ttyS0\n"
        "COM5=\n"
        "COM3=/dev/ttyACM0\n"
        "COM12=/dev/pts/7";
    EXPECT_EQ(namesAndDevices(parseSerialComm(text)),
              (std::vector<std::string>{"COM3=/dev/ttyUSB0",
                                        "COM1=/dev/serial/by-id/usb-Maker_Cable 01-if00-port0",
                                        "COM12=/dev/pts/7"}));
    EXPECT_TRUE(parseSerialComm("").empty());
    EXPECT_TRUE(parseSerialComm("\n\n# nothing\n").empty());
}

class SerialCommRegistryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("tolvan-serialcomm-" + std::to_string(::getpid()));
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    void TearDown() override { fs::remove_all(root_); }
    fs::path root_;
    FixedDevices devices;
    const std::unique_ptr<FileAccess> access = nativeFileAccess();
};

TEST_F(SerialCommRegistryTest, ReadsThePortListFileAfreshEachTime) {
    // The folders exist in another spelling; the resolver finds them.
    fs::create_directories(root_ / "orsolite" / "comuns");
    const fs::path file = root_ / "orsolite" / "comuns" / "SerialComm.txt";
    std::ofstream(file) << "COM2=/dev/pts/3\n";
    SerialCommRegistry registry(PathResolver(root_), *access, devices);
    EXPECT_EQ(namesAndDevices(registry.ports()), (std::vector<std::string>{"COM2=/dev/pts/3"}));

    std::ofstream(file) << "";
    EXPECT_TRUE(registry.ports().empty());
    EXPECT_EQ(devices.scans, 0);
}

TEST_F(SerialCommRegistryTest, WithoutTheFileTheMachinesDevicesAreNumberedInOrder) {
    devices.devices = {"/dev/ttyS0", "/dev/ttyUSB0", "/dev/ttyACM0"};
    SerialCommRegistry registry(PathResolver(root_), *access, devices);
    EXPECT_EQ(
        namesAndDevices(registry.ports()),
        (std::vector<std::string>{"COM1=/dev/ttyS0", "COM2=/dev/ttyUSB0", "COM3=/dev/ttyACM0"}));
}

// A port map that another operator left in the shared folder counts as no map, said once.
TEST_F(SerialCommRegistryTest, AMapOfAnotherUserIsPassedOver) {
#ifdef _WIN32
    GTEST_SKIP() << "giving a file to another owner takes a privilege the tests do not hold";
#else
    if (::geteuid() != 0) GTEST_SKIP() << "only root can give a file to another user";
    fs::create_directories(root_ / "Orsolite" / "Comuns");
    const fs::path file = root_ / "Orsolite" / "Comuns" / "SerialComm.txt";
    std::ofstream(file) << "COM2=/dev/pts/3\n";
    ASSERT_EQ(::chown(file.c_str(), 65534, 65534), 0);
    devices.devices = {"/dev/ttyS0"};
    std::vector<std::string> warnings;
    SerialCommRegistry registry(PathResolver(root_), *access, devices,
                                [&](const std::string& w) { warnings.push_back(w); });
    EXPECT_EQ(namesAndDevices(registry.ports()), std::vector<std::string>{"COM1=/dev/ttyS0"});
    EXPECT_EQ(namesAndDevices(registry.ports()), std::vector<std::string>{"COM1=/dev/ttyS0"});
    EXPECT_EQ(warnings.size(), 1u);
#endif
}

}  // namespace
}  // namespace tolvan
