// Scaffold so that the core links while the diagnostic lists are being written.
#include "transfer/DiagnosticLists.h"

namespace tolvan {
std::string DiagnosticList::text(std::size_t) const { return {}; }
void DiagnosticList::clear() {}
void DiagnosticLists::adicionaArquivo(std::int32_t, std::uint8_t) {}
void DiagnosticLists::adicionaLido(std::int32_t, std::uint8_t) {}
void DiagnosticLists::Button1Click() {}
void DiagnosticLists::Button2Click() {}
void DiagnosticLists::registraRecepcao(const std::string&) {}
}  // namespace tolvan
