// The cash of a random sweep's scenarios: scenario k's node i loses the
// fraction Φ(Φ⁻¹(M) + √ρ·Z_k + √(1−ρ)·ε_ki) of its cash, Z_k a draw common
// to the scenario's nodes and ε_ki each node's own, all standard normal. The
// draws of scenario k come from the generator of (seed, k) (totales/azar.h)
// in the order Z_k, ε_k0, ε_k1, …: any scenario is made alone, the same bits
// on every machine and for any number of threads or ranks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/tipos.h"
#include "escenarios/escenarios.h"

// --random K --seed S --loss-mean M --loss-corr RHO, as given: K at least
// 1, M in (0, 1), RHO in [0, 1]. On failure error says which is wrong.
bool leeAleatorios(std::string_view cuantos, std::string_view semilla, std::string_view media,
                   std::string_view correlacion, Escenarios& escenarios, std::string& error);

// The fraction of its cash node i loses in random scenario k: fraccion[i].
void perdidasAleatorias(const Escenarios& escenarios, std::size_t k, Vector& fraccion);

// The outside cash of scenario k of any sweep: aplicaEscenario's, or for a
// random one base less its losses.
void cajaDeEscenario(const Escenarios& escenarios, std::size_t k, const Vector& base, Vector& e);
