#include "platform/NativePortList.h"

#include "link/SerialCommRegistry.h"
#include "platform/win32/RegistryPortList.h"

namespace tolvan {

// The port map file and the device scan stand in for the registry elsewhere; here the registry
// is there.
std::unique_ptr<PortRegistry> nativePortList(const std::filesystem::path& root,
                                             const FileAccess& access, SerialDeviceList& devices,
                                             std::function<void(const std::string&)> warn) {
    (void)root;
    (void)access;
    (void)devices;
    (void)warn;
    return std::make_unique<RegistryPortList>();
}

namespace {

class NoDevices : public SerialDeviceList {
  public:
    std::vector<std::string> serialDevices() override { return {}; }
};

}  // namespace

std::unique_ptr<SerialDeviceList> nativeDeviceList() {
    return std::make_unique<NoDevices>();
}

}  // namespace tolvan
