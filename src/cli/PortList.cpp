#include "cli/PortList.h"

#include <algorithm>
#include <iostream>

#include "cli/Events.h"

namespace tolvan::cli {

namespace {

QJsonValue orNull(const std::string& s) {
    return s.empty() ? QJsonValue() : QJsonValue(QString::fromStdString(s));
}

}  // namespace

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
        if (!p.friendlyName.empty()) text += "    name     " + p.friendlyName + "\n";
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
    if (!p.friendlyName.empty()) e["friendly_name"] = QString::fromStdString(p.friendlyName);
    e["holders"] = p.holdersKnown ? QJsonValue(events::holders(p.holders)) : QJsonValue();
    e["holders_unseen"] = p.holders.unreadable;
    return e;
}

void printPorts(const std::vector<ListedPort>& ports, bool json) {
    if (!json) {
        std::cout << portListText(ports);
    } else {
        for (const ListedPort& p : ports)
            std::cout << events::toLine(portEvent(p)).toStdString();
    }
    std::cout.flush();
}

}  // namespace tolvan::cli
