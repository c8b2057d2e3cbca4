// The report's opening: the echo of the input, the derived quantities, the
// separator between sections and the per-round blocks of default matrices.
#pragma once

#include "base/estado.h"
#include "report/informe.h"

// "INPUT", L in "%-6.3g ", e in "%-5.3g ".
void escribeInput(Informe& out, const NetworkState& estado);

// CR LF, 89 hyphens, CR LF.
void escribeSeparadores(Informe& out);

// "CÁLCULOS PRELIMINARES", PI in "%-6.2g ", pBarra in "%-5.3g ".
void escribeSistema(Informe& out, const NetworkState& estado);

// "DIAGONALES", written once before the first round.
void escribeCabeceraDiagonales(Informe& out);

// "Paso k:" and the round's default matrix in "%-6.2g ", from its marks:
// 1 on the diagonal of a node in default, 0 elsewhere. The matrix is written
// on a thread of its own while the caller solves the round
// (escribeMatrizMarcasAparte).
void escribePaso(Informe& out, int k, const Marcas& marcas);
