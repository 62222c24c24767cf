#pragma once

// The ports as the program names them ("COM3" is port 3): numeroDaPorta, nomeDaPorta. Which
// list of ports the program reads is the machine's (platform/NativePortList).
#include "link/PortName.h"
