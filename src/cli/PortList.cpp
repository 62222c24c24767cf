#include "cli/PortList.h"

#include <algorithm>
#include <iostream>
#include <system_error>

#include "app/Portas.h"
#include "cli/Events.h"
#include "cli/ExitCodes.h"
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

QJsonValue orNull(const std::string& s) {
    return s.empty() ? QJsonValue() : QJsonValue(QString::fromStdString(s));
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

std::string portListText(const std::vector<ListedPort>& ports) {
    std::string text;
    int unseen = 0;
    for (const ListedPort& p : ports) {
        std::string names;
        for (const std::string& n : p.names)
            names += (names.empty() ? "" : ", ") + n;
        if (p.network) {
            text +=
                names + " -> " + p.device + ": on another machine, " +
                (p.network->protocol == NetworkAddress::Protocol::Raw ? "raw TCP" : "RFC 2217") +
                " at " + p.network->hostAndPort() + " (not tried)\n";
            continue;
        }
        if (!p.present) {
            text +=
                names + " -> " + p.device +
                (p.device.starts_with('/') ? ": not there\n" : ": not a device of this machine\n");
            continue;
        }
        text += p.device + "  " + (names.empty() ? "not in the port map" : names) + "\n";
        if (!p.stableName.empty()) text += "    by-id    " + p.stableName + "\n";
        const UsbAdapter& u = p.usb;
        if (!u.vendorId.empty()) {
            std::string made;
            for (const std::string& s : {u.manufacturer, u.product})
                if (!s.empty()) made += (made.empty() ? "" : ", ") + s;
            text += "    USB      " + u.vendorId + ":" + u.productId +
                    (u.serial.empty() ? ", no serial number" : ", serial " + u.serial) +
                    (made.empty() ? "" : " (" + made + ")") + "\n";
        }
        if (!p.driver.empty()) text += "    driver   " + p.driver + "\n";
        for (const PortHolder& h : p.holders.holders)
            text += "    open in  process " + std::to_string(h.pid) + " (" + h.command +
                    (h.argv0.empty() || h.argv0 == h.command ? "" : ", " + h.argv0) + ")\n";
        unseen = std::max(unseen, p.holders.unreadable);
    }
    if (unseen > 0)
        text += "(" + std::to_string(unseen) +
                " processes of other users could not be looked into: run as root to see "
                "them)\n";
    return text;
}

QJsonObject portEvent(const ListedPort& p) {
    QJsonArray names;
    for (const std::string& n : p.names)
        names.append(QString::fromStdString(n));
    QJsonObject e{{"event", "port"},
                  {"device", QString::fromStdString(p.device)},
                  {"present", p.present},
                  {"com", names}};
    if (p.network) {
        e["present"] = QJsonValue();  // not known without connecting
        e["network"] = events::networkAddress(*p.network);
    }
    if (!p.present) return e;
    e["by_id"] = orNull(p.stableName);
    e["vendor_id"] = orNull(p.usb.vendorId);
    e["product_id"] = orNull(p.usb.productId);
    e["serial"] = orNull(p.usb.serial);
    e["manufacturer"] = orNull(p.usb.manufacturer);
    e["product"] = orNull(p.usb.product);
    e["driver"] = orNull(p.driver);
    e["holders"] = events::holders(p.holders);
    e["holders_unseen"] = p.holders.unreadable;
    return e;
}

int listPortsCommand(const fs::path& root, bool json) {
    DeviceScanner scanner;
    const std::unique_ptr<FileAccess> access = nativeFileAccess();
    const std::unique_ptr<PortRegistry> map = nativePortList(
        root, *access, scanner,
        [](const std::string& warning) { std::cerr << "tolvan-flash: " << warning << std::endl; });
    const std::vector<ListedPort> ports = listPorts(scanner.serialDevices(), map->ports());
    if (!json) {
        std::cout << portListText(ports);
    } else {
        for (const ListedPort& p : ports)
            std::cout << events::toLine(portEvent(p)).toStdString();
    }
    std::cout.flush();
    return kExitOk;
}

}  // namespace tolvan::cli
