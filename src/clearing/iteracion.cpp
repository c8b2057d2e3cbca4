// The rounds of the iteration and the system of each round, built through
// the dense operations exactly as the formulas read.
#include "clearing/iteracion.h"

#include <algorithm>
#include <cstddef>

#include "clearing/mapa.h"
#include "linalg/memoria.h"
#include "linalg/operaciones.h"
#include "linalg/solucion.h"
#include "report/preliminares.h"
#include "run/fatal.h"

namespace {

// True when the two default matrices mark the same nodes.
bool esMismoImpago(const Matrix& a, const Matrix& b) {
  for (std::size_t i = 0; i < a.size(); ++i)
    if ((a[i][i] == 1.0) != (b[i][i] == 1.0)) return false;
  return true;
}

// True when the rounds can stop at the new vector: it reproduces itself, or
// its default set is the one just solved for (another round would solve the
// same system again).
bool esFinal(const NetworkState& estado, const Matrix& lambdaResuelta) {
  if (esSolucion(estado.pPrima, phiP(estado, estado.pPrima))) return true;
  return esMismoImpago(lambdaResuelta, diagonalP(estado, estado.pPrima));
}

}  // namespace

Matrix escribeDiagonal(std::FILE* out, NetworkState& estado, int k) {
  Matrix lambda = diagonalP(estado, estado.pPrima);
  escribePaso(out, k, lambda);
  for (std::size_t i = 0; i < lambda.size(); ++i)
    if (lambda[i][i] == 1.0 && estado.ordenQuiebra[i] == 0) estado.ordenQuiebra[i] = k;
  return lambda;
}

Matrix matrizSistema(const NetworkState& estado, const Vector& p) {
  const Matrix lambda = diagonalP(estado, p);
  const Matrix PIt = traspuesta(estado.PI);
  return restaMat(producteMat(lambda, producteMat(PIt, lambda)), I(p.size()));
}

Vector terminoIndep(const NetworkState& estado, const Vector& p) {
  const Matrix lambda = diagonalP(estado, p);
  const Matrix PIt = traspuesta(estado.PI);
  const Matrix solventes = restaMat(I(p.size()), lambda);  // I − Λ
  const Vector u = prodMatVec(solventes, estado.pBarra);
  const Vector w = prodMatVec(lambda, estado.e);
  const Vector z = prodMatVec(producteMat(producteMat(lambda, PIt), solventes), estado.pBarra);
  Vector b = sumaVec(sumaVec(z, w), u);
  for (double& x : b) x = -x;
  return b;
}

void iteraQuiebras(std::FILE* out, NetworkState& estado) {
  estado.pPrima.assign(estado.pBarra.begin(), estado.pBarra.end());  // within the run's room
  const int maxRondas = std::max<int>(estado.dim, 1);
  for (int k = 1;; ) {
    const Matrix lambda = escribeDiagonal(out, estado, k);
    Vector b = terminoIndep(estado, estado.pPrima);
    Matrix A = matrizSistema(estado, estado.pPrima);
    estado.pPrima = solucionSistema(A, b);
    k = k + 1;
    if (esFinal(estado, lambda)) return;
    if (k - 1 >= maxRondas) terminaConError(kNoConverge, Salto::con);
  }
}
