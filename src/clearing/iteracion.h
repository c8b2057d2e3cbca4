// The fictitious-default iteration: from full payment, each round marks the
// nodes in default, writes their "Paso" block, and solves the system in which
// they pay what they have and every other node pays in full.
#pragma once

#include <cstdio>

#include "run/estado.h"

// Runs the rounds from pPrima = pBarra; leaves the clearing vector in pPrima
// and the default steps in ordenQuiebra. Ends the run with "El sistema es
// indeterminado" or "El algoritmo no converge" when there is no clearing vector
// to be found this way.
void iteraQuiebras(std::FILE* out, NetworkState& estado);

// Round k's first act: Λ(pPrima), written as the "Paso k" block; nodes it
// marks for the first time get default step k. Returns Λ.
Matrix escribeDiagonal(std::FILE* out, NetworkState& estado, int k);

// A = Λ·(PIᵀ·Λ) − I, with Λ = Λ(p).
Matrix matrizSistema(const NetworkState& estado, const Vector& p);

// b = −((z + w) + u) with u = (I − Λ)·pBarra, w = Λ·e, z = ((Λ·PIᵀ)·(I − Λ))·pBarra.
Vector terminoIndep(const NetworkState& estado, const Vector& p);
