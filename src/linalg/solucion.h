// Square linear systems A·x = b of one round: Gauss-Jordan elimination with
// the first usable pivot of each column, then division and reordering.
#pragma once

#include "base/tipos.h"

// x = A\b. A and b are overwritten; the caller owns x. Throws a Fallo of
// Error::indeterminado for an indeterminate system (a column with no unused
// row of magnitude ≥ tol), of Error::sinMemoria when an allocation fails.
Vector solucionSistema(Matrix& A, Vector& b);
