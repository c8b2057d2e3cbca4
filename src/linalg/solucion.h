// Square linear systems A·x = b of one round: Gauss-Jordan elimination with
// the first usable pivot of each column, then division and reordering.
#pragma once

#include "base/tipos.h"

// x = A\b. A and b are overwritten; the caller owns x. An indeterminate
// system (a column with no unused row of magnitude ≥ tol) ends the run with
// "El sistema es indeterminado"; a failed allocation with "Memoria insuficient".
Vector solucionSistema(Matrix& A, Vector& b);
