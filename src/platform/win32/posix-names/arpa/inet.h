#pragma once

// inet_pton under the name POSIX gives it, for the network address parser (Winsock's own).
#include <winsock2.h>
#include <ws2tcpip.h>
