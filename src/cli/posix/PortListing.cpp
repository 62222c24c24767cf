#include <algorithm>
#include <iostream>
#include <system_error>

#include "cli/ExitCodes.h"
#include "cli/PortList.h"
#include "platform/DeviceScanner.h"
#include "platform/NativeFileAccess.h"
#include "platform/NativePortList.h"

namespace tolvan::cli {

namespace fs = std::filesystem;

namespace {

// The device a path leads to, or empty when it leads nowhere.
std::string resolved(const std::string& path) {
    std::error_code ec;
    const fs::path target = fs::canonical(path, ec);
    return ec ? std::string() : target.string();
}

ListedPort describe(const std::string& device, const DevicePlaces& places) {
    ListedPort port;
    port.device = device;
    port.stableName = stableNameOf(device, places.byId);
    port.usb = usbAdapterOf(device, places.sys);
    port.driver = kernelDriverOf(device, places.sys);
    port.holders = holdersOf(device);
    return port;
}

}  // namespace

std::vector<ListedPort> listPorts(const std::vector<std::string>& devices,
                                  const std::vector<SerialPortEntry>& map,
                                  const DevicePlaces& places) {
    std::vector<ListedPort> ports;
    std::vector<std::string> targets;  // what each listed device resolves to
    for (const std::string& device : devices) {
        ports.push_back(describe(device, places));
        targets.push_back(resolved(device));
    }
    std::vector<ListedPort> remote, nowhere;
    for (const SerialPortEntry& entry : map) {
        std::string why;
        if (isNetworkAddress(entry.device)) {
            ListedPort port;
            port.device = entry.device;
            port.present = false;
            port.names = {entry.name};
            port.network = parseNetworkAddress(entry.device, why);
            (port.network ? remote : nowhere).push_back(port);
            continue;
        }
        const std::string target = resolved(entry.device);
        if (target.empty()) {
            ListedPort gone;
            gone.device = entry.device;
            gone.present = false;
            gone.names = {entry.name};
            nowhere.push_back(gone);
            continue;
        }
        const auto at = std::find(targets.begin(), targets.end(), target);
        if (at == targets.end()) {
            // A device the scan does not look for (a pseudo-terminal, say).
            ports.push_back(describe(entry.device, places));
            targets.push_back(target);
            ports.back().names = {entry.name};
        } else {
            ports[static_cast<std::size_t>(at - targets.begin())].names.push_back(entry.name);
        }
    }
    ports.insert(ports.end(), remote.begin(), remote.end());
    ports.insert(ports.end(), nowhere.begin(), nowhere.end());
    return ports;
}

int listPortsCommand(const fs::path& root, bool json) {
    DeviceScanner scanner;
    const std::unique_ptr<FileAccess> access = nativeFileAccess();
    const std::unique_ptr<PortRegistry> map = nativePortList(
        root, *access, scanner,
        [](const std::string& warning) { std::cerr << "tolvan-flash: " << warning << std::endl; });
    printPorts(listPorts(scanner.serialDevices(), map->ports()), json);
    return kExitOk;
}

}  // namespace tolvan::cli
