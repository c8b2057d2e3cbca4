// The literal round system: every product is a dense one, so every value,
// signed zeros and NaN included, is exactly what the formulas give.
#include "clearing/sistema.h"

#include "clearing/mapa.h"
#include "linalg/operaciones.h"

namespace {

// Without costs the factors are 1 and nothing is multiplied.
void escalaPorCoste(Vector& v, double factor) {
  if (factor == 1.0) return;
  for (double& x : v) x *= factor;
}

}  // namespace

Matrix matrizSistema(const Red& red, const Vector& p) {
  const Matrix lambda = diagonalP(red, p);
  const Matrix PIt = traspuesta(red.PI);
  Matrix entre = producteMat(lambda, producteMat(PIt, lambda));
  for (Vector& fila : entre) escalaPorCoste(fila, red.costes.beta);
  return restaMat(entre, I(p.size()));
}

Vector terminoIndep(const Red& red, const Vector& p) {
  const Matrix lambda = diagonalP(red, p);
  const Matrix PIt = traspuesta(red.PI);
  const Matrix solventes = restaMat(I(p.size()), lambda);  // I − Λ
  const Vector u = prodMatVec(solventes, red.pBarra);
  Vector w = prodMatVec(lambda, red.e);
  Vector z = prodMatVec(producteMat(producteMat(lambda, PIt), solventes), red.pBarra);
  escalaPorCoste(w, red.costes.alfa);
  escalaPorCoste(z, red.costes.beta);
  Vector b = sumaVec(sumaVec(z, w), u);
  for (double& x : b) x = -x;
  return b;
}
