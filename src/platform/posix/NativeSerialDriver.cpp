#include "platform/NativeSerialDriver.h"

#include "platform/PosixSerialDriver.h"

namespace tolvan {

std::unique_ptr<SerialDriver> nativeSerialDriver() {
    return std::make_unique<PosixSerialDriver>();
}

}  // namespace tolvan
