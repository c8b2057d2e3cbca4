// A round's default matrix: 1 on the diagonal of a node in default, 0
// elsewhere, in "%-6.2g " as any matrix of the report. Its text is a fixed
// stretch of rows of zeros with the marked cells set, not formatted value by
// value.
#pragma once

#include <cstddef>

#include "base/tipos.h"
#include "report/informe.h"

// Written by a worker of the run's pool while the caller goes on (a round's default
// matrix is mostly the system copying pages, which solving the round need
// not wait for). The next write to the report waits for it first, and
// throws if it failed; so do cierraInforme and cierraTrasFallo.
void escribeMatrizMarcasAparte(Informe& out, const Marcas& marcas);

// The bytes the writer keeps for a default matrix of n nodes (its stretch of rows).
std::size_t memoriaDeMarcas(std::size_t n);
