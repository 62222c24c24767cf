#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/NetworkAddress.h"
#include "platform/NetworkFailure.h"

namespace tolvan::cli {

// Why a serial port may not open or not answer, as /proc and /sys tell it: the processes that
// have the device open, and the daemons known to take USB serial adapters. For a port on
// another machine, what its connection said, and what to check (networkAdviceLine).

// A process with the device open.
struct PortHolder {
    pid_t pid = 0;
    std::string command;  // /proc/<pid>/comm
    std::string argv0;    // the first word of /proc/<pid>/cmdline
};

struct HolderScan {
    std::vector<PortHolder> holders;
    // Processes whose descriptors could not be read (another user's, unless this is root): a
    // holder may be among them.
    int unreadable = 0;
    std::string error;  // the device itself could not be examined: why
};

// What a small file of /proc or /sys holds, or as much as could be read: empty when it cannot
// be opened or read. Its process may end, or its device go, between the opening and the reading,
// and the read then fails (a file stream would throw from there, out of the scan).
std::string readKernelFile(const std::string& file);

// The processes other than this one that have the character device at `device` open, matched
// by device number, so that a by-id link, /dev/ttyUSB0 and /dev/pts/N all work.
HolderScan holdersOf(const std::string& device);

// A running daemon known to take serial adapters, and what to do about it.
struct Interferer {
    pid_t pid = 0;
    std::string process;  // "ModemManager", "brltty"
    std::string remedy;   // one line
};

// The ModemManager and brltty processes that run. `device` fills the adapter's USB vendor and
// product into the udev rule of ModemManager's remedy when it can be found.
std::vector<Interferer> interferers(const std::string& device = {});

// The USB device behind a tty, as sysfs tells it: its vendor and product ids ("0403",
// "6001"), its serial number and the names it gives its maker and itself. All empty when the
// tty is no USB device; a device without a serial number has none.
struct UsbAdapter {
    std::string vendorId, productId, serial, manufacturer, product;
};

// The adapter behind a tty device (a by-id link is followed), from sysfs under `sys`.
UsbAdapter usbAdapterOf(const std::string& device, const std::filesystem::path& sys = "/sys");

// The kernel driver that serves a tty device ("ftdi_sio", "cdc_acm", "serial"), or empty.
std::string kernelDriverOf(const std::string& device, const std::filesystem::path& sys = "/sys");

// The link in `byId` (as udev makes /dev/serial/by-id) that leads to the device, or empty.
std::string stableNameOf(const std::string& device,
                         const std::filesystem::path& byId = "/dev/serial/by-id");

struct PortAdvice {
    std::string device;
    HolderScan holders;
    std::vector<Interferer> interferers;
    // False where the system does not tell who has a port open (Windows, where a port that
    // opened had no other holder, and one that did not is told as held already).
    bool holdersKnown = true;
};

// Why a local device may not open, as this system has it: "missing (...), not a serial
// device, or not permitted (...)".
std::string unopenableReasons();

// Everything above for a port that did not open or did not answer.
PortAdvice diagnosePort(const std::string& device);

// The advice as lines for standard error, without a trailing line feed.
std::vector<std::string> adviceLines(const PortAdvice& advice);

// A port on another machine: the opening's failure, the line's loss, or (fault None) a port
// that opened and whose device did not answer.
struct NetworkAdvice {
    NetworkAddress address;
    NetworkFailure failure;
};

// One line for standard error: the port's address (so its host and port; left out when the
// line is told under that address already), what happened and what to check.
std::string networkAdviceLine(const NetworkAdvice& advice, bool withAddress = true);

}  // namespace tolvan::cli
