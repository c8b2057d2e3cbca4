// The quantities derived from the network's obligations: pBarra and PI.
#pragma once

#include "base/estado.h"
#include "lectura/lector.h"

// pBarra[i] = Σ_j L[i][j], summed from 0.0 in ascending j.
Vector calculaPBarra(const NetworkState& estado);

// PI[i][j] = L[i][j] / pBarra[i]; a row whose pBarra is exactly 0.0 is all 0.0.
Matrix calculaPI(const NetworkState& estado);

// Once dim is read and known not to be negative: room for L and e, their
// numbers from entrada, then pBarra and PI. What a companion takes of
// input.txt, in the order of clearing's own run (which reserves its buffers
// itself, with its own messages).
void leeRedYDeriva(Lector& entrada, NetworkState& estado);
