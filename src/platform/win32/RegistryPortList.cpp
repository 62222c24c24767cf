#include "platform/win32/RegistryPortList.h"

#include <windows.h>

namespace tolvan {

namespace {

std::string narrow(const wchar_t* text, std::size_t length) {
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                        nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), n, nullptr,
                          nullptr);
    return out;
}

}  // namespace

std::vector<SerialPortEntry> RegistryPortList::ports() {
    std::vector<SerialPortEntry> list;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Hardware\\DeviceMap\\SerialComm", 0, KEY_READ,
                        &key) != ERROR_SUCCESS)
        return list;  // no serial port at all
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD nameLength = 256;
        wchar_t data[256];
        DWORD dataSize = sizeof data;
        DWORD type = 0;
        const LONG result = ::RegEnumValueW(key, index, name, &nameLength, nullptr, &type,
                                            reinterpret_cast<BYTE*>(data), &dataSize);
        if (result == ERROR_NO_MORE_ITEMS) break;
        // A value too long for a port name, or not text, names no port.
        if (result != ERROR_SUCCESS || type != REG_SZ) continue;
        std::size_t length = dataSize / sizeof(wchar_t);
        while (length > 0 && data[length - 1] == L'\0')
            --length;
        if (length == 0) continue;
        const std::string port = narrow(data, length);
        list.push_back({port, port});
    }
    ::RegCloseKey(key);
    return list;
}

}  // namespace tolvan
