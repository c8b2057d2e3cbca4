// The fictitious-default iteration: from full payment, each round marks the
// nodes in default, writes their "Paso" block, and solves the system in which
// they pay what they have and every other node pays in full.
#pragma once

#include <cstdio>

#include "base/estado.h"
#include "clearing/calculo.h"

// Runs the rounds from pPrima = pBarra; leaves the clearing vector in pPrima
// and the default steps in ordenQuiebra. Stops when the vector reproduces
// itself within tol, or when its default set is the one just solved for.
// Ends the run with "El sistema es indeterminado" when a round's system has
// no solution, and with "El algoritmo no converge" after max(dim, 1) rounds.
// The last round's default matrix may still be on its way to `out` when it
// returns: the next write to the report, or cierraInforme, waits for it.
// With `recuerda`, the structure-aware rounds of a cascade carry their
// elimination over from one round to the next (two more n×n matrices).
void iteraQuiebras(std::FILE* out, NetworkState& estado, const Calculo& calculo, bool recuerda);

// Round k's first act: the default matrix of the marked nodes written as the
// "Paso k" block; nodes marked for the first time get default step k.
void escribeDiagonal(std::FILE* out, NetworkState& estado, int k, const Marcas& marcas);
