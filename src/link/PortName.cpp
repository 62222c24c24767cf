#include "link/PortName.h"

#include <cctype>

namespace tolvan {

int numeroDaPorta(std::string_view name) {
    if (name.size() < 4) return -1;
    for (int i = 0; i < 3; ++i) {
        if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return -1;
    }
    int numero = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (!std::isdigit(c)) return -1;
        numero = numero * 10 + (c - '0');
        if (numero > 65535) return -1;  // port numbers are 16 bits
    }
    return numero;
}

std::string nomeDaPorta(int numero) {
    return "COM" + std::to_string(numero);
}

}  // namespace tolvan
