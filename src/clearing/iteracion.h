// The fictitious-default iteration: from full payment, each round marks the
// nodes in default, writes their "Paso" block, and solves the system in which
// they pay what they have and every other node pays in full.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "run/estado.h"

// Runs the rounds from pPrima = pBarra; leaves the clearing vector in pPrima
// and the default steps in ordenQuiebra. Stops when the vector reproduces
// itself within tol, or when its default set is the one just solved for.
// Ends the run with "El sistema es indeterminado" when a round's system has
// no solution, and with "El algoritmo no converge" after max(dim, 1) rounds.
void iteraQuiebras(std::FILE* out, NetworkState& estado);

// Round k's first act: Λ(pPrima), whose diagonal marks the caller has found,
// written as the "Paso k" block (the literal path writes diagonalP itself);
// nodes marked for the first time get default step k.
void escribeDiagonal(std::FILE* out, NetworkState& estado, int k,
                     const std::vector<std::int32_t>& marcas);

// A = Λ·(PIᵀ·Λ) − I, with Λ = Λ(p), by the literal formula.
Matrix matrizSistema(const NetworkState& estado, const Vector& p);

// b = −((z + w) + u) with u = (I − Λ)·pBarra, w = Λ·e, z = ((Λ·PIᵀ)·(I − Λ))·pBarra,
// by the literal formula.
Vector terminoIndep(const NetworkState& estado, const Vector& p);
