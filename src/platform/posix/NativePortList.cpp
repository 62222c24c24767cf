#include "platform/NativePortList.h"

#include "link/SerialCommRegistry.h"
#include "platform/DeviceScanner.h"

namespace tolvan {

std::unique_ptr<PortRegistry> nativePortList(const std::filesystem::path& root,
                                             const FileAccess& access, SerialDeviceList& devices,
                                             std::function<void(const std::string&)> warn) {
    return std::make_unique<SerialCommRegistry>(PathResolver(root), access, devices,
                                                std::move(warn));
}

std::unique_ptr<SerialDeviceList> nativeDeviceList() {
    return std::make_unique<DeviceScanner>();
}

}  // namespace tolvan
