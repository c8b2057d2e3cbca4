// The quantities derived from the network's obligations: pBarra and PI.
#pragma once

#include "base/estado.h"

// pBarra[i] = Σ_j L[i][j], summed from 0.0 in ascending j.
Vector calculaPBarra(const NetworkState& estado);

// PI[i][j] = L[i][j] / pBarra[i]; a row whose pBarra is exactly 0.0 is all 0.0.
Matrix calculaPI(const NetworkState& estado);

// One row of both, for a caller that changes a few entries of L: pBarra[i]
// as calculaPBarra sums it, and row i of PI into fila (n values), the same bits.
double sumaFila(const Vector& filaL);
void divideFila(const Vector& filaL, double pBarra, Vector& filaPI);
