// The report's opening: the echo of the input, the derived quantities, the
// separator between sections and the per-round blocks of default matrices.
#pragma once

#include <cstdio>

#include "base/estado.h"

// "INPUT", L in "%-6.3g ", e in "%-5.3g ".
void escribeInput(std::FILE* out, const NetworkState& estado);

// CR LF, 89 hyphens, CR LF.
void escribeSeparadores(std::FILE* out);

// "CÁLCULOS PRELIMINARES", PI in "%-6.2g ", pBarra in "%-5.3g ".
void escribeSistema(std::FILE* out, const NetworkState& estado);

// "DIAGONALES", written once before the first round.
void escribeCabeceraDiagonales(std::FILE* out);

// "Paso k:" and the round's default matrix in "%-6.2g ", from its marks:
// 1 on the diagonal of a node in default, 0 elsewhere. The matrix is written
// on a thread of its own while the caller solves the round
// (escribeMatrizMarcasAparte).
void escribePaso(std::FILE* out, int k, const Marcas& marcas);
