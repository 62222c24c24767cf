#pragma once

#include <functional>
#include <string>

#include "sim/TestRig.h"

namespace tolvan::bench {

// The operation menu's lines.
inline constexpr int kGravacaoEVerificacao = 1;
inline constexpr int kGravacao = 2;
inline constexpr int kVerificacao = 3;

// Writes an image file into the rig's bin folder.
void writeImage(sim::TestRig& rig, const std::string& name, const std::string& bytes);

// Bytes that never start with FF or 00, so that a main image keeps all of them.
std::string imagePattern(std::size_t n, int seed);

// Starts the rig on this one system, connects, confirms the system and operation line `linha`,
// and runs the simulated clock until the operation has shown its closing message (at most ten
// simulated minutes), calling `meanwhile` every simulated second. Returns the closing message,
// empty when none came.
std::string runOperation(sim::TestRig& rig, const sim::FakeCatalogueStore::System& system,
                         int linha, const std::function<void()>& meanwhile = {});

}  // namespace tolvan::bench
