#pragma once

#include <QJsonObject>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/PortDoctor.h"
#include "platform/NetworkAddress.h"
#include "services/PortRegistry.h"

namespace tolvan::cli {

// tolvan-flash --list-ports: the machine's serial devices, each with what tells one adapter
// from another (its /dev/serial/by-id name, the USB ids and serial number, the kernel driver),
// the COMn names the port map gives it and the processes that have it open; then the map's
// entries that lead to no device. On Windows the COM ports the system knows, with the same
// details where it has them (cli/win32/PortListing).
struct ListedPort {
    std::string device;              // the device's path, or the map's path that leads nowhere
    bool present = true;             // false: only the port map names it, and it is not there
    std::string stableName;          // the /dev/serial/by-id link to it, or empty
    UsbAdapter usb;                  // empty when it is no USB device
    std::string driver;              // the kernel driver (Windows: its service), or empty
    std::string friendlyName;        // Windows' name for it ("USB Serial Port (COM5)"), or empty
    std::vector<std::string> names;  // the port map's COMn for it, in the map's order
    HolderScan holders;
    bool holdersKnown = true;  // false where the system does not tell (Windows)
    // A port on another machine that the map names: listed, not connected to (a connection
    // would take the server's port from whoever has it).
    std::optional<NetworkAddress> network;
};

// Where the machine tells about its devices; the tests give folders of their own.
struct DevicePlaces {
    std::filesystem::path sys = "/sys";
    std::filesystem::path byId = "/dev/serial/by-id";
};

// (POSIX) `devices` as the device scan finds them, then the devices only the port map names (a pty,
// say), then the map's ports on other machines, then the map's entries that are not there.
std::vector<ListedPort> listPorts(const std::vector<std::string>& devices,
                                  const std::vector<SerialPortEntry>& map,
                                  const DevicePlaces& places = {});

// The list for a terminal: a block per device, a line per entry that leads nowhere.
std::string portListText(const std::vector<ListedPort>& ports);

// {"event":"port","device":...,"present":...,"by_id":...,"vendor_id":...,"product_id":...,
//  "serial":...,"manufacturer":...,"product":...,"driver":...,"com":[...],"holders":[...],
//  "holders_unseen":N}, and "friendly_name" where the system gives one; what is not known is
// null (the holders on Windows). A port on another machine:
// {"event":"port","device":URL,"present":null,"com":[...],"network":{url,host,port,protocol}}.
QJsonObject portEvent(const ListedPort& port);

// The list on standard output, as text or as JSON lines.
void printPorts(const std::vector<ListedPort>& ports, bool json);

// tolvan-flash --list-ports [--json] for the installation at `root`: the machine's devices as
// the port list finds them, against its port map. The exit status.
int listPortsCommand(const std::filesystem::path& root, bool json);

}  // namespace tolvan::cli
