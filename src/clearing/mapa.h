// The clearing map of a payment vector p: what each node can pay, which
// nodes cannot pay in full, and whether p reproduces itself.
#pragma once

#include "base/estado.h"

// φ[i] = minimo(Σ_k PI[k][i]·p[k] + e[i], pBarra[i]); no floor at zero.
Vector phiP(const Red& red, const Vector& p);

// Λ(p): 1.0 at [i][i] exactly when pBarra[i] > φ[i] (strict, no tolerance), 0.0 elsewhere.
Matrix diagonalP(const Red& red, const Vector& p);

// True when no |p[i] − q[i]| exceeds tol (a NaN difference passes).
bool esSolucion(const Vector& p, const Vector& q);
