// Scaffold so that the core links while programming is being written.
#include "transfer/Programming.h"

namespace tolvan {
void Programming::Gravacao() {}
void Programming::GravacaoL() {}
void Programming::GravacaoL2() {}
void Programming::GravaArq() {}
}  // namespace tolvan
