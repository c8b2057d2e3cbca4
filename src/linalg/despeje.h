// The block solver's last steps (linalg/bloque.h): from the eliminated
// block and b, the division (invariant 4) and the reordering (invariant 5)
// give x, as the full solver's would.
#pragma once

#include "base/tipos.h"
#include "linalg/bloque.h"

// x (length n, as b) from the eliminated m×m block Ab; the divisors and
// the exchanges go to `registro` when there is one (linalg/eliminadas.h).
// Rows are shared among at most `hilos` threads (0: hilos()), with the same
// bits.
void despejaBloque(const Matrix& Ab, const Bloque& bloque, const Vector& b, Vector& x,
                   unsigned hilos, Eliminacion* registro);
