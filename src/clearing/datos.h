// The network: dim, the obligations L and the outside cash e read from the
// input, and the quantities derived from them, pBarra and PI.
#pragma once

#include "base/estado.h"
#include "clearing/lector.h"

// dim from the first token; 0 for an empty input. A token that is not a
// 32-bit integer ends the run with a format error.
std::int32_t leeDimension(Lector& entrada);

// L row by row, then e, appended to the room the run reserved (numbers held
// whole in a block are converted on every core). A missing or
// malformed number ends the run with a format error naming the element.
void leerDatos(Lector& entrada, NetworkState& estado);

// pBarra[i] = Σ_j L[i][j], summed from 0.0 in ascending j.
Vector calculaPBarra(const NetworkState& estado);

// PI[i][j] = L[i][j] / pBarra[i]; a row whose pBarra is exactly 0.0 is all 0.0.
Matrix calculaPI(const NetworkState& estado);
