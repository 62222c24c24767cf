// Scaffold so that the core links while verification is being written.
#include "transfer/Verification.h"

namespace tolvan {
void Verification::Verificacao() {}
void Verification::VerificacaoL() {}
void Verification::VerificacaoL2() {}
void Verification::VerificaArq() {}
}  // namespace tolvan
