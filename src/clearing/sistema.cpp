// The literal round system: every product is a dense one, so every value,
// signed zeros and NaN included, is exactly what the formulas give.
#include "clearing/sistema.h"

#include "clearing/mapa.h"
#include "linalg/operaciones.h"

Matrix matrizSistema(const Red& red, const Vector& p) {
  const Matrix lambda = diagonalP(red, p);
  const Matrix PIt = traspuesta(red.PI);
  return restaMat(producteMat(lambda, producteMat(PIt, lambda)), I(p.size()));
}

Vector terminoIndep(const Red& red, const Vector& p) {
  const Matrix lambda = diagonalP(red, p);
  const Matrix PIt = traspuesta(red.PI);
  const Matrix solventes = restaMat(I(p.size()), lambda);  // I − Λ
  const Vector u = prodMatVec(solventes, red.pBarra);
  const Vector w = prodMatVec(lambda, red.e);
  const Vector z = prodMatVec(producteMat(producteMat(lambda, PIt), solventes), red.pBarra);
  Vector b = sumaVec(sumaVec(z, w), u);
  for (double& x : b) x = -x;
  return b;
}
