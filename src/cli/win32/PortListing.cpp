#include <windows.h>
//
#include <cfgmgr32.h>
#include <setupapi.h>

#include <algorithm>
#include <cwctype>

#include "cli/ExitCodes.h"
#include "cli/PortList.h"
#include "platform/win32/RegistryPortList.h"
#include "services/PathResolver.h"

namespace tolvan::cli {

namespace {

// The COM port device interface, and the Ports setup class (which also holds the LPT ports).
constexpr GUID kComPortInterface = {
    0x86e0d1e0, 0x8089, 0x11d0, {0x9c, 0xe4, 0x08, 0x00, 0x3e, 0x30, 0x1f, 0x73}};
constexpr GUID kPortsClass = {
    0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

std::string narrow(const std::wstring& text) {
    return utf8(std::filesystem::path(text));
}

std::wstring upper(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towupper(c)); });
    return text;
}

// A text property of the device (several NUL-separated for a list), or empty.
std::wstring property(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD which) {
    wchar_t buffer[1024] = {};
    DWORD size = 0;
    if (!::SetupDiGetDeviceRegistryPropertyW(set, &device, which, nullptr,
                                             reinterpret_cast<BYTE*>(buffer), sizeof buffer - 4,
                                             &size))
        return {};
    std::wstring text(buffer, size / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0')
        text.pop_back();
    return text;
}

// The COMn that the port's driver took, from its device key.
std::wstring portName(HDEVINFO set, SP_DEVINFO_DATA& device) {
    const HKEY key =
        ::SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
    if (key == INVALID_HANDLE_VALUE) return {};
    wchar_t name[64] = {};
    DWORD size = sizeof name - sizeof(wchar_t);
    DWORD type = 0;
    const bool got = ::RegQueryValueExW(key, L"PortName", nullptr, &type,
                                        reinterpret_cast<BYTE*>(name), &size) == ERROR_SUCCESS &&
                     type == REG_SZ;
    ::RegCloseKey(key);
    return got ? std::wstring(name) : std::wstring();
}

// "0403" after "VID_" in a hardware id ("USB\VID_0403&PID_6001&REV_0600",
// "FTDIBUS\COMPORT&VID_0403&PID_6001"), lower case as sysfs gives it; empty when absent.
std::string idAfter(const std::wstring& hardwareIds, const wchar_t* tag) {
    const std::wstring ids = upper(hardwareIds);
    const std::size_t at = ids.find(tag);
    if (at == std::wstring::npos) return {};
    std::string id;
    for (std::size_t i = at + std::wcslen(tag); i < ids.size() && std::iswxdigit(ids[i]); ++i)
        id += static_cast<char>(std::towlower(ids[i]));
    return id.size() == 4 ? id : std::string();
}

// The USB serial number: the last part of the instance id of the USB device the port is, or
// sits below ("USB\VID_0403&PID_6001\A50285BI"). Windows makes up an id with "&" in it for a
// device that has no serial number.
std::string usbSerial(DEVINST node) {
    for (int depth = 0; depth < 4; ++depth) {
        wchar_t id[MAX_DEVICE_ID_LEN] = {};
        if (::CM_Get_Device_IDW(node, id, MAX_DEVICE_ID_LEN, 0) != CR_SUCCESS) return {};
        const std::wstring instance = upper(id);
        if (instance.starts_with(L"USB\\VID_")) {
            const std::wstring last = std::wstring(id).substr(instance.rfind(L'\\') + 1);
            return last.find(L'&') == std::wstring::npos ? narrow(last) : std::string();
        }
        DEVINST parent = 0;
        if (::CM_Get_Parent(&parent, node, 0) != CR_SUCCESS) return {};
        node = parent;
    }
    return {};
}

// The ports SetupAPI knows, each once, by the interface and by the Ports class.
std::vector<ListedPort> setupPorts() {
    std::vector<ListedPort> ports;
    std::vector<std::wstring> seen;
    const std::pair<const GUID*, DWORD> queries[] = {
        {&kComPortInterface, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE}, {&kPortsClass, DIGCF_PRESENT}};
    for (const auto& [guid, flags] : queries) {
        const HDEVINFO set = ::SetupDiGetClassDevsW(guid, nullptr, nullptr, flags);
        if (set == INVALID_HANDLE_VALUE) continue;
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        for (DWORD i = 0; ::SetupDiEnumDeviceInfo(set, i, &device); ++i) {
            wchar_t id[MAX_DEVICE_ID_LEN] = {};
            if (!::SetupDiGetDeviceInstanceIdW(set, &device, id, MAX_DEVICE_ID_LEN, nullptr))
                continue;
            const std::wstring name = portName(set, device);
            if (!upper(name).starts_with(L"COM") ||
                std::find(seen.begin(), seen.end(), id) != seen.end())
                continue;  // a printer port, or one listed already
            seen.emplace_back(id);
            ListedPort port;
            port.device = narrow(name);
            port.holdersKnown = false;
            port.friendlyName = narrow(property(set, device, SPDRP_FRIENDLYNAME));
            port.driver = narrow(property(set, device, SPDRP_SERVICE));
            const std::wstring hardware = property(set, device, SPDRP_HARDWAREID);
            port.usb.vendorId = idAfter(hardware, L"VID_");
            port.usb.productId = idAfter(hardware, L"PID_");
            if (!port.usb.vendorId.empty()) {
                port.usb.serial = usbSerial(device.DevInst);
                port.usb.manufacturer = narrow(property(set, device, SPDRP_MFG));
                port.usb.product = narrow(property(set, device, SPDRP_DEVICEDESC));
            }
            ports.push_back(port);
        }
        ::SetupDiDestroyDeviceInfoList(set);
    }
    return ports;
}

}  // namespace

int listPortsCommand(const std::filesystem::path&, bool json) {
    std::vector<ListedPort> ports = setupPorts();
    // The registry's list is the program's port list: each of its ports by its name, and the
    // ones SetupAPI does not know (Wine's mapped ports) after the others.
    for (const SerialPortEntry& entry : RegistryPortList().ports()) {
        const auto known = std::find_if(ports.begin(), ports.end(), [&](const ListedPort& p) {
            return upper(pathFromUtf8(p.device).wstring()) ==
                   upper(pathFromUtf8(entry.device).wstring());
        });
        if (known != ports.end()) {
            known->names.push_back(entry.name);
            continue;
        }
        ListedPort port;
        port.device = entry.device;
        port.names = {entry.name};
        port.holdersKnown = false;
        ports.push_back(port);
    }
    printPorts(ports, json);
    return kExitOk;
}

}  // namespace tolvan::cli
