#pragma once

#include <string>
#include <string_view>

namespace tolvan {

// The port number of a port name: the whole number after "COM" in any case ("COM12" is 12),
// or -1 when the name is not "COM" followed by a number of at most 16 bits.
int numeroDaPorta(std::string_view name);
// The port name of a port number: 3 gives "COM3".
std::string nomeDaPorta(int numero);

}  // namespace tolvan
