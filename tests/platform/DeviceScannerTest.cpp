#include "platform/DeviceScanner.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace tolvan {
namespace {

namespace fs = std::filesystem;

TEST(DeviceScannerTest, ListsAnsweringUartsThenUsbThenAcmEachInNumberOrder) {
    const fs::path root = fs::temp_directory_path() / ("tolvan-scan-" + std::to_string(::getpid()));
    fs::remove_all(root);
    const fs::path dev = root / "dev";
    const fs::path sys = root / "sys";
    fs::create_directories(dev);
    for (const char* name : {"ttyS0", "ttyS1", "ttyS10", "ttyS2", "ttyUSB10", "ttyUSB2", "ttyACM0",
                             "ttyUSB", "ttyS1a", "tty0", "ttyAMA0", "null"}) {
        std::ofstream(dev / name) << "";
    }
    // The UART types the serial core reports: 4 is a 16550A, 0 is no UART at all. ttyS2 has
    // no type and is no tty, so it does not answer either.
    for (auto [name, type] : {std::pair{"ttyS0", "4"}, {"ttyS1", "0"}, {"ttyS10", "4"}}) {
        fs::create_directories(sys / name);
        std::ofstream(sys / name / "type") << type << "\n";
    }

    DeviceScanner scanner(dev, sys);
    const std::vector<std::string> expected = {
        (dev / "ttyS0").string(), (dev / "ttyS10").string(), (dev / "ttyUSB2").string(),
        (dev / "ttyUSB10").string(), (dev / "ttyACM0").string()};
    EXPECT_EQ(scanner.serialDevices(), expected);

    EXPECT_TRUE(DeviceScanner(root / "missing", sys).serialDevices().empty());
    fs::remove_all(root);
}

}  // namespace
}  // namespace tolvan
