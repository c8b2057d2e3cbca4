// Clearing map, default matrix and convergence test, written with the dense
// operations so that every value has the bits of the formulas.
#include "clearing/mapa.h"

#include <cmath>
#include <cstddef>

#include "base/memoria.h"
#include "linalg/operaciones.h"

Vector phiP(const Red& red, const Vector& p) {
  const Vector entrada = sumaVec(prodMatVec(traspuesta(red.PI), p), red.e);  // v = PIᵀ·p + e
  Vector phi = nuevoVector(p.size());
  for (std::size_t i = 0; i < p.size(); ++i) phi[i] = minimo(entrada[i], red.pBarra[i]);
  return phi;
}

Matrix diagonalP(const Red& red, const Vector& p) {
  const Vector phi = phiP(red, p);
  Matrix lambda = nuevaMatriz(p.size());
  for (std::size_t i = 0; i < p.size(); ++i)
    if (red.pBarra[i] > phi[i]) lambda[i][i] = 1.0;
  return lambda;
}

bool esSolucion(const Vector& p, const Vector& q) {
  for (std::size_t i = 0; i < p.size(); ++i)
    if (std::fabs(p[i] - q[i]) > tol) return false;
  return true;
}
