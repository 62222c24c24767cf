#include "platform/NativeSerialDriver.h"

#include "platform/win32/Win32SerialDriver.h"

namespace tolvan {

std::unique_ptr<SerialDriver> nativeSerialDriver() {
    return std::make_unique<Win32SerialDriver>();
}

}  // namespace tolvan
