#pragma once

#include <memory>

#include "services/SerialDriver.h"

namespace tolvan {

// This machine's local serial driver (platform/posix: termios, PosixSerialDriver;
// platform/win32: COM ports, Win32SerialDriver), whichever the build is for.
std::unique_ptr<SerialDriver> nativeSerialDriver();

}  // namespace tolvan
