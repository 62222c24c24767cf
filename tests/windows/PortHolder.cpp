// Holds a COM port as another copy of the program does, for the end-to-end scenarios under
// Wine: the port open and, since Wine lets a second handle open a port that one holds, the
// claim that the program's serial driver takes beside it. Says "held" on standard output, then
// holds until it is killed.
// Usage: port_holder COM2
#include <windows.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const std::string port = std::string("\\\\.\\") + argv[1];
    // The driver's name for \\.\COMn: in capitals, its backslashes made slashes.
    const std::string claim = std::string("Global\\TolvanLink.serial.//./") + CharUpperA(argv[1]);
    if (!CreateMutexA(nullptr, FALSE, claim.c_str()) || GetLastError() == ERROR_ALREADY_EXISTS)
        return 1;
    if (CreateFileA(port.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                    nullptr) == INVALID_HANDLE_VALUE)
        return 1;
    std::puts("held");
    std::fflush(stdout);
    Sleep(INFINITE);
}
